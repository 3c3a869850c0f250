// Kernel object handles. A handle names one reference to a kernel object (file, thread, event, mapping,
// process) in the process's handle table; CloseHandle drops that reference and the object goes when its last
// reference does.
#pragma once

#include <memory>

#include "win/base.h"

BOOL CloseHandle(HANDLE handle);

namespace kq {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Enters an object into the handle table and returns its new handle (never null, never INVALID_HANDLE_VALUE).
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null (with ERROR_INVALID_HANDLE as the last error) when the handle is not open.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

// The object behind a handle if it is of kind T; null (ERROR_INVALID_HANDLE) otherwise.
template <class T>
std::shared_ptr<T> ObjectFromHandle(HANDLE handle) {
  auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

// Number of open handles in the process; for tests that check nothing is left behind.
std::size_t OpenHandleCount();

}  // namespace kq
