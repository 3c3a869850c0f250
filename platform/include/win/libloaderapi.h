// Loading shared libraries by their Windows path and finding their exports by name.
#pragma once

#include "win/base.h"

using FARPROC = void (*)();

// Loads the library a Windows path names (any file name: a control copied as "X.ocx" loads as well). A failure
// answers NULL with ERROR_MOD_NOT_FOUND (no such file, or a file that is no loadable library).
HMODULE LoadLibraryA(LPCSTR fileName);
// NULL with ERROR_PROC_NOT_FOUND when the library has no export of that name.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
