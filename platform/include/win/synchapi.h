// Synchronisation: events, waits on kernel objects, Sleep. Threads and events are waitable kernel objects;
// other rooms derive their own waitable objects (processes, for instance) from kq::WaitableObject.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "win/base.h"
#include "win/handleapi.h"

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Unnamed events only: a name fails with ERROR_NOT_SUPPORTED.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0 (+ index), WAIT_TIMEOUT, or WAIT_FAILED with the reason as the last error: ERROR_INVALID_HANDLE
// for a handle that is not open or not waitable, ERROR_INVALID_PARAMETER for a count of 0, more than
// MAXIMUM_WAIT_OBJECTS, or the same object twice. A wait for all takes every object in one step.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

void Sleep(DWORD milliseconds);

namespace kq {

namespace detail {
struct WaitBlock;
}

// A kernel object with a signalled state. A satisfied wait clears an automatic-reset object's state; a manual
// one stays signalled until Unsignal.
class WaitableObject : public KernelObject {
 public:
  enum class Reset { Manual, Automatic };
  explicit WaitableObject(Reset reset, bool signalled = false) : reset_(reset), signalled_(signalled) {}

  void Signal();
  void Unsignal();
  bool IsSignalled() const;

 private:
  friend DWORD WaitForObjects(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool all,
                              DWORD milliseconds);
  const Reset reset_;
  mutable std::mutex mutex_;
  bool signalled_;
  std::vector<detail::WaitBlock*> waiters_;
};

// The wait behind WaitForSingleObject and WaitForMultipleObjects, for objects already looked up.
DWORD WaitForObjects(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool all, DWORD milliseconds);

}  // namespace kq
