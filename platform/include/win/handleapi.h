// Kernel object handles. A handle names one reference to a kernel object (file, thread, event, mapping,
// process) in the process's handle table; CloseHandle drops that reference and the object goes when its last
// reference does.
#pragma once

#include <memory>

#include "win/base.h"

BOOL CloseHandle(HANDLE handle);

inline constexpr DWORD DUPLICATE_CLOSE_SOURCE = 0x1;
inline constexpr DWORD DUPLICATE_SAME_ACCESS = 0x2;

// Within the calling process only (both process handles GetCurrentProcess()); the new handle names the same
// object and is inheritable as asked. Access rights are those of the source (DUPLICATE_SAME_ACCESS is implied).
// Another process ERROR_NOT_SUPPORTED; a source that is not open ERROR_INVALID_HANDLE; a null target
// ERROR_INVALID_PARAMETER. DUPLICATE_CLOSE_SOURCE closes the source, also when the call fails.
BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD access,
                     BOOL inheritHandle, DWORD options);

namespace kq {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Enters an object into the handle table and returns its new handle (never null, never INVALID_HANDLE_VALUE).
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The same, with the handle marked inheritable: CreateProcessW hands such handles to the program it starts.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object, bool inheritable);
bool IsInheritableHandle(HANDLE handle);

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
