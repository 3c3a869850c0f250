// The kernel object behind a thread handle: signalled when the thread has ended, with its exit code. Threads of
// CreateThread and the main threads of started processes share it, so GetExitCodeThread serves both.
#pragma once

#include <atomic>

#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace kq {

class ThreadObject : public WaitableObject {
 public:
  ThreadObject() : WaitableObject(Reset::Manual) {}

  void Finish(DWORD code) {
    exitCode.store(code);
    Signal();
  }

  std::atomic<DWORD> exitCode{STILL_ACTIVE};
};

}  // namespace kq
