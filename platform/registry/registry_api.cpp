// The wide registry calls over the machine's registry store and the process's key handles.
#include <cstring>

#include "registry/key_handles.h"
#include "registry/registry_calls.h"
#include "registry/registry_store.h"
#include "win/machine.h"
#include "win/registry.h"

using kq::KeyHandles;
using kq::KeyId;
using kq::OpenKey;
using kq::RegistryStore;
using namespace kq::registry_calls;

namespace {

// Copies a name with its terminating zero into a buffer of `*chars` units; on success `*chars` is its length.
LSTATUS DeliverName(kq::WStringView name, LPWSTR out, LPDWORD chars) {
  if (*chars < name.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(out, name.data(), name.size() * sizeof(WCHAR));
  out[name.size()] = 0;
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey base;
  if (LSTATUS r = ResolveWith(key, 0, &base); r != ERROR_SUCCESS) return r;
  KeyId id = 0;
  if (LSTATUS r = Store(base).OpenKey(base.key, View(subKey), &id); r != ERROR_SUCCESS) return r;
  *result = KeyHandles::Process().Add(base.machine, id, kq::NormalizeKeyAccess(desired));
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/, DWORD /*options*/,
                        REGSAM desired, const LPSECURITY_ATTRIBUTES /*security*/, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey base;
  if (LSTATUS r = ResolveWith(key, 0, &base); r != ERROR_SUCCESS) return r;
  RegistryStore& store = Store(base);
  KeyId id = 0;
  bool created = false;
  LSTATUS r = store.OpenKey(base.key, View(subKey), &id);
  if (r == ERROR_FILE_NOT_FOUND) {
    if (!(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    r = store.CreateKey(base.key, View(subKey), &id, &created);
  }
  if (r != ERROR_SUCCESS) return r;
  *result = KeyHandles::Process().Add(base.machine, id, kq::NormalizeKeyAccess(desired));
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  return KeyHandles::Process().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
  return QueryValue(key, View(valueName), type, data, dataSize, AsStored);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD dataSize) {
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, KEY_SET_VALUE, &open); r != ERROR_SUCCESS) return r;
  return Store(open).SetValue(open.key, View(valueName), type, data, dataSize);
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, KEY_SET_VALUE, &open); r != ERROR_SUCCESS) return r;
  return Store(open).DeleteValue(open.key, View(valueName));
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, 0, &open); r != ERROR_SUCCESS) return r;
  return Store(open).DeleteKey(open.key, View(subKey));
}

LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
  OpenKey open;
  // Clearing the key itself changes its values, which takes the right to set them.
  const REGSAM needed = (subKey && *subKey) ? 0 : KEY_SET_VALUE;
  if (LSTATUS r = ResolveWith(key, needed, &open); r != ERROR_SUCCESS) return r;
  return Store(open).DeleteTree(open.key, View(subKey));
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD /*reserved*/, LPWSTR keyClass,
                      LPDWORD classChars, PFILETIME lastWriteTime) {
  return EnumKey(key, index, name, nameChars, keyClass, classChars, lastWriteTime, DeliverName);
}

LSTATUS RegEnumKeyW(HKEY key, DWORD index, LPWSTR name, DWORD nameChars) {
  return RegEnumKeyExW(key, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD /*reserved*/, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize) {
  return EnumValue(key, index, name, nameChars, type, data, dataSize, DeliverName, AsStored);
}

LSTATUS RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classChars, LPDWORD /*reserved*/, LPDWORD subKeys,
                         LPDWORD maxSubKeyChars, LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars,
                         LPDWORD maxValueBytes, LPDWORD securityDescriptorBytes, PFILETIME lastWriteTime) {
  return QueryInfo(key, keyClass, classChars, subKeys, maxSubKeyChars, maxClassChars, values, maxValueNameChars,
                   maxValueBytes, securityDescriptorBytes, lastWriteTime);
}
