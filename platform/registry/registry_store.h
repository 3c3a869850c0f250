// The registry's keys and values in the machine's database, addressed by key id. Key and value names are kept as
// written and compared ignoring ASCII case; value data is kept byte for byte with its type. Every call is one
// transaction. The Reg* functions (registry_api.cpp) sit on top of this, with the handles and access rights.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "registry/state_database.h"
#include "win/base.h"

namespace kq {

class Machine;

using KeyId = std::int64_t;

struct StoredValue {
  WString name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct KeyInfo {
  DWORD subKeys = 0;
  DWORD maxSubKeyLength = 0;  // code units, without the terminating zero
  DWORD values = 0;
  DWORD maxValueNameLength = 0;  // code units
  DWORD maxValueSize = 0;        // bytes
  std::int64_t written = 0;      // last write time, 100 ns units since 1601
};

struct SubKeyEntry {
  WString name;
  std::int64_t written = 0;
};

class RegistryStore {
 public:
  explicit RegistryStore(Machine& machine);

  // The fixed keys: the two hives and the classes key that HKEY_CLASSES_ROOT shows.
  static constexpr KeyId kLocalMachine = 1;
  static constexpr KeyId kCurrentUser = 2;
  static constexpr KeyId kClassesRoot = 4;  // HKEY_LOCAL_MACHINE\SOFTWARE\Classes

  // The key at `path` below `base` (an empty path is `base` itself). ERROR_FILE_NOT_FOUND when missing,
  // ERROR_KEY_DELETED when `base` is gone, ERROR_BAD_PATHNAME for a path that starts with a backslash.
  DWORD OpenKey(KeyId base, WStringView path, KeyId* key);
  // Opens or creates the key and every missing key on the way. `created` tells which happened.
  DWORD CreateKey(KeyId base, WStringView path, KeyId* key, bool* created);
  // Deletes a key without subkeys, with its values (ERROR_ACCESS_DENIED when it has subkeys or is fixed).
  DWORD DeleteKey(KeyId base, WStringView path);
  // Deletes the key at `path` with everything below it; an empty path deletes only the contents of `base`.
  DWORD DeleteTree(KeyId base, WStringView path);

  DWORD GetValue(KeyId key, WStringView name, StoredValue* value);
  DWORD SetValue(KeyId key, WStringView name, DWORD type, const BYTE* data, std::size_t size);
  DWORD DeleteValue(KeyId key, WStringView name);

  // Subkeys in the order of their names ignoring case; values in the order they were first written.
  DWORD SubKeyAt(KeyId key, DWORD index, SubKeyEntry* entry);
  DWORD ValueAt(KeyId key, DWORD index, StoredValue* value);
  // Name lengths are code units, or what `measure` makes of each name (the narrow calls count ANSI bytes).
  DWORD QueryInfo(KeyId key, KeyInfo* info, const std::function<std::size_t(WStringView)>& measure = {});
  // ERROR_SUCCESS while the key exists, ERROR_KEY_DELETED once it is gone.
  DWORD CheckKey(KeyId key);

 private:
  DWORD Resolve(KeyId base, WStringView path, bool create, KeyId* key, bool* created);
  bool Exists(KeyId key);
  void Touch(KeyId key);

  StateDatabase& db_;
};

}  // namespace kq
