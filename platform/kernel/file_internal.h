// Shared by the kernel room's file and path sources; not a public header.
#pragma once

#include <filesystem>

#include "win/base.h"

namespace kq {

// The host path of a Windows path on the current machine (win/paths.h): 0, or the platform's error code.
DWORD ResolveWindowsPath(WStringView windowsPath, std::filesystem::path& host);

// The platform's error code for the errno of a failed host call. ENOENT names a missing file; MissingNameError
// tells a missing file (ERROR_FILE_NOT_FOUND) from a missing folder on the way (ERROR_PATH_NOT_FOUND).
DWORD ErrorFromErrno(int error);
DWORD MissingNameError(const std::filesystem::path& host);

// An ANSI name as the wide name the W calls take; false (ERROR_PATH_NOT_FOUND) for a null name.
bool WideNameFromAnsi(LPCSTR name, WString& wide);

}  // namespace kq
