// String tables compiled into a module. A module registers its table with its instance handle when it is loaded
// (and removes it when it unloads); LoadString finds a string by that handle and its id. Like dialog templates,
// string tables are module data: the table of tables is the process's, and the strings are the module's static
// data, which must outlive the registration.
#pragma once

#include <span>

#include "win/base.h"

namespace kq {

struct StringResource {
  UINT id;
  const WCHAR* text;
};

// Registering a module again replaces its table.
void RegisterModuleStrings(HINSTANCE module, std::span<const StringResource> strings);
void UnregisterModuleStrings(HINSTANCE module);

}  // namespace kq

// Copies the string (cut to fit, always terminated) and answers its length in characters without the zero; 0 with
// ERROR_RESOURCE_NAME_NOT_FOUND when the module has no such string.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferMax);
// The same in the ANSI code page; the cut is made in bytes.
int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int bufferMax);
