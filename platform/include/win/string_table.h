// A module's string table (win/dialog_templates.h registers it with the module's dialogs).
#pragma once

#include "win/base.h"

// Copies string `id` of the module into `buffer` (at most maxCount - 1 characters and a zero) and answers its
// length; with maxCount 0, `buffer` receives a pointer to the read-only string itself. 0 with
// ERROR_RESOURCE_NAME_NOT_FOUND for a string the module lacks.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount);
// The same in the machine's ANSI code page, cut to fit in bytes; maxCount 0 is refused (ERROR_INVALID_PARAMETER).
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int maxCount);
