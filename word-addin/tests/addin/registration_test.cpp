#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "dovecap/dovecap.h"
#include "win/libloaderapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/registry.h"

namespace {

// "root|key|value name" -> "type:data", for every value below the keys.
using Entries = std::map<std::string, std::string>;

void Collect(HKEY root, const char* rootName, const std::string& path, Entries& entries) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  entries.emplace(std::string(rootName) + "|" + path + "|", "key");
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameChars = sizeof name;
    BYTE data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameChars, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string text;
    if (type == REG_DWORD) {
      DWORD value = 0;
      std::memcpy(&value, data, sizeof value);
      text = "dword:" + std::to_string(value);
    } else {
      text = "sz:" + std::string(reinterpret_cast<char*>(data), size);
      if (text.back() == '\0') text.pop_back();
    }
    entries[std::string(rootName) + "|" + path + "|" + name] = text;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameChars = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Collect(root, rootName, path + "\\" + name, entries);
  }
  RegCloseKey(key);
}

constexpr char kClass[] = "CLSID\\{2B76D1FD-6E29-4370-9D55-D8F1738AF8CE}";
constexpr char kAddin[] = "Software\\Microsoft\\Office\\Word\\Addins\\DoveCap.Dovecap";
constexpr char kLibrary[] = "TypeLib\\{972B5E0A-0C35-4B47-87EF-B71697234C64}";
constexpr char kInterface[] = "Interface\\{AE1B2F30-E01A-49BD-9917-F9023B202B30}";

Entries Registered() {
  Entries entries;
  for (const char* key : {kClass, "DoveCap.Dovecap.1", "DoveCap.Dovecap", kLibrary, kInterface})
    Collect(HKEY_CLASSES_ROOT, "HKCR", key, entries);
  Collect(HKEY_LOCAL_MACHINE, "HKLM", kAddin, entries);
  return entries;
}

class RegistrationTest : public ::testing::Test {
 protected:
  RegistrationTest() : scope_(machine_.Get()) {
    path_ = kq::Utf8FromWide(kq::WindowsPathFromPosix(std::string(KQ_BINARY_DIR) + "/lib/libdovecap.so"));
    library_ = LoadLibraryA(path_.c_str());
  }
  ~RegistrationTest() override {
    if (library_) FreeLibrary(library_);
  }
  template <class F>
  F* Entry(const char* name) {
    return reinterpret_cast<F*>(GetProcAddress(library_, name));
  }
  HRESULT Call(const char* name) {
    auto* entry = Entry<HRESULT()>(name);
    return entry ? entry() : E_FAIL;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  std::string path_;
  HMODULE library_ = nullptr;
};

TEST_F(RegistrationTest, WritesTheClassTheProgIdsTheAddinKeyAndTheTypeLibrary) {
  ASSERT_NE(library_, nullptr);
  ASSERT_EQ(Call("DllRegisterServer"), S_OK);
  const Entries entries = Registered();
  const std::string c = std::string("HKCR|") + kClass;
  const std::string a = std::string("HKLM|") + kAddin;
  const std::string clsid = "sz:{2B76D1FD-6E29-4370-9D55-D8F1738AF8CE}";
  const Entries expected = {
      {c + "|", "sz:Dovecap Class"},
      {c + "\\ProgID|", "sz:DoveCap.Dovecap.1"},
      {c + "\\VersionIndependentProgID|", "sz:DoveCap.Dovecap"},
      {c + "\\Programmable|", "key"},
      {c + "\\InprocServer32|", "sz:" + path_},
      {c + "\\InprocServer32|ThreadingModel", "sz:Apartment"},
      {c + "\\TypeLib|", "sz:{972B5E0A-0C35-4B47-87EF-B71697234C64}"},
      {"HKCR|DoveCap.Dovecap.1\\CLSID|", clsid},
      {"HKCR|DoveCap.Dovecap\\CLSID|", clsid},
      {"HKCR|DoveCap.Dovecap\\CurVer|", "sz:DoveCap.Dovecap.1"},
      {a + "|FriendlyName", "sz:Kelvo PDF Zedarod COM Addin"},
      {a + "|Description", "sz:Kelvo PDF Zedarod COM Addin"},
      {a + "|LoadBehavior", "dword:3"},
      {a + "|CommandLineSafe", "dword:0"},
      {std::string("HKCR|") + kLibrary + "\\1.0|", "sz:DoveCap 1.0 Type Library"},
  };
  for (const auto& [key, data] : expected) {
    auto it = entries.find(key);
    ASSERT_NE(it, entries.end()) << key;
    EXPECT_EQ(it->second, data) << key;
  }
  EXPECT_EQ(entries.count(std::string("HKCR|") + kInterface + "|"), 1u);

  ASSERT_EQ(Call("DllRegisterServer"), S_OK);
  EXPECT_EQ(Registered(), entries);
  ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
  EXPECT_TRUE(Registered().empty());
  EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
}

TEST_F(RegistrationTest, GivesItsOneClassAndUnloadsWhenNothingIsAlive) {
  ASSERT_NE(library_, nullptr);
  auto* getClassObject = Entry<HRESULT(REFCLSID, REFIID, LPVOID*)>("DllGetClassObject");
  ASSERT_NE(getClassObject, nullptr);
  EXPECT_EQ(getClassObject(CLSID_Dovecap, IID_IClassFactory, nullptr), E_POINTER);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(IID_IDovecap, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  kq::ComPtr<IClassFactory> factory, again;
  ASSERT_EQ(getClassObject(CLSID_Dovecap, IID_IClassFactory, factory.PutVoid()), S_OK);
  ASSERT_EQ(getClassObject(CLSID_Dovecap, IID_IClassFactory, again.PutVoid()), S_OK);
  EXPECT_EQ(factory.Get(), again.Get());
  EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);

  kq::ComPtr<IDTExtensibility2> addin;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDTExtensibility2, addin.PutVoid()), S_OK);
  EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE);
  EXPECT_EQ(addin->OnAddInsUpdate(nullptr), E_NOTIMPL);
  EXPECT_EQ(addin->OnStartupComplete(nullptr), E_NOTIMPL);
  EXPECT_EQ(addin->OnBeginShutdown(nullptr), E_NOTIMPL);
  kq::ComPtr<IDispatch> dual;
  EXPECT_EQ(addin->QueryInterface(IID_IDovecap, dual.PutVoid()), S_OK);
  dual = {};
  addin = {};
  EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);
}

}  // namespace
