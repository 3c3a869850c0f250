// Libraries load through the host's dynamic loader; a module handle is the loader's handle.
#include <dlfcn.h>

#include <filesystem>

#include "file_internal.h"
#include "win/libloaderapi.h"
#include "win/paths.h"

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  kq::WString wide;
  std::filesystem::path host;
  if (!kq::WideNameFromAnsi(fileName, wide) || kq::ResolveWindowsPath(wide, host) != ERROR_SUCCESS) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* handle = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!module || !procName) {
    SetLastError(ERROR_INVALID_HANDLE);
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
  if (!module || dlclose(static_cast<void*>(module)) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
