#include "win/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "win/machine.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes WideBytes(std::u16string_view text, bool withZero) {
  Bytes b(reinterpret_cast<const BYTE*>(text.data()), reinterpret_cast<const BYTE*>(text.data() + text.size()));
  if (withZero) b.insert(b.end(), 2, 0);
  return b;
}

class RegistryTest : public ::testing::Test {
 protected:
  ~RegistryTest() override {
    for (HKEY key : open_) RegCloseKey(key);
  }

  HKEY Create(HKEY parent, const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr), ERROR_SUCCESS);
    open_.push_back(key);
    return key;
  }

  HKEY Open(HKEY parent, const char16_t* path, REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(parent, path, 0, access, &key), ERROR_SUCCESS);
    open_.push_back(key);
    return key;
  }

  static void Set(HKEY key, const char16_t* name, DWORD type, const Bytes& data) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
  }

  static void SetDword(HKEY key, const char16_t* name, DWORD value) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  }

  static LSTATUS Get(HKEY key, const char16_t* name, DWORD* type, Bytes* data) {
    DWORD size = 0;
    LSTATUS r = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (r != ERROR_SUCCESS) return r;
    data->assign(size, 0xCC);
    return RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  std::vector<HKEY> open_;
};

TEST_F(RegistryTest, ValuesComeBackByteForByteWithTheirType) {
  struct Case {
    const char* what;
    DWORD type;
    Bytes data;
  };
  const Case cases[] = {
      {"string without its zero", REG_SZ, WideBytes(u"Folder", false)},
      {"string with its zero", REG_SZ, WideBytes(u"C:\\Out", true)},
      {"binary with zeros", REG_BINARY, {0, 1, 0, 255, 0}},
      {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {"dword of the wrong size", REG_DWORD, {1, 2}},
      {"multi-string", REG_MULTI_SZ, WideBytes(std::u16string_view(u"a\0bc\0", 6), true)},
      {"empty", REG_NONE, {}},
      {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string name = kq::WideFromUtf8(c.what);
    Set(key, name.c_str(), c.type, c.data);
    DWORD type = 99;
    Bytes back;
    ASSERT_EQ(Get(key, name.c_str(), &type, &back), ERROR_SUCCESS);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(back, c.data);
  }
}

TEST_F(RegistryTest, NamesIgnoreAsciiCaseAndKeepTheirFirstSpelling) {
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Kelvo");
  SetDword(key, u"FileName", 1);
  HKEY again = Open(HKEY_CURRENT_USER, u"SOFTWARE\\kelvo", KEY_ALL_ACCESS);
  SetDword(again, u"FILENAME", 2);

  Bytes data;
  DWORD type = 0;
  ASSERT_EQ(Get(key, u"filename", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, (Bytes{2, 0, 0, 0}));

  WCHAR name[32];
  DWORD chars = 32;
  ASSERT_EQ(RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"FileName");
  chars = 32;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

  chars = 32;
  ASSERT_EQ(RegEnumKeyExW(HKEY_CURRENT_USER, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Software");
}

TEST_F(RegistryTest, SizingCallsAndShortBuffers) {
  HKEY key = Create(HKEY_CURRENT_USER, u"Sizes");
  Set(key, u"Text", REG_SZ, WideBytes(u"abcdef", true));  // 14 bytes

  DWORD size = 0, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(type, REG_SZ);

  BYTE buffer[16];
  std::memset(buffer, 0xCC, sizeof buffer);
  size = 13;
  EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(buffer[0], 0xCC) << "a short buffer gets nothing";

  size = 14;
  ASSERT_EQ(RegQueryValueExW(key, u"Text", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)), u"abcdef");
  EXPECT_EQ(buffer[14], 0xCC);

  // Only the existence and type.
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
}

TEST_F(RegistryTest, DefaultValueIsTheEmptyName) {
  HKEY key = Create(HKEY_CLASSES_ROOT, u"LIRRIEL.LirrielCtrl.1");
  Set(key, nullptr, REG_SZ, WideBytes(u"Lirriel Control", true));
  Bytes data;
  DWORD type = 0;
  ASSERT_EQ(Get(key, u"", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, WideBytes(u"Lirriel Control", true));
}

TEST_F(RegistryTest, FailuresAnswerThePlatformsCodes) {
  HKEY parent = Create(HKEY_CURRENT_USER, u"Errors\\Child");
  HKEY errors = Open(HKEY_CURRENT_USER, u"Errors", KEY_ALL_ACCESS);
  SetDword(parent, u"Value", 1);
  HKEY readOnly = Open(HKEY_CURRENT_USER, u"Errors\\Child", KEY_READ);
  HKEY setOnly = Open(HKEY_CURRENT_USER, u"Errors\\Child", KEY_SET_VALUE);
  HKEY noCreate = Open(HKEY_CURRENT_USER, u"Errors", KEY_QUERY_VALUE);
  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Errors", 0, KEY_READ, &closed), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  const DWORD one = 1;
  auto set = [&](HKEY key) { return RegSetValueExW(key, u"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4); };
  auto query = [&](HKEY key) { return RegQueryValueExW(key, u"Value", nullptr, nullptr, nullptr, nullptr); };

  struct Case {
    const char* what;
    std::function<LSTATUS()> call;
    LSTATUS expected;
  };
  const Case cases[] = {
      {"missing key",
       [&] {
         HKEY k;
         return RegOpenKeyExW(HKEY_CURRENT_USER, u"Errors\\None", 0, KEY_READ, &k);
       },
       ERROR_FILE_NOT_FOUND},
      {"missing value", [&] { return RegQueryValueExW(parent, u"None", nullptr, nullptr, nullptr, nullptr); },
       ERROR_FILE_NOT_FOUND},
      {"deleting a missing value", [&] { return RegDeleteValueW(parent, u"None"); }, ERROR_FILE_NOT_FOUND},
      {"deleting a missing key", [&] { return RegDeleteKeyW(errors, u"None"); }, ERROR_FILE_NOT_FOUND},
      {"path with a leading backslash",
       [&] {
         HKEY k;
         return RegOpenKeyExW(HKEY_CURRENT_USER, u"\\Errors", 0, KEY_READ, &k);
       },
       ERROR_BAD_PATHNAME},
      {"unknown handle", [&] { return query(reinterpret_cast<HKEY>(0x4444)); }, ERROR_INVALID_HANDLE},
      {"null handle", [&] { return query(nullptr); }, ERROR_INVALID_HANDLE},
      {"closed handle", [&] { return query(closed); }, ERROR_INVALID_HANDLE},
      {"closing twice", [&] { return RegCloseKey(closed); }, ERROR_INVALID_HANDLE},
      {"writing through a read handle", [&] { return set(readOnly); }, ERROR_ACCESS_DENIED},
      {"deleting a value through a read handle", [&] { return RegDeleteValueW(readOnly, u"Value"); },
       ERROR_ACCESS_DENIED},
      {"reading through a set-only handle", [&] { return query(setOnly); }, ERROR_ACCESS_DENIED},
      {"enumerating through a set-only handle",
       [&] {
         WCHAR n[8];
         DWORD c = 8;
         return RegEnumKeyExW(setOnly, 0, n, &c, nullptr, nullptr, nullptr, nullptr);
       },
       ERROR_ACCESS_DENIED},
      {"creating a subkey without the right",
       [&] {
         HKEY k;
         return RegCreateKeyExW(noCreate, u"New", 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr);
       },
       ERROR_ACCESS_DENIED},
      {"deleting a key that has subkeys", [&] { return RegDeleteKeyW(HKEY_CURRENT_USER, u"Errors"); },
       ERROR_ACCESS_DENIED},
      {"deleting a hive", [&] { return RegDeleteKeyW(HKEY_CURRENT_USER, u""); }, ERROR_ACCESS_DENIED},
      {"deleting the classes key", [&] { return RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes"); },
       ERROR_ACCESS_DENIED},
      {"no result pointer", [&] { return RegOpenKeyExW(HKEY_CURRENT_USER, u"Errors", 0, KEY_READ, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"data without its size",
       [&] {
         BYTE b[4];
         return RegQueryValueExW(parent, u"Value", nullptr, nullptr, b, nullptr);
       },
       ERROR_INVALID_PARAMETER},
      {"size without data", [&] { return RegSetValueExW(parent, u"V", 0, REG_BINARY, nullptr, 4); },
       ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;

  // Opening an existing key through RegCreateKeyExW needs no right to create.
  HKEY existing = nullptr;
  DWORD disposition = 0;
  EXPECT_EQ(RegCreateKeyExW(noCreate, u"Child", 0, nullptr, 0, KEY_READ, nullptr, &existing, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(existing);
}

TEST_F(RegistryTest, CreateMakesEveryMissingKeyAndSaysWhichHappened) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"A\\B\\\\C\\", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, &disposition),
            ERROR_SUCCESS);
  open_.push_back(key);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  Open(HKEY_CURRENT_USER, u"A\\B", KEY_READ);
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"a\\b\\c", 0, nullptr, 0, KEY_READ, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  open_.push_back(again);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  // Both handles reach the same key.
  SetDword(key, u"Shared", 5);
  Bytes data;
  DWORD type;
  EXPECT_EQ(Get(again, u"Shared", &type, &data), ERROR_SUCCESS);
}

TEST_F(RegistryTest, HandleToADeletedKeyStaysDeleted) {
  HKEY key = Create(HKEY_CURRENT_USER, u"Gone");
  SetDword(key, u"Value", 1);
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Gone"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(key, u"Value", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  const DWORD one = 1;
  EXPECT_EQ(RegSetValueExW(key, u"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_KEY_DELETED);

  // A new key of the same name is another key: its value does not come from the old one, and the old handle
  // does not reach it.
  HKEY fresh = Create(HKEY_CURRENT_USER, u"Gone");
  EXPECT_EQ(RegQueryValueExW(fresh, u"Value", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, u"Value", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
}

TEST_F(RegistryTest, DeleteTreeRemovesEverythingBelow) {
  HKEY deep = Create(HKEY_CURRENT_USER, u"Tree\\One\\Two");
  SetDword(deep, u"V", 1);
  HKEY tree = Open(HKEY_CURRENT_USER, u"Tree", KEY_ALL_ACCESS);
  SetDword(tree, u"Own", 1);
  Create(HKEY_CURRENT_USER, u"Tree\\Three");

  // Contents only: the key and nothing in it stays.
  ASSERT_EQ(RegDeleteTreeW(tree, nullptr), ERROR_SUCCESS);
  DWORD subKeys = 9, values = 9;
  ASSERT_EQ(RegQueryInfoKeyW(tree, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
  EXPECT_EQ(RegQueryValueExW(deep, u"V", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);

  Create(HKEY_CURRENT_USER, u"Tree\\Again\\Deeper");
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, u"Tree"), ERROR_SUCCESS);
  HKEY none;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Tree", 0, KEY_READ, &none), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, u"Tree"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EnumerationOrderAndBuffers) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Mozilla");
  for (const char16_t* name : {u"SeaMonkey", u"mozilla Firefox", u"Mozilla Thunderbird", u"Camino"}) Create(key, name);
  const char16_t* keysInOrder[] = {u"Camino", u"mozilla Firefox", u"Mozilla Thunderbird", u"SeaMonkey"};
  for (DWORD i = 0; i < 4; ++i) {
    WCHAR name[64];
    ASSERT_EQ(RegEnumKeyW(key, i, name, 64), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), keysInOrder[i]);
  }
  WCHAR name[64];
  EXPECT_EQ(RegEnumKeyW(key, 4, name, 64), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyW(key, 0, name, 6), ERROR_MORE_DATA) << "Camino needs 7 units with its zero";
  DWORD chars = 7;
  ASSERT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(chars, 6u);

  // Values in the order they were first written; rewriting keeps the place.
  SetDword(key, u"Zeta", 1);
  SetDword(key, u"alpha", 2);
  SetDword(key, u"Mid", 3);
  SetDword(key, u"Zeta", 4);
  const char16_t* valuesInOrder[] = {u"Zeta", u"alpha", u"Mid"};
  const BYTE firstBytes[] = {4, 2, 3};
  for (DWORD i = 0; i < 3; ++i) {
    DWORD nameChars = 64, type = 0, size = 4;
    BYTE data[4] = {};
    ASSERT_EQ(RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), valuesInOrder[i]);
    EXPECT_EQ(nameChars, std::u16string(valuesInOrder[i]).size());
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data[0], firstBytes[i]);
  }
  DWORD nameChars = 64, size = 2;
  BYTE small[2];
  EXPECT_EQ(RegEnumValueW(key, 0, name, &nameChars, nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);

  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                             &maxValue, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 4u);
  EXPECT_EQ(maxSubKey, 19u);  // Mozilla Thunderbird
  EXPECT_EQ(values, 3u);
  EXPECT_EQ(maxValueName, 5u);
  EXPECT_EQ(maxValue, 4u);
}

TEST_F(RegistryTest, ClassesRootShowsTheMachinesClasses) {
  HKEY clsid = Create(HKEY_CLASSES_ROOT, u"CLSID\\{05563215-225C-45EB-BB34-AFA47217B1DE}");
  Set(clsid, nullptr, REG_SZ, WideBytes(u"Lirriel Control", true));
  HKEY viaMachine =
      Open(HKEY_LOCAL_MACHINE, u"Software\\Classes\\CLSID\\{05563215-225C-45EB-BB34-AFA47217B1DE}", KEY_READ);
  Bytes data;
  DWORD type;
  ASSERT_EQ(Get(viaMachine, nullptr, &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, WideBytes(u"Lirriel Control", true));
}

TEST_F(RegistryTest, HandlesKeepTheMachineTheyWereOpenedOn) {
  HKEY mine = Create(HKEY_CURRENT_USER, u"Where");
  SetDword(mine, u"Machine", 1);
  kq::TemporaryMachine other;
  {
    kq::MachineScope bind(other.Get());
    HKEY none;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Where", 0, KEY_READ, &none), ERROR_FILE_NOT_FOUND);
    Bytes data;
    DWORD type;
    ASSERT_EQ(Get(mine, u"Machine", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, (Bytes{1, 0, 0, 0}));
  }
}

TEST_F(RegistryTest, PersistsForTheNextMachineOnTheSameRoot) {
  HKEY key = Create(HKEY_CURRENT_USER, u"Control Panel\\International");
  Set(key, u"iCountry", REG_SZ, WideBytes(u"49", true));
  auto later = std::make_shared<kq::Machine>(kq::MachineConfig{machine_->Root()});
  kq::MachineScope bind(later);
  HKEY reopened = Open(HKEY_CURRENT_USER, u"control panel\\international", KEY_READ);
  Bytes data;
  DWORD type = 0;
  ASSERT_EQ(Get(reopened, u"iCountry", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, WideBytes(u"49", true));
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNothing) {
  constexpr int kThreads = 4, kValues = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      kq::MachineScope bind(machine_.Get());
      for (int i = 0; i < kValues; ++i) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Busy", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::u16string name = kq::FormatWideString(u"t%dv%d", t, i);
        const DWORD value = static_cast<DWORD>(i);
        EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
                  ERROR_SUCCESS);
        RegCloseKey(key);
      }
    });
  }
  for (auto& t : threads) t.join();
  HKEY key = Open(HKEY_CURRENT_USER, u"Busy", KEY_READ);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, static_cast<DWORD>(kThreads * kValues));
}

}  // namespace
