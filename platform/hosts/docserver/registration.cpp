// The document server's class registration, naming the library beside the platform library.
#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "win/docserver_host.h"
#include "win/paths.h"
#include "win/registry.h"

namespace kq {

namespace {

constexpr char16_t kClassKey[] = u"CLSID\\{14E8BBD8-1D1C-4D56-A4DA-D20B75EB814E}";

DWORD SetDefault(const WString& key, const WString& value, LPCWSTR name = nullptr) {
  HKEY opened = nullptr;
  DWORD r = static_cast<DWORD>(
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr));
  if (r != ERROR_SUCCESS) return r;
  r = static_cast<DWORD>(RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR))));
  RegCloseKey(opened);
  return r;
}

}  // namespace

DWORD RegisterDocumentServer() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&RegisterDocumentServer), &info) == 0 || !info.dli_fname)
    return ERROR_FILE_NOT_FOUND;
  std::error_code ec;
  const auto library = std::filesystem::canonical(info.dli_fname, ec).parent_path() / "libkqdocserver.so";
  if (ec || !std::filesystem::exists(library, ec)) return ERROR_FILE_NOT_FOUND;
  const WString key(kClassKey);
  if (DWORD r = SetDefault(key, u"ViewerDocumentServer")) return r;
  if (DWORD r = SetDefault(key + u"\\InprocServer32", WindowsPathFromPosix(library.string()))) return r;
  return SetDefault(key + u"\\InprocServer32", u"Apartment", u"ThreadingModel");
}

}  // namespace kq
