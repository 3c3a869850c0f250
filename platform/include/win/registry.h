// The registry: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE with keys and typed values, kept in the
// machine's database under its state root and shared by every process on that root. Calls answer Windows'
// return codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ERROR_ACCESS_DENIED, ...); they do not set
// the last error. Key and value names are compared ignoring ASCII case; value data is kept byte for byte as
// written (a REG_SZ written without its terminating zero is read back without it).
//
// HKEY_CLASSES_ROOT shows HKEY_LOCAL_MACHINE\SOFTWARE\Classes. The predefined keys act on the machine bound to
// the calling thread; an opened HKEY is a handle of this process that keeps to the machine it was opened on.
// Security attributes, key classes, volatility and the 32/64-bit views are accepted and not modelled.
#pragma once

#include "win/base.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;
using ACCESS_MASK = DWORD;

// Declared by the kernel's headers; the registry only passes them through or fills them as raw records
// (FILETIME: two DWORDs, low part first).
struct SECURITY_ATTRIBUTES;
struct FILETIME;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using PFILETIME = FILETIME*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));

// ---- Access rights ----
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
// The generic rights (GENERIC_READ, GENERIC_WRITE, GENERIC_ALL, MAXIMUM_ALLOWED) map to KEY_READ, KEY_WRITE and
// KEY_ALL_ACCESS.

// ---- Value types ----
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// ---- Creation options and dispositions ----
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// ---- Wide forms ----
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                        const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS RegCloseKey(HKEY key);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise), with its values.
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// Deletes a key with all its subkeys and values; a null or empty subkey deletes what lies below `key`.
LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey);
// Subkeys come in the order of their names ignoring case; values in the order they were first written.
LSTATUS RegEnumKeyW(HKEY key, DWORD index, LPWSTR name, DWORD nameChars);
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPWSTR keyClass,
                      LPDWORD classChars, PFILETIME lastWriteTime);
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize);
LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classChars, LPDWORD reserved, LPDWORD subKeys,
                         LPDWORD maxSubKeyChars, LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars,
                         LPDWORD maxValueBytes, LPDWORD securityDescriptorBytes, PFILETIME lastWriteTime);

// ---- Narrow forms: names and string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) in the ANSI code page ----
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM desired,
                        const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName);
LSTATUS RegDeleteKeyA(HKEY key, LPCSTR subKey);
LSTATUS RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameChars);
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars, LPDWORD reserved, LPSTR keyClass,
                      LPDWORD classChars, PFILETIME lastWriteTime);
LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LSTATUS RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classChars, LPDWORD reserved, LPDWORD subKeys,
                         LPDWORD maxSubKeyChars, LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars,
                         LPDWORD maxValueBytes, LPDWORD securityDescriptorBytes, PFILETIME lastWriteTime);
