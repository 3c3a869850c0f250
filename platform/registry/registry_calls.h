// Helpers that the wide and the narrow registry calls share: resolving a handle with the rights a call needs, and
// handing results to the caller by the platform's buffer rules.
#pragma once

#include <cstring>
#include <functional>
#include <vector>

#include "registry/key_handles.h"
#include "registry/registry_store.h"
#include "win/machine.h"
#include "win/registry.h"

namespace kq::registry_calls {

inline WStringView View(LPCWSTR s) { return s ? WStringView(s) : WStringView(); }

inline RegistryStore& Store(const OpenKey& key) { return key.machine->Service<RegistryStore>(); }

// The key behind a handle, when the handle grants every right in `needed`.
inline LSTATUS ResolveWith(HKEY handle, REGSAM needed, OpenKey* key) {
  if (LSTATUS r = KeyHandles::Process().Resolve(handle, key); r != ERROR_SUCCESS) return r;
  if ((key->access & needed) != needed) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

inline void WriteFileTime(PFILETIME out, std::int64_t ticks) {
  if (!out) return;
  const DWORD parts[2] = {static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
  std::memcpy(static_cast<void*>(out), parts, sizeof parts);
}

// No buffer asks for the size; a buffer that is too small gets nothing and ERROR_MORE_DATA with the size needed.
inline LSTATUS DeliverData(const std::vector<BYTE>& data, LPBYTE out, LPDWORD size) {
  if (!size) return ERROR_SUCCESS;
  const auto needed = static_cast<DWORD>(data.size());
  if (out) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(out, data.data(), needed);
  }
  *size = needed;
  return ERROR_SUCCESS;
}

// Keys have no class here: an empty one is reported.
template <class Char>
void DeliverEmptyClass(Char* keyClass, LPDWORD classChars) {
  if (!classChars) return;
  if (keyClass && *classChars > 0) keyClass[0] = 0;
  *classChars = 0;
}

// The bodies of the calls whose wide and narrow forms differ only in how names and data reach the caller. The
// wide calls pass these through unchanged; the narrow ones pass converters. `deliverName(name, out, chars)` copies
// a name and its zero into `out` of `*chars` characters and sets `*chars` to its length (ERROR_MORE_DATA when it
// does not fit); `shown(type, data)` is a value's data as the caller sees it.

inline std::vector<BYTE> AsStored(DWORD /*type*/, std::vector<BYTE> data) { return data; }

template <class Shown>
LSTATUS QueryValue(HKEY key, WStringView name, LPDWORD type, LPBYTE data, LPDWORD dataSize, Shown shown) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, KEY_QUERY_VALUE, &open); r != ERROR_SUCCESS) return r;
  StoredValue value;
  if (LSTATUS r = Store(open).GetValue(open.key, name, &value); r != ERROR_SUCCESS) return r;
  if (type) *type = value.type;
  return DeliverData(shown(value.type, std::move(value.data)), data, dataSize);
}

template <class Char, class DeliverName>
LSTATUS EnumKey(HKEY key, DWORD index, Char* name, LPDWORD nameChars, Char* keyClass, LPDWORD classChars,
                PFILETIME lastWriteTime, DeliverName deliverName) {
  if (!name || !nameChars) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, KEY_ENUMERATE_SUB_KEYS, &open); r != ERROR_SUCCESS) return r;
  SubKeyEntry entry;
  if (LSTATUS r = Store(open).SubKeyAt(open.key, index, &entry); r != ERROR_SUCCESS) return r;
  if (LSTATUS r = deliverName(entry.name, name, nameChars); r != ERROR_SUCCESS) return r;
  DeliverEmptyClass(keyClass, classChars);
  WriteFileTime(lastWriteTime, entry.written);
  return ERROR_SUCCESS;
}

template <class Char, class DeliverName, class Shown>
LSTATUS EnumValue(HKEY key, DWORD index, Char* name, LPDWORD nameChars, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize, DeliverName deliverName, Shown shown) {
  if (!name || !nameChars || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, KEY_QUERY_VALUE, &open); r != ERROR_SUCCESS) return r;
  StoredValue value;
  if (LSTATUS r = Store(open).ValueAt(open.key, index, &value); r != ERROR_SUCCESS) return r;
  if (LSTATUS r = deliverName(value.name, name, nameChars); r != ERROR_SUCCESS) return r;
  if (type) *type = value.type;
  return DeliverData(shown(value.type, std::move(value.data)), data, dataSize);
}

// Name lengths count what `measure` makes of each name (empty: code units). The stored UTF-16 size bounds the
// narrow size of string data, so the largest value's size is the same for both.
template <class Char>
LSTATUS QueryInfo(HKEY key, Char* keyClass, LPDWORD classChars, LPDWORD subKeys, LPDWORD maxSubKeyChars,
                  LPDWORD maxClassChars, LPDWORD values, LPDWORD maxValueNameChars, LPDWORD maxValueBytes,
                  LPDWORD securityDescriptorBytes, PFILETIME lastWriteTime,
                  const std::function<std::size_t(WStringView)>& measure = {}) {
  OpenKey open;
  if (LSTATUS r = ResolveWith(key, KEY_QUERY_VALUE, &open); r != ERROR_SUCCESS) return r;
  KeyInfo info;
  if (LSTATUS r = Store(open).QueryInfo(open.key, &info, measure); r != ERROR_SUCCESS) return r;
  DeliverEmptyClass(keyClass, classChars);
  if (subKeys) *subKeys = info.subKeys;
  if (maxSubKeyChars) *maxSubKeyChars = info.maxSubKeyLength;
  if (maxClassChars) *maxClassChars = 0;
  if (values) *values = info.values;
  if (maxValueNameChars) *maxValueNameChars = info.maxValueNameLength;
  if (maxValueBytes) *maxValueBytes = info.maxValueSize;
  if (securityDescriptorBytes) *securityDescriptorBytes = 0;
  WriteFileTime(lastWriteTime, info.written);
  return ERROR_SUCCESS;
}

}  // namespace kq::registry_calls
