// The module of the add-in: its registry entries, its one class factory and its four exports.
#include <atomic>
#include <mutex>
#include <vector>

#include "dovecap/convert_status.h"
#include "dovecap/dovecap.h"
#include "dovecap/dovecap_module.h"
#include "win/objbase.h"
#include "win/paths.h"
#include "win/registry.h"
#include "win/sysinfoapi.h"

#define DOVECAP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr WCHAR kAddinName[] = u"Kelvo PDF Zedarod COM Addin";

std::atomic<long>& LiveObjects() {
  static std::atomic<long> count{0};
  return count;
}

// The library's own file, as a Windows path.
kq::WString ModulePath() {
  std::vector<WCHAR> path(32768);
  const DWORD length = GetModuleFileNameW(DovecapModule(), path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  return kq::WString(path.data(), length);
}

LSTATUS SetValue(HKEY root, const kq::WString& path, const WCHAR* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status;
}

LSTATUS SetText(HKEY root, const kq::WString& path, const WCHAR* name, const kq::WString& text) {
  return SetValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

LSTATUS SetDword(HKEY root, const kq::WString& path, const WCHAR* name, DWORD value) {
  return SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}

HRESULT FromStatus(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// The factory is made once, under the module's lock, and lives as long as the library.
ComFactoryHolder& Factory() {
  static ComFactoryHolder holder;
  return holder;
}

}  // namespace

DovecapObjectCount::DovecapObjectCount() { ++LiveObjects(); }
DovecapObjectCount::~DovecapObjectCount() { --LiveObjects(); }

HRESULT DovecapRegisterServer() {
  const kq::WString path = ModulePath();
  kq::InprocServerRegistration server{CLSID_Dovecap,    u"Dovecap Class",         path, u"Apartment",
                                      kDovecapProgId,   kDovecapIndependentProgId, LIBID_DOVECAPLib};
  HRESULT hr = kq::RegisterInprocServer(server);
  if (FAILED(hr)) return hr;
  const kq::WString classKey = u"CLSID\\" + kq::GuidText(CLSID_Dovecap);
  HKEY programmable = nullptr;
  hr = FromStatus(RegCreateKeyExW(HKEY_CLASSES_ROOT, (classKey + u"\\Programmable").c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &programmable, nullptr));
  if (FAILED(hr)) return hr;
  RegCloseKey(programmable);
  for (const WCHAR* name : {u"FriendlyName", u"Description"}) {
    hr = FromStatus(SetText(HKEY_LOCAL_MACHINE, kDovecapAddinKey, name, kAddinName));
    if (FAILED(hr)) return hr;
  }
  hr = FromStatus(SetDword(HKEY_LOCAL_MACHINE, kDovecapAddinKey, u"LoadBehavior", kLoadAtStartup));
  if (FAILED(hr)) return hr;
  hr = FromStatus(SetDword(HKEY_LOCAL_MACHINE, kDovecapAddinKey, u"CommandLineSafe", 0));
  if (FAILED(hr)) return hr;
  kq::TypeLibRegistration library;
  library.libid = LIBID_DOVECAPLib;
  library.name = u"DoveCap 1.0 Type Library";
  library.path = path;
  library.interfaces = {{IID_IDovecap, u"IDovecap"}};
  return kq::RegisterTypeLibEntries(library);
}

HRESULT DovecapUnregisterServer() {
  kq::UnregisterInprocServer(CLSID_Dovecap);
  // An add-in whose library is gone must not be loaded at the next start.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kDovecapAddinKey);
  UnRegisterTypeLib(LIBID_DOVECAPLib, 1, 0, 0, SYS_WIN32);
  return S_OK;
}

HRESULT DovecapGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_Dovecap) return CLASS_E_CLASSNOTAVAILABLE;
  return Factory().Get()->QueryInterface(iid, object);
}

HRESULT DovecapCanUnloadNow() {
  return LiveObjects().load() == 0 && Factory().Locks() == 0 ? S_OK : S_FALSE;
}

kq::ClassFactory* ComFactoryHolder::Get() {
  std::lock_guard lock(mutex_);
  if (!factory_)
    factory_ = kq::ComPtr<kq::ClassFactory>::Attach(new kq::ClassFactory([](REFIID riid, void** object) {
      auto addin = kq::ComPtr<CDovecap>::Attach(new CDovecap());
      return addin->QueryInterface(riid, object);
    }));
  return factory_.Get();
}

LONG ComFactoryHolder::Locks() {
  std::lock_guard lock(mutex_);
  return factory_ ? factory_->Locks() : 0;
}

DOVECAP_EXPORT HRESULT DllRegisterServer() { return DovecapRegisterServer(); }
DOVECAP_EXPORT HRESULT DllUnregisterServer() { return DovecapUnregisterServer(); }
DOVECAP_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return DovecapGetClassObject(clsid, iid, object);
}
DOVECAP_EXPORT HRESULT DllCanUnloadNow() { return DovecapCanUnloadNow(); }
