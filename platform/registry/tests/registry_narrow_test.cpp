#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "win/machine.h"
#include "win/registry.h"

namespace {

class RegistryNarrowTest : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(RegistryNarrowTest, StringsPassThroughTheAnsiCodePage) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Caf\xE9", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  // Written as the installer writes it: the characters without the terminating zero.
  const char text[] = "C:\\Programme\\M\xFCller";
  ASSERT_EQ(RegSetValueExA(key, "SetupPath1", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), std::strlen(text)),
            ERROR_SUCCESS);

  // The wide side sees UTF-16, still without a zero.
  HKEY wide = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Caf\u00E9", 0, KEY_READ, &wide), ERROR_SUCCESS);
  WCHAR units[64] = {};
  DWORD size = sizeof units;
  ASSERT_EQ(RegQueryValueExW(wide, u"SetupPath1", nullptr, nullptr, reinterpret_cast<BYTE*>(units), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 2 * std::strlen(text));
  EXPECT_EQ(std::u16string(units), u"C:\\Programme\\M\u00FCller");

  char back[64];
  std::memset(back, 'x', sizeof back);
  size = sizeof back;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "setuppath1", nullptr, &type, reinterpret_cast<BYTE*>(back), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::string(back, size), text);

  // Binary data is not converted.
  const BYTE raw[] = {0xE9, 0, 0xFF};
  ASSERT_EQ(RegSetValueExA(key, "Raw", 0, REG_BINARY, raw, 3), ERROR_SUCCESS);
  BYTE rawBack[3] = {};
  size = 3;
  ASSERT_EQ(RegQueryValueExW(wide, u"Raw", nullptr, nullptr, rawBack, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(raw, rawBack, 3), 0);
  RegCloseKey(wide);
  RegCloseKey(key);
}

TEST_F(RegistryNarrowTest, ShortBufferIsMoreDataWithTheAnsiSize) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Opera Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const std::string longPath(200, 'p');
  ASSERT_EQ(RegSetValueExA(key, "Plugin Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.c_str()), 201),
            ERROR_SUCCESS);
  char buffer[128];
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "Plugin Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 201u);
  RegCloseKey(key);
}

TEST_F(RegistryNarrowTest, EnumerationAndKeyInformation) {
  HKEY mozilla = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &mozilla,
                            nullptr),
            ERROR_SUCCESS);
  for (const char* name : {"Mozilla Firefox", "Mozilla Thunderbird"}) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(mozilla, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    const char folder[] = "C:\\Program Files\\Mozilla Firefox\\plugins";
    ASSERT_EQ(RegSetValueExA(sub, "Plugins", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder),
              ERROR_SUCCESS);
    RegCloseKey(sub);
  }
  DWORD subKeys = 0, longest = 0;
  ASSERT_EQ(RegQueryInfoKeyA(mozilla, nullptr, nullptr, nullptr, &subKeys, &longest, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(longest, 19u);

  char name[32];
  ASSERT_EQ(RegEnumKeyA(mozilla, 1, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Mozilla Thunderbird");
  EXPECT_EQ(RegEnumKeyA(mozilla, 1, name, 19), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(mozilla, 2, name, sizeof name), ERROR_NO_MORE_ITEMS);

  HKEY firefox = nullptr;
  ASSERT_EQ(RegOpenKeyExA(mozilla, "Mozilla Firefox", 0, KEY_ALL_ACCESS, &firefox), ERROR_SUCCESS);
  DWORD nameChars = sizeof name, type = 0, size = 0;
  ASSERT_EQ(RegEnumValueA(firefox, 0, name, &nameChars, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Plugins");
  EXPECT_EQ(nameChars, 7u);
  EXPECT_EQ(size, sizeof "C:\\Program Files\\Mozilla Firefox\\plugins");
  RegCloseKey(firefox);

  ASSERT_EQ(RegDeleteValueA(mozilla, "None"), ERROR_FILE_NOT_FOUND);
  HKEY thunderbird = nullptr;
  ASSERT_EQ(RegOpenKeyExA(mozilla, "Mozilla Thunderbird", 0, KEY_ALL_ACCESS, &thunderbird), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(thunderbird, "plugins"), ERROR_SUCCESS);
  RegCloseKey(thunderbird);
  ASSERT_EQ(RegDeleteKeyA(mozilla, "Mozilla Thunderbird"), ERROR_SUCCESS);
  ASSERT_EQ(RegEnumKeyA(mozilla, 1, name, sizeof name), ERROR_NO_MORE_ITEMS);
  RegCloseKey(mozilla);
}

}  // namespace
