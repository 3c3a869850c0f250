#include <cstring>

#include "dovecap/dovecap.h"
#include "win/registry.h"

namespace {

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

int ReadRegistryValue(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, DWORD expectedType, void* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::memset(buffer, 0, size);
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return 0;
  DWORD type = 0, needed = 0;
  LSTATUS status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &needed);
  const bool typeFits = IsString(expectedType) ? IsString(type) : type == expectedType;
  // A string must leave room for its terminating zero; a DWORD is exactly four bytes.
  const bool sizeFits = IsString(type) ? needed + sizeof(WCHAR) <= size : needed == sizeof(DWORD) && size >= needed;
  if (status == ERROR_SUCCESS && typeFits && sizeFits) {
    status = RegQueryValueExW(key, valueName, nullptr, &type, static_cast<BYTE*>(buffer), &needed);
  } else {
    status = ERROR_INVALID_DATA;
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    std::memset(buffer, 0, size);
    return 0;
  }
  if (IsString(type)) static_cast<WCHAR*>(buffer)[size / sizeof(WCHAR) - 1] = 0;
  return 1;
}

int WriteRegistryValue(HKEY root, LPCWSTR keyPath, LPCWSTR valueName, const void* data, DWORD type) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return 0;
  if (type == REG_DWORD) {
    RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), sizeof(DWORD));
  } else if (IsString(type)) {
    const auto* text = static_cast<const WCHAR*>(data);
    const DWORD bytes = static_cast<DWORD>((std::char_traits<char16_t>::length(text) + 1) * sizeof(WCHAR));
    RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE*>(data), bytes);
  }
  RegCloseKey(key);
  return 1;
}
