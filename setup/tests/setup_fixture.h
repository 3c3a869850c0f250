// A fresh machine for the setup tools: registry fixtures of the browsers, a program folder on C: with the plug-in
// library and a control, and looks at files and values as Windows paths.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "win/machine.h"
#include "win/paths.h"
#include "win/registry.h"

namespace setup_testing {

inline const std::string kControlWith = std::string(KQ_BINARY_DIR) + "/lib/libsetup_test_control_with.so";
inline const std::string kControlWithout = std::string(KQ_BINARY_DIR) + "/lib/libsetup_test_control_without.so";
inline constexpr char kClassKey[] = "CLSID\\{05563215-225C-45EB-BB34-AFA47217B1DE}";
inline constexpr char kProgIdKey[] = "LIRRIEL.LirrielCtrl.1";
inline constexpr char kProgramFolder[] = "C:\\Program";
inline constexpr char kUpdatesKey[] = "Software\\Kelvo Software\\Kelvo Quenzar\\Updates List\\Firefox Plugin";

class SetupFixture : public ::testing::Test {
 protected:
  SetupFixture() : scope_(machine_.Get()) {
    std::filesystem::create_directories(Host(kProgramFolder));
    WriteFile(std::string(kProgramFolder) + "\\npOrmel.dll", "plug-in library");
    PutControl(kControlWith);
  }

  // The host file of a Windows path on this machine.
  std::filesystem::path Host(const std::string& windowsPath) const {
    return *kq::HostPathFromWindows(kq::WideFromUtf8(windowsPath));
  }
  bool Exists(const std::string& windowsPath) const { return std::filesystem::exists(Host(windowsPath)); }
  void MakeFolder(const std::string& windowsPath) const { std::filesystem::create_directories(Host(windowsPath)); }
  void WriteFile(const std::string& windowsPath, const std::string& bytes) const {
    std::ofstream(Host(windowsPath), std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& windowsPath) const {
    std::ifstream in(Host(windowsPath), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The control that lies in the program folder: a library file, or any other file.
  void PutControl(const std::string& hostFile) const {
    std::filesystem::copy_file(hostFile, Host(std::string(kProgramFolder) + "\\Lirriel.ocx"),
                               std::filesystem::copy_options::overwrite_existing);
  }

  // A string value; `withZero` stores the terminating zero as well.
  static void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                        bool withZero = true) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr), 0);
    ASSERT_EQ(RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + (withZero ? 1 : 0))),
              0);
    RegCloseKey(opened);
  }
  static bool KeyExists(HKEY root, const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
  }
  // A value's narrow data and size, or nothing.
  static std::optional<std::string> Value(HKEY root, const std::string& key, const std::string& name) {
    // Names the key's default value when empty.
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
    std::vector<BYTE> data(1024);
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS r =
        RegQueryValueExA(opened, name.empty() ? nullptr : name.c_str(), nullptr, nullptr, data.data(), &size);
    RegCloseKey(opened);
    if (r != ERROR_SUCCESS) return std::nullopt;
    std::string text(data.begin(), data.begin() + size);
    // A text stored with its zero is read without it.
    if (!name.empty() || text.empty() || text.back() != '\0') return text;
    text.pop_back();
    return text;
  }
  static bool ControlRegistered() {
    return KeyExists(HKEY_CLASSES_ROOT, kClassKey) && KeyExists(HKEY_CLASSES_ROOT, kProgIdKey);
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
};

}  // namespace setup_testing
