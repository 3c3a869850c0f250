#include <algorithm>

#include "com_runtime.h"
#include "win/libloaderapi.h"
#include "win/registry.h"

namespace kq {

std::optional<WString> ClassesRootText(WStringView path, const WCHAR* valueName) {
  HKEY key = nullptr;
  const WString subKey(path);
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  std::optional<WString> text;
  if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    WString buffer(size / sizeof(WCHAR) + 1, u'\0');
    DWORD bytes = size;
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &bytes) ==
        ERROR_SUCCESS) {
      buffer.resize(std::min<std::size_t>(bytes / sizeof(WCHAR), buffer.size()));
      while (!buffer.empty() && buffer.back() == u'\0') buffer.pop_back();
      text = std::move(buffer);
    }
  }
  RegCloseKey(key);
  return text;
}

namespace {

ComRuntime& Runtime() { return CurrentMachine().Service<ComRuntime>(); }

// A class object a running program registered for one of the contexts asked for.
ComPtr<IUnknown> RegisteredClassObject(REFCLSID clsid, DWORD context) {
  auto& runtime = Runtime();
  std::lock_guard lock(runtime.mutex);
  for (auto it = runtime.classObjects.begin(); it != runtime.classObjects.end(); ++it) {
    if (it->second.clsid != clsid || !(it->second.context & context)) continue;
    auto object = it->second.object;
    // A single-use class object serves one request.
    if (it->second.flags == REGCLS_SINGLEUSE) runtime.classObjects.erase(it);
    return object;
  }
  return nullptr;
}

HRESULT InprocClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  const auto module = ClassesRootText(u"CLSID\\" + GuidText(clsid) + u"\\InprocServer32");
  if (!module || module->empty()) return REGDB_E_CLASSNOTREG;
  HMODULE library = LoadLibraryW(module->c_str());
  if (!library) return CO_E_DLLNOTFOUND;
  auto get = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(library, "DllGetClassObject"));
  if (!get) {
    FreeLibrary(library);
    return CO_E_ERRORINDLL;
  }
  {
    auto& runtime = Runtime();
    std::lock_guard lock(runtime.mutex);
    // Each server library stays loaded once, with one reference, until CoFreeUnusedLibraries.
    if (std::find(runtime.libraries.begin(), runtime.libraries.end(), library) == runtime.libraries.end())
      runtime.libraries.push_back(library);
    else
      FreeLibrary(library);
  }
  return get(clsid, riid, object);
}

}  // namespace

}  // namespace kq

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID, REFIID riid, LPVOID* object) {
  if (!object) return E_INVALIDARG;
  *object = nullptr;
  if (auto registered = kq::RegisteredClassObject(clsid, context)) return registered->QueryInterface(riid, object);
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  return kq::InprocClassObject(clsid, riid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  kq::ComPtr<IClassFactory> factory;
  const HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.PutVoid());
  if (FAILED(hr)) return hr;
  const HRESULT created = factory->CreateInstance(outer, riid, object);
  if (FAILED(created)) *object = nullptr;
  return created;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN classObject, DWORD context, DWORD flags, LPDWORD cookie) {
  if (!classObject || !cookie) return E_INVALIDARG;
  auto& runtime = kq::Runtime();
  std::lock_guard lock(runtime.mutex);
  *cookie = runtime.nextCookie++;
  runtime.classObjects[*cookie] = {clsid, context, flags, kq::ComPtr<IUnknown>(classObject)};
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  kq::ComPtr<IUnknown> released;
  auto& runtime = kq::Runtime();
  std::lock_guard lock(runtime.mutex);
  auto it = runtime.classObjects.find(cookie);
  if (it == runtime.classObjects.end()) return E_INVALIDARG;
  released = std::move(it->second.object);
  runtime.classObjects.erase(it);
  return S_OK;
}

void CoFreeUnusedLibraries() {
  std::vector<HMODULE> libraries;
  {
    auto& runtime = kq::Runtime();
    std::lock_guard lock(runtime.mutex);
    libraries = runtime.libraries;
  }
  for (HMODULE library : libraries) {
    auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(library, "DllCanUnloadNow"));
    if (!canUnload || canUnload() != S_OK) continue;
    auto& runtime = kq::Runtime();
    {
      std::lock_guard lock(runtime.mutex);
      std::erase(runtime.libraries, library);
    }
    FreeLibrary(library);
  }
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  kq::WString name(progId);
  // A version-independent ProgID without a CLSID of its own names its current version.
  for (int hops = 0; hops < 2; ++hops) {
    if (const auto text = kq::ClassesRootText(name + u"\\CLSID")) {
      GUID guid;
      if (IIDFromString(text->c_str(), &guid) != S_OK) return CO_E_CLASSSTRING;
      *clsid = guid;
      return S_OK;
    }
    const auto current = kq::ClassesRootText(name + u"\\CurVer");
    if (!current || current->empty()) break;
    name = *current;
  }
  return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
  if (!progId) return E_INVALIDARG;
  *progId = nullptr;
  const auto text = kq::ClassesRootText(u"CLSID\\" + kq::GuidText(clsid) + u"\\ProgID");
  if (!text || text->empty()) return REGDB_E_CLASSNOTREG;
  *progId = static_cast<LPOLESTR>(CoTaskMemAlloc((text->size() + 1) * sizeof(OLECHAR)));
  if (!*progId) return E_OUTOFMEMORY;
  text->copy(*progId, text->size());
  (*progId)[text->size()] = 0;
  return S_OK;
}

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, LPDWORD registration) {
  if (!object || !registration) return E_INVALIDARG;
  auto& runtime = kq::Runtime();
  std::lock_guard lock(runtime.mutex);
  *registration = runtime.nextCookie++;
  kq::ComRuntime::RunningEntry entry{clsid, nullptr, nullptr};
  if (flags & ACTIVEOBJECT_WEAK)
    entry.weak = object;
  else
    entry.strong = kq::ComPtr<IUnknown>(object);
  runtime.running[*registration] = std::move(entry);
  return S_OK;
}

HRESULT RevokeActiveObject(DWORD registration, LPVOID) {
  kq::ComPtr<IUnknown> released;
  auto& runtime = kq::Runtime();
  std::lock_guard lock(runtime.mutex);
  auto it = runtime.running.find(registration);
  if (it == runtime.running.end()) return E_INVALIDARG;
  released = std::move(it->second.strong);
  runtime.running.erase(it);
  return S_OK;
}

HRESULT GetActiveObject(REFCLSID clsid, LPVOID, IUnknown** object) {
  if (!object) return E_INVALIDARG;
  *object = nullptr;
  auto& runtime = kq::Runtime();
  std::lock_guard lock(runtime.mutex);
  for (auto it = runtime.running.rbegin(); it != runtime.running.rend(); ++it) {
    if (it->second.clsid != clsid) continue;
    IUnknown* found = it->second.strong ? it->second.strong.Get() : it->second.weak;
    found->AddRef();
    *object = found;
    return S_OK;
  }
  return MK_E_UNAVAILABLE;
}
