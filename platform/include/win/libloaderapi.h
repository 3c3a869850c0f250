// Loading shared libraries as modules: LoadLibraryW/A, GetProcAddress and FreeLibrary over the host's loader. A
// module handle is the loader's handle, which GetModuleFileNameW also accepts. A module finds its own handle (its
// base address, under which its resources are registered) from an address of its code: GetModuleHandleExW, or
// kq::ModuleOfAddress.
#pragma once

#include "win/base.h"

using FARPROC = void (*)();

// Loads a library named by a Windows path (or a POSIX path, taken as a Z: path). A bare file name is looked up
// beside the running program, then by the host loader's search. Loading a library twice gives the same handle
// and counts one more reference. Fails with a null handle and ERROR_MOD_NOT_FOUND (no such file or an unmapped
// drive), ERROR_BAD_EXE_FORMAT (not a loadable library) or ERROR_INVALID_PARAMETER (a null or empty name).
HMODULE LoadLibraryW(LPCWSTR fileName);
// The same with the name in the ANSI code page.
HMODULE LoadLibraryA(LPCSTR fileName);
// The address of an exported function, or null with ERROR_PROC_NOT_FOUND (ERROR_INVALID_HANDLE for a null module).
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// Drops one reference; the library is unloaded when the last one goes. FALSE with ERROR_INVALID_HANDLE for a null
// module or one the loader does not know.
BOOL FreeLibrary(HMODULE module);

inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;
// With both flags: the module that holds the address `moduleName` points at (the program or a loaded library), as
// its base address, which GetModuleFileNameW and the resource calls accept; no reference is taken. Fails with a
// null *module and ERROR_MOD_NOT_FOUND for an address outside every module, ERROR_INVALID_PARAMETER without a
// result pointer or without both flags (modules are not looked up by name here).
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);

namespace kq {
// The module holding `address` (a function or object of the module's own), or null.
inline HMODULE ModuleOfAddress(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(address), &module);
  return module;
}
}  // namespace kq
