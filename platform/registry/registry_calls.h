// Helpers that the wide and the narrow registry calls share: resolving a handle with the rights a call needs, and
// handing results to the caller by the platform's buffer rules.
#pragma once

#include <cstring>
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

}  // namespace kq::registry_calls
