// Shared pieces of the driver's tests: a fresh machine with the virtual printer installed, the simulated person,
// an engine device, the printer's default settings record, and readers of what the driver left behind (files,
// registry values, the journal). Every wait is bounded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "printer_settings/printer_values.h"
#include "telodrv/device.h"
#include "win/engine.h"
#include "win/fileapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/processthreadsapi.h"
#include "win/registry.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/user.h"

namespace drvtest {

inline constexpr std::chrono::milliseconds kBound{5000};

inline std::string Narrow(kq::WStringView text) { return kq::Utf8FromWide(text); }

// A device record made by the driver, disabled when it goes.
struct PdevDeleter {
  void operator()(DriverPdev* pdev) const { telodrv::DrvDisablePDEV(HandleFromPdev(pdev)); }
};
using PdevPtr = std::unique_ptr<DriverPdev, PdevDeleter>;

class DriverTest : public ::testing::Test {
 protected:
  DriverTest() {
    kq::InstallVirtualPrinter();
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    OpenPrinterW(kq::kVirtualPrinterName, &printer, &defaults);
    hdev = kq::CreateEngineDevice();
  }
  ~DriverTest() override {
    if (hdev) kq::DeleteEngineDevice(hdev);
    if (printer) ClosePrinter(printer);
  }

  void SetUp() override {
    ASSERT_NE(printer, nullptr);
    ASSERT_NE(hdev, nullptr);
  }

  // The printer's defaults, as the spooler would hand them to the engine.
  DriverDevMode DefaultRecord() const {
    DriverDevMode record{};
    BuildDefaultDevMode(&record, printer);
    return record;
  }

  // DrvEnablePDEV on a record, with the engine's records filled in `gdiInfo` and `devInfo`.
  PdevPtr Enable(DriverDevMode record) {
    WCHAR port[] = u"KQPDF:";
    WCHAR name[] = u"Kelvo Quenzar Printer";
    const DHPDEV dhpdev = telodrv::DrvEnablePDEV(&record.dm, port, 0, nullptr, sizeof(GDIINFO),
                                                 reinterpret_cast<ULONG*>(&gdiInfo), sizeof(DEVINFO), &devInfo, hdev,
                                                 name, printer);
    if (dhpdev) kq::SetEngineDevicePdev(hdev, dhpdev);
    return PdevPtr(PdevFromHandle(dhpdev));
  }

  // ---- Printer values and the registry ----
  void SetPrinterNumber(LPCWSTR name, DWORD value) {
    ASSERT_EQ(SetPrinterDataExW(printer, kPrinterDriverData, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                sizeof value),
              ERROR_SUCCESS);
  }
  void SetPrinterText(LPCWSTR name, kq::WStringView text, bool withZero = true) {
    kq::WString stored(text);
    const DWORD bytes = static_cast<DWORD>((stored.size() + (withZero ? 1 : 0)) * sizeof(WCHAR));
    ASSERT_EQ(SetPrinterDataExW(printer, kPrinterDriverData, name, REG_SZ,
                                reinterpret_cast<const BYTE*>(stored.c_str()), bytes),
              ERROR_SUCCESS);
  }
  void SetCountry(LPCWSTR country) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Control Panel\\International", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (country) {
      RegSetValueExW(key, u"iCountry", 0, REG_SZ, reinterpret_cast<const BYTE*>(country),
                     static_cast<DWORD>((kq::WStringView(country).size() + 1) * sizeof(WCHAR)));
    } else {
      RegDeleteValueW(key, u"iCountry");
    }
    RegCloseKey(key);
  }
  // "FileName" under the current user's key, as stored (REG_SZ without its zero); nothing when missing.
  std::optional<kq::WString> FileNameValue() const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod", 0, KEY_READ, &key) != ERROR_SUCCESS)
      return std::nullopt;
    std::vector<WCHAR> buffer(1024, 0);
    DWORD type = 0, size = static_cast<DWORD>(buffer.size() * sizeof(WCHAR));
    const LSTATUS r = RegQueryValueExW(key, u"FileName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return kq::WString(buffer.data(), size / sizeof(WCHAR));
  }

  // ---- Files ----
  static std::filesystem::path Host(kq::WStringView windowsPath) { return *kq::HostPathFromWindows(windowsPath); }
  static bool Exists(kq::WStringView windowsPath) {
    const auto host = kq::HostPathFromWindows(windowsPath);
    return host && std::filesystem::exists(*host);
  }
  static std::string Contents(kq::WStringView windowsPath) {
    std::ifstream in(Host(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteFile(kq::WStringView windowsPath, const std::string& bytes) {
    std::ofstream(Host(windowsPath), std::ios::binary) << bytes;
  }
  static void MakeFolder(kq::WStringView windowsPath) { std::filesystem::create_directories(Host(windowsPath)); }

  // ---- Journal ----
  std::vector<kq::JournalEntry> JournalOf(kq::JournalEntry::Kind kind) const {
    std::vector<kq::JournalEntry> found;
    for (auto& entry : person.Journal())
      if (entry.kind == kind) found.push_back(entry);
    return found;
  }
  std::string JournalText() const {
    std::string all;
    for (const auto& entry : person.Journal()) all += entry.line + "\n";
    return all;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  kq::SimulatedUser person{*machine};
  HANDLE printer = nullptr;
  HDEV hdev = nullptr;
  GDIINFO gdiInfo{};
  DEVINFO devInfo{};
};

}  // namespace drvtest
