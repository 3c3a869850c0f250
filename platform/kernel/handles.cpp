#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "win/handleapi.h"

namespace kq {

namespace {

// The process's handle table, as the platform keeps one per process. Handle values are multiples of four, as
// the platform's are, and are not reused while the process runs.
class HandleTable {
 public:
  HANDLE Insert(std::shared_ptr<KernelObject> object, bool inheritable = false) {
    std::lock_guard lock(mutex_);
    next_ += 4;
    const auto handle = reinterpret_cast<HANDLE>(next_);
    objects_.emplace(handle, std::move(object));
    if (inheritable) inheritable_.insert(handle);
    return handle;
  }

  bool IsInheritable(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return inheritable_.count(handle) != 0;
  }

  std::shared_ptr<KernelObject> Lookup(HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second;
  }

  std::shared_ptr<KernelObject> Remove(HANDLE handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return nullptr;
    auto object = std::move(it->second);
    objects_.erase(it);
    inheritable_.erase(handle);
    return object;
  }

  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return objects_.size();
  }

 private:
  std::mutex mutex_;
  std::uintptr_t next_ = 0;
  std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects_;
  std::unordered_set<HANDLE> inheritable_;  // handles a started program may receive
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) { return Table().Insert(std::move(object)); }

HANDLE InsertHandle(std::shared_ptr<KernelObject> object, bool inheritable) {
  return Table().Insert(std::move(object), inheritable);
}

bool IsInheritableHandle(HANDLE handle) { return Table().IsInheritable(handle); }

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  auto object = Table().Lookup(handle);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

std::size_t OpenHandleCount() { return Table().Count(); }

}  // namespace kq

BOOL CloseHandle(HANDLE handle) {
  // The object's destructor runs outside the table's lock: closing a file or joining a thread may take time.
  auto object = kq::Table().Remove(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
