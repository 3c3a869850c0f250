// Searching a folder for files by name, with the wildcards "*" and "?" in the last part of the path, and the
// short form of a path.
#pragma once

#include "win/base.h"
#include "win/handleapi.h"

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
static_assert(sizeof(WIN32_FIND_DATAA) == 320);

// The first entry whose name matches the last part of `fileName` (compared ignoring ASCII case; "*" and "?" match
// as the platform's do), in the order of the names. No match fails with INVALID_HANDLE_VALUE and
// ERROR_FILE_NOT_FOUND; a folder on the way that does not exist ERROR_PATH_NOT_FOUND. The search handle is
// closed with FindClose.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
// The next match; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE find);

// The file system keeps no short names: the short form of an existing path is the path itself. Returns its length
// without the zero, or, when `size` is too small, the size needed; 0 with ERROR_FILE_NOT_FOUND (or
// ERROR_PATH_NOT_FOUND) when the path names nothing.
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size);
