#include <gtest/gtest.h>

#include <map>
#include <string>

#include "lirriel_ids.h"
#include "lirriel_module.h"
#include "win/com_support.h"
#include "win/libloaderapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/registry.h"

namespace {

using Entries = std::map<std::string, std::string>;

// Every key and value below `path` of HKEY_CLASSES_ROOT, as "key|value name" -> data.
void Collect(HKEY root, const std::string& path, Entries& entries) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  entries[path + "|"] = entries.count(path + "|") ? entries[path + "|"] : "";
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameChars = sizeof name;
    BYTE data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameChars, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string text(reinterpret_cast<char*>(data), size);
    if (!text.empty() && text.back() == '\0') text.pop_back();
    entries[path + "|" + name] = text;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameChars = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Collect(root, path + "\\" + name, entries);
  }
  RegCloseKey(key);
}

constexpr char kControlKey[] = "CLSID\\{05563215-225C-45EB-BB34-AFA47217B1DE}";
constexpr char kPageKey[] = "CLSID\\{285FA90B-649B-49F3-A1A2-E216FFBD2AE7}";
constexpr char kProgIdKey[] = "LIRRIEL.LirrielCtrl.1";
constexpr char kTypeLibKey[] = "TypeLib\\{3D20F47F-E818-4A03-AD52-45B708ACCF23}";

Entries Registered() {
  Entries entries;
  for (const char* key : {kControlKey, kPageKey, kProgIdKey, kTypeLibKey, "Interface\\{42628B60-2075-4D91-8B48-F9B4A3F7EC96}",
                          "Interface\\{6E7281CF-DFF2-4D59-A9CF-C14899EDE9C9}", "LIRRIEL.LirrielPropPage.1"})
    Collect(HKEY_CLASSES_ROOT, key, entries);
  return entries;
}

class RegistrationTest : public ::testing::Test {
 protected:
  RegistrationTest() : scope_(machine_.Get()) {
    path_ = kq::Utf8FromWide(kq::WindowsPathFromPosix(std::string(KQ_BINARY_DIR) + "/lib/libLirriel.so"));
    library_ = LoadLibraryA(path_.c_str());
  }
  ~RegistrationTest() override {
    if (library_) FreeLibrary(library_);
  }
  HRESULT Call(const char* name) {
    auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library_, name));
    return entry ? entry() : E_FAIL;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  std::string path_;
  HMODULE library_ = nullptr;
};

TEST_F(RegistrationTest, WritesTheControlsThePagesAndTheTypeLibrarysEntries) {
  ASSERT_NE(library_, nullptr);
  ASSERT_EQ(Call("DllRegisterServer"), S_OK);
  const Entries entries = Registered();
  const std::string c = kControlKey;
  const Entries expected = {
      {c + "|", "Lirriel Control"},
      {c + "\\ProgID|", "LIRRIEL.LirrielCtrl.1"},
      {c + "\\InprocServer32|", path_},
      {c + "\\InprocServer32|ThreadingModel", "Apartment"},
      {c + "\\ToolboxBitmap32|", path_ + ", 1"},
      {c + "\\MiscStatus|", "0"},
      {c + "\\MiscStatus\\1|", "131473"},
      {c + "\\Control|", ""},
      {c + "\\TypeLib|", "{3D20F47F-E818-4A03-AD52-45B708ACCF23}"},
      {c + "\\Version|", "1.0"},
      {std::string(kProgIdKey) + "|", "Lirriel Control"},
      {std::string(kProgIdKey) + "\\CLSID|", "{05563215-225C-45EB-BB34-AFA47217B1DE}"},
      {std::string(kPageKey) + "|", "Lirriel Property Page"},
      {std::string(kPageKey) + "\\InprocServer32|", path_},
  };
  for (const auto& [key, data] : expected) {
    auto it = entries.find(key);
    ASSERT_NE(it, entries.end()) << key;
    EXPECT_EQ(it->second, data) << key;
  }
  EXPECT_EQ(entries.count(std::string(kPageKey) + "\\InprocServer32|ThreadingModel"), 0u);
  EXPECT_EQ(entries.count(c + "\\Insertable|"), 0u);
  EXPECT_EQ(entries.count("LIRRIEL.LirrielPropPage.1|"), 0u);
  // The type library's registration names the module and both interfaces.
  bool typeLibPath = false;
  for (const auto& [key, data] : entries) typeLibPath = typeLibPath || (key.find(kTypeLibKey) == 0 && data == path_);
  EXPECT_TRUE(typeLibPath);
  EXPECT_EQ(entries.count("Interface\\{42628B60-2075-4D91-8B48-F9B4A3F7EC96}|"), 1u);
  EXPECT_EQ(entries.count("Interface\\{6E7281CF-DFF2-4D59-A9CF-C14899EDE9C9}|"), 1u);

  // Registering again gives the same entries; unregistering removes the three keys and the type library.
  ASSERT_EQ(Call("DllRegisterServer"), S_OK);
  EXPECT_EQ(Registered(), entries);
  ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
  const Entries left = Registered();
  for (const char* key : {kControlKey, kPageKey, kProgIdKey})
    EXPECT_EQ(left.count(std::string(key) + "|"), 0u) << key;
  EXPECT_EQ(left.count("Interface\\{42628B60-2075-4D91-8B48-F9B4A3F7EC96}|"), 0u);
  // Unregistering what is not registered is no failure.
  EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
}

TEST_F(RegistrationTest, ATypeLibraryFailureStopsBeforeTheClasses) {
  auto failing = [](const AfxTypeLibrary&) -> BOOL { return FALSE; };
  EXPECT_EQ(LirrielRegisterServer(failing), static_cast<HRESULT>(0x80040200));
  EXPECT_TRUE(Registered().empty());
  auto failingRemoval = [](const GUID&, WORD, WORD) -> BOOL { return FALSE; };
  ASSERT_EQ(LirrielRegisterServer(AfxOleRegisterTypeLib), S_OK);
  const Entries before = Registered();
  EXPECT_EQ(LirrielUnregisterServer(failingRemoval), static_cast<HRESULT>(0x80040200));
  EXPECT_EQ(Registered(), before);
}

}  // namespace
