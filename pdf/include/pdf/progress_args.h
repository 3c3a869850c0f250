// What the document writer shares with its progress dialog's thread: the slot in which the thread publishes its
// dialog, whether progress is shown at all, and the signal that the dialog exists (or will not). The writer and the
// thread each hold a reference, so a thread that outlives the writer's bounded wait for it reaches nothing that is
// gone. The messages of the progress protocol are in pdf/progress_protocol.h.
#pragma once

#include <atomic>

#include "pdf/progress_protocol.h"
#include "win/base.h"

struct ProgressThreadArgs {
  ProgressThreadArgs() = default;
  // Closes `ready`.
  ~ProgressThreadArgs();
  ProgressThreadArgs(const ProgressThreadArgs&) = delete;
  ProgressThreadArgs& operator=(const ProgressThreadArgs&) = delete;

  // The dialog, published once by the thread; null for a job without a window.
  std::atomic<HWND> progressWindow{nullptr};
  // 1 unless batch naming is on: progress messages are sent only then.
  std::atomic<DWORD> interactive{1};
  // A manual-reset event, made when the first thread starts: set by the thread once its dialog exists, or once it
  // knows there will be none.
  HANDLE ready = nullptr;
};

// The progress dialog's thread (the driver room's, telodrv/progress_dialog.h). `args` is a heap-allocated
// std::shared_ptr<ProgressThreadArgs> that the thread takes over and deletes; it publishes its dialog in the args'
// slot and sets their `ready` event in every case.
DWORD ProgressDialogThread(LPVOID args);
