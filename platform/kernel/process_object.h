// The kernel object behind a process handle; shared by the kernel room's process sources, not a public header.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>

#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace kq {

class ProcessObject : public WaitableObject {
 public:
  explicit ProcessObject(pid_t pid) : WaitableObject(Reset::Manual), pid_(pid) {}

  // The program has ended and is about to be reaped: from here on its id may not be signalled.
  void Ended() {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }

  // Its exit code: the status it ended with, or the code TerminateProcess gave.
  void Finish(DWORD status) {
    DWORD code = status;
    {
      std::lock_guard lock(mutex_);
      if (terminated_) code = terminateCode_;
    }
    exitCode.store(code);
    Signal();
  }

  // Kills the program unless it has ended; false when it had.
  bool Terminate(DWORD code);

  std::atomic<DWORD> exitCode{STILL_ACTIVE};

 private:
  const pid_t pid_;
  std::mutex mutex_;
  bool ended_ = false;
  bool terminated_ = false;
  DWORD terminateCode_ = 0;
};

}  // namespace kq
