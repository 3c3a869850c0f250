// The process's table of open registry keys. An HKEY is a number from this table; the entry remembers the
// machine the key was opened on, the key and the access granted. Numbers are never reused, so a closed handle
// stays invalid.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "registry/registry_store.h"
#include "win/registry.h"

namespace kq {

class Machine;

struct OpenKey {
  std::shared_ptr<Machine> machine;
  KeyId key = 0;
  REGSAM access = 0;
};

class KeyHandles {
 public:
  static KeyHandles& Process();

  HKEY Add(const std::shared_ptr<Machine>& machine, KeyId key, REGSAM access);
  bool Remove(HKEY handle);
  // Resolves a predefined key (on the calling thread's machine) or an open handle. ERROR_INVALID_HANDLE when the
  // handle is unknown or its machine is gone.
  LSTATUS Resolve(HKEY handle, OpenKey* key);

 private:
  struct Entry {
    std::weak_ptr<Machine> machine;
    KeyId key;
    REGSAM access;
  };
  std::mutex mutex_;
  std::unordered_map<ULONG_PTR, Entry> open_;
  ULONG_PTR next_ = 0x10000;
};

// The granted rights for a requested access mask: generic rights mapped, view flags dropped.
REGSAM NormalizeKeyAccess(REGSAM desired);

}  // namespace kq
