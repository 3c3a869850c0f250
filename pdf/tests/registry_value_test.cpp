#include <gtest/gtest.h>

#include <vector>

#include "pdf/registry_value.h"
#include "win/machine.h"

namespace {

class RegistryValue : public ::testing::Test {
 protected:
  static constexpr const char16_t* kKey = u"Software\\Kelvo Software\\PDF Zedarod";

  // The value's type and bytes; nothing when it does not exist.
  static std::optional<std::pair<DWORD, std::vector<BYTE>>> Read(HKEY root, const char16_t* subKey,
                                                                  const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    std::vector<BYTE> data(256);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    data.resize(size);
    return std::make_pair(type, data);
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(RegistryValue, TextIsWrittenByItsType) {
  struct Case {
    const char16_t* text;
    DWORD type;
    std::optional<std::vector<BYTE>> bytes;
  } const cases[] = {
      {u"C:\\a.pdf", REG_SZ, std::vector<BYTE>{'C', 0, ':', 0, '\\', 0, 'a', 0, '.', 0, 'p', 0, 'd', 0, 'f', 0}},
      {u"", REG_SZ, std::vector<BYTE>{}},
      {u"%TEMP%", REG_EXPAND_SZ, std::vector<BYTE>{'%', 0, 'T', 0, 'E', 0, 'M', 0, 'P', 0, '%', 0}},
      {u"1234", REG_DWORD, std::vector<BYTE>{0xD2, 0x04, 0, 0}},
      {u"1234", REG_DWORD_BIG_ENDIAN, std::vector<BYTE>{0, 0, 0x04, 0xD2}},
      {u" 12abc", REG_DWORD, std::vector<BYTE>{12, 0, 0, 0}},
      {u"abc", REG_DWORD, std::vector<BYTE>{0, 0, 0, 0}},
      {u"-1", REG_DWORD, std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFF}},
      {u"4294967296", REG_DWORD, std::vector<BYTE>{0, 0, 0, 0}},
      {u"ab", REG_BINARY, std::nullopt},
      {u"ab", REG_MULTI_SZ, std::nullopt},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(index);
    const kq::WString name = u"v" + kq::WideFromUtf8(std::to_string(index++));
    SetRegistryValueFromText(HKEY_CURRENT_USER, kKey, name.c_str(), c.text, c.type);
    const auto value = Read(HKEY_CURRENT_USER, kKey, name.c_str());
    if (!c.bytes) {
      EXPECT_EQ(value, std::nullopt);
      continue;
    }
    ASSERT_TRUE(value);
    EXPECT_EQ(value->first, c.type);
    EXPECT_EQ(value->second, *c.bytes);
  }
}

TEST_F(RegistryValue, TheKeyIsMadeUnderTheRootGivenOrTheRootItselfIsWritten) {
  SetRegistryValueFromText(HKEY_CURRENT_USER, kKey, u"FileName", u"FALSE", REG_SZ);
  EXPECT_TRUE(Read(HKEY_CURRENT_USER, kKey, u"FileName"));
  SetRegistryValueFromText(HKEY_LOCAL_MACHINE, u"Software\\Test", u"Where", u"machine", REG_SZ);
  EXPECT_TRUE(Read(HKEY_LOCAL_MACHINE, u"Software\\Test", u"Where"));
  EXPECT_FALSE(Read(HKEY_CURRENT_USER, u"Software\\Test", u"Where"));

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Open", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  for (const char16_t* empty : {u"", static_cast<const char16_t*>(nullptr)}) {
    SetRegistryValueFromText(key, empty, u"Here", u"x", REG_SZ);
    EXPECT_TRUE(Read(HKEY_CURRENT_USER, u"Software\\Open", u"Here"));
    RegDeleteValueW(key, u"Here");
  }
  RegCloseKey(key);
}

}  // namespace
