#include "registry/key_handles.h"

#include "win/machine.h"

namespace kq {

namespace {
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
}  // namespace

KeyHandles& KeyHandles::Process() {
  static KeyHandles handles;
  return handles;
}

HKEY KeyHandles::Add(const std::shared_ptr<Machine>& machine, KeyId key, REGSAM access) {
  std::lock_guard lock(mutex_);
  const ULONG_PTR value = next_;
  next_ += 4;
  open_.emplace(value, Entry{machine, key, access});
  return reinterpret_cast<HKEY>(value);
}

bool KeyHandles::Remove(HKEY handle) {
  std::lock_guard lock(mutex_);
  return open_.erase(reinterpret_cast<ULONG_PTR>(handle)) > 0;
}

LSTATUS KeyHandles::Resolve(HKEY handle, OpenKey* key) {
  if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_USER || handle == HKEY_CLASSES_ROOT) {
    key->machine = CurrentMachineShared();
    key->key = handle == HKEY_LOCAL_MACHINE  ? RegistryStore::kLocalMachine
               : handle == HKEY_CURRENT_USER ? RegistryStore::kCurrentUser
                                             : RegistryStore::kClassesRoot;
    key->access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  std::lock_guard lock(mutex_);
  auto it = open_.find(reinterpret_cast<ULONG_PTR>(handle));
  if (it == open_.end()) return ERROR_INVALID_HANDLE;
  key->machine = it->second.machine.lock();
  if (!key->machine) return ERROR_INVALID_HANDLE;
  key->key = it->second.key;
  key->access = it->second.access;
  return ERROR_SUCCESS;
}

REGSAM NormalizeKeyAccess(REGSAM desired) {
  REGSAM access = desired & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (access & (kGenericAll | kMaximumAllowed)) access |= KEY_ALL_ACCESS;
  if (access & kGenericRead) access |= KEY_READ;
  if (access & kGenericWrite) access |= KEY_WRITE;
  if (access & kGenericExecute) access |= KEY_EXECUTE;
  return access;
}

}  // namespace kq
