// A fresh machine with the virtual printer installed and opened with full access, and helpers to set its values
// and the user's country.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printer_settings/printer_values.h"
#include "win/machine.h"
#include "win/registry.h"
#include "win/spooler.h"

class PrinterFixture : public ::testing::Test {
 protected:
  PrinterFixture() {
    EXPECT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    EXPECT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &printer_, &defaults));
  }
  ~PrinterFixture() override { ClosePrinter(printer_); }

  // Switches to a new printer without any values, for the next case of a table.
  void UseFreshPrinter() {
    const std::u16string name = u"Case Printer " + kq::WideFromUtf8(std::to_string(++printers_));
    ASSERT_EQ(kq::AddLocalPrinter(*machine_, name, kq::kVirtualPrinterDriverName, u"KQPDF:"), ERROR_SUCCESS);
    ClosePrinter(printer_);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(name.c_str(), &printer_, &defaults));
  }

  void SetRaw(const WCHAR* name, DWORD type, const std::vector<BYTE>& data) {
    ASSERT_EQ(SetPrinterDataExW(printer_, kPrinterDriverData, name, type, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }
  void SetDword(const WCHAR* name, DWORD value) {
    SetRaw(name, REG_DWORD,
           {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)});
  }
  // Stored as "Save As Default" stores text: the characters without their zero.
  void SetString(const WCHAR* name, std::u16string_view text) { SetRaw(name, REG_SZ, Bytes(text)); }

  static std::vector<BYTE> Bytes(std::u16string_view text) {
    const auto* b = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(b, b + text.size() * sizeof(WCHAR));
  }

  // The user's country as the control panel stores it; null removes the value.
  static void SetCountry(const char16_t* country) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Control Panel\\International", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (!country) {
      RegDeleteValueW(key, u"iCountry");
    } else {
      const std::u16string text(country);
      ASSERT_EQ(RegSetValueExW(key, u"iCountry", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
                ERROR_SUCCESS);
    }
    RegCloseKey(key);
  }

  DriverDevMode Build() {
    DriverDevMode record;
    BuildDefaultDevMode(&record, printer_);
    return record;
  }

  static std::string Narrow(const WCHAR* text) { return kq::Utf8FromWide(text); }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  HANDLE printer_ = nullptr;
  int printers_ = 0;
};
