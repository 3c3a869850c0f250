#include <cstdio>

#include "com_runtime.h"
#include "win/registry.h"

namespace kq {

namespace {

// Sets (default) or a named string value of HKCR\<path>, creating the key.
LSTATUS SetText(const WString& path, const WCHAR* valueName, WStringView text) {
  HKEY key = nullptr;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const WString value(text);
  status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
  return status;
}

WString Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
  return WideFromUtf8(text);
}

WString VersionText(WORD major, WORD minor) {
  return WideFromUtf8(std::to_string(major) + "." + std::to_string(minor));
}

WString TypeLibVersionKey(const GUID& libid, WORD major, WORD minor) {
  return u"TypeLib\\" + GuidText(libid) + u"\\" + VersionText(major, minor);
}

bool IsNil(const GUID& guid) { return guid == GUID{}; }

class Writer {
 public:
  void Text(const WString& path, const WCHAR* valueName, WStringView text) {
    if (status_ == ERROR_SUCCESS) status_ = SetText(path, valueName, text);
  }
  LSTATUS Status() const { return status_; }

 private:
  LSTATUS status_ = ERROR_SUCCESS;
};

}  // namespace

HRESULT RegisterInprocServer(const InprocServerRegistration& r) {
  const WString clsid = GuidText(r.clsid);
  const WString classKey = u"CLSID\\" + clsid;
  Writer w;
  w.Text(classKey, nullptr, r.description);
  w.Text(classKey + u"\\InprocServer32", nullptr, r.modulePath);
  if (!r.threadingModel.empty()) w.Text(classKey + u"\\InprocServer32", u"ThreadingModel", r.threadingModel);
  if (!r.progId.empty()) {
    w.Text(classKey + u"\\ProgID", nullptr, r.progId);
    w.Text(r.progId, nullptr, r.description);
    w.Text(r.progId + u"\\CLSID", nullptr, clsid);
  }
  if (!r.versionIndependentProgId.empty()) {
    w.Text(classKey + u"\\VersionIndependentProgID", nullptr, r.versionIndependentProgId);
    w.Text(r.versionIndependentProgId, nullptr, r.description);
    w.Text(r.versionIndependentProgId + u"\\CLSID", nullptr, clsid);
    if (!r.progId.empty()) w.Text(r.versionIndependentProgId + u"\\CurVer", nullptr, r.progId);
  }
  if (!IsNil(r.typeLib)) w.Text(classKey + u"\\TypeLib", nullptr, GuidText(r.typeLib));
  if (w.Status() == ERROR_SUCCESS) return S_OK;
  return HRESULT_FROM_WIN32(static_cast<DWORD>(w.Status()));
}

HRESULT UnregisterInprocServer(const CLSID& clsid) {
  const WString classKey = u"CLSID\\" + GuidText(clsid);
  for (const WCHAR* name : {u"\\ProgID", u"\\VersionIndependentProgID"}) {
    const auto progId = ClassesRootText(classKey + name);
    if (!progId || progId->empty()) continue;
    // Only a ProgID that still names this class is removed with it.
    const auto named = ClassesRootText(*progId + u"\\CLSID");
    if (named && EqualsIgnoreAsciiCase(*named, GuidText(clsid))) RegDeleteTreeW(HKEY_CLASSES_ROOT, progId->c_str());
  }
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
  return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT RegisterTypeLibEntries(const TypeLibRegistration& r) {
  const WString version = TypeLibVersionKey(r.libid, r.major, r.minor);
  const WString platform = r.kind == SYS_WIN64 ? u"win64" : u"win32";
  Writer w;
  w.Text(version, nullptr, r.name);
  w.Text(version + u"\\" + Hex(r.locale) + u"\\" + platform, nullptr, r.path);
  w.Text(version + u"\\FLAGS", nullptr, WideFromUtf8(std::to_string(r.flags)));
  w.Text(version + u"\\HELPDIR", nullptr, r.helpDir);
  for (const auto& item : r.interfaces) {
    const WString key = u"Interface\\" + GuidText(item.iid);
    w.Text(key, nullptr, item.name);
    w.Text(key + u"\\ProxyStubClsid32", nullptr, GuidText(CLSID_PSOAInterface));
    w.Text(key + u"\\TypeLib", nullptr, GuidText(r.libid));
    w.Text(key + u"\\TypeLib", u"Version", VersionText(r.major, r.minor));
  }
  return w.Status() == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}

}  // namespace kq

HRESULT QueryPathOfRegTypeLib(REFGUID libid, USHORT major, USHORT minor, LCID locale, LPBSTR path) {
  if (!path) return E_INVALIDARG;
  *path = nullptr;
  const kq::WString base = kq::TypeLibVersionKey(libid, major, minor) + u"\\" + kq::Hex(locale) + u"\\";
  for (const WCHAR* platform : {u"win32", u"win64"}) {
    if (const auto text = kq::ClassesRootText(base + platform)) {
      *path = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
      return *path ? S_OK : E_OUTOFMEMORY;
    }
  }
  return TYPE_E_LIBNOTREGISTERED;
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID, SYSKIND) {
  const kq::WString version = kq::TypeLibVersionKey(libid, major, minor);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, version.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return TYPE_E_LIBNOTREGISTERED;
  RegCloseKey(key);
  // Interfaces registered with this library and version go with it.
  HKEY interfaces = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Interface", 0, KEY_READ, &interfaces) == ERROR_SUCCESS) {
    std::vector<kq::WString> doomed;
    WCHAR name[64];
    for (DWORD i = 0; RegEnumKeyW(interfaces, i, name, 64) == ERROR_SUCCESS; ++i) {
      const kq::WString typeLibKey = kq::WString(u"Interface\\") + name + u"\\TypeLib";
      const auto lib = kq::ClassesRootText(typeLibKey);
      const auto ver = kq::ClassesRootText(typeLibKey, u"Version");
      if (lib && kq::EqualsIgnoreAsciiCase(*lib, kq::GuidText(libid)) && ver && *ver == kq::VersionText(major, minor))
        doomed.push_back(name);
    }
    for (const auto& iid : doomed) RegDeleteTreeW(interfaces, iid.c_str());
    RegCloseKey(interfaces);
  }
  if (RegDeleteTreeW(HKEY_CLASSES_ROOT, version.c_str()) != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
  // The library's key goes when its last version has gone.
  const kq::WString library = u"TypeLib\\" + kq::GuidText(libid);
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, library.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    WCHAR name[64];
    const bool empty = RegEnumKeyW(key, 0, name, 64) != ERROR_SUCCESS;
    RegCloseKey(key);
    if (empty) RegDeleteKeyW(HKEY_CLASSES_ROOT, library.c_str());
  }
  return S_OK;
}
