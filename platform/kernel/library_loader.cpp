#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "win/libloaderapi.h"
#include "win/paths.h"

namespace kq {

namespace {

bool IsBareName(WStringView name) { return name.find_first_of(u"\\/:") == WStringView::npos; }

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

struct HandleSearch {
  const void* handle;
  bool found = false;
};

int MatchHandle(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<HandleSearch*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
    Dl_info symbol{};
    link_map* map = nullptr;
    const void* base = reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
    if (dladdr1(base, &symbol, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) && map == search->handle) {
      search->found = true;
      return 1;
    }
    break;
  }
  return 0;
}

// Only a handle the loader gave out may reach dlclose; anything else is refused rather than trusted.
bool IsLoaderHandle(HMODULE module) {
  HandleSearch search{module};
  dl_iterate_phdr(MatchHandle, &search);
  return search.found;
}

HMODULE OpenHostLibrary(const std::filesystem::path& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle) return static_cast<HMODULE>(handle);
  std::error_code ec;
  SetLastError(std::filesystem::exists(path, ec) ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE LoadByWideName(WStringView name) {
  if (name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (IsBareName(name)) {
    const auto narrow = Utf8FromWide(name);
    const auto beside = ProgramFolder() / narrow;
    std::error_code ec;
    if (!beside.empty() && std::filesystem::exists(beside, ec)) return OpenHostLibrary(beside);
    if (void* handle = dlopen(narrow.c_str(), RTLD_NOW | RTLD_LOCAL)) return static_cast<HMODULE>(handle);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  const auto host = name.front() == u'/' ? std::optional<std::filesystem::path>(Utf8FromWide(name))
                                         : HostPathFromWindows(name, &error);
  if (!host) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return OpenHostLibrary(*host);
}

}  // namespace

}  // namespace kq

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return kq::LoadByWideName(fileName);
}

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int length = lstrlenA(fileName);
  kq::WString wide;
  if (length > 0) {
    const int chars = MultiByteToWideChar(CP_ACP, 0, fileName, length, nullptr, 0);
    wide.resize(static_cast<std::size_t>(chars > 0 ? chars : 0));
    if (chars > 0) MultiByteToWideChar(CP_ACP, 0, fileName, length, wide.data(), chars);
  }
  return kq::LoadByWideName(wide);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!module || !kq::IsLoaderHandle(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!procName) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(static_cast<void*>(module), procName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  if (!module || !kq::IsLoaderHandle(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return dlclose(static_cast<void*>(module)) == 0 ? TRUE : FALSE;
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
  if (module) *module = nullptr;
  constexpr DWORD kNeeded = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!module || (flags & kNeeded) != kNeeded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Dl_info info{};
  if (!moduleName || !dladdr(static_cast<const void*>(moduleName), &info) || !info.dli_fbase) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  *module = static_cast<HMODULE>(info.dli_fbase);
  return TRUE;
}
