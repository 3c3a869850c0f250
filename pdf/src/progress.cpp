// The writer's side of the progress protocol: finding the window, sending the page texts and positions, and ending
// our dialog's thread. The thread itself and its dialog are the driver's.
#include "pdf/doc_writer.h"
#include "pdf/progress_protocol.h"
#include "win/commctrl.h"
#include "win/handleapi.h"
#include "win/synchapi.h"

ProgressThreadArgs::~ProgressThreadArgs() {
  if (ready) CloseHandle(ready);
}

namespace {

// Waits until the thread has signalled or ended, at most `bound` milliseconds.
void WaitForSignalOrEnd(HANDLE ready, HANDLE thread, DWORD bound) {
  if (ready) {
    const HANDLE objects[] = {ready, thread};
    WaitForMultipleObjects(2, objects, FALSE, bound);
  } else {
    WaitForSingleObject(thread, bound);
  }
}

}  // namespace

HWND CPDF_DocWriter::ProgressWindow() {
  if (!progressWindow && progressThread) {
    if (!progressWaited) {
      WaitForSignalOrEnd(progressArgs->ready, progressThread, kProgressReadyWaitMs);
      progressWaited = true;
    }
    progressWindow = progressArgs->progressWindow.load();
  }
  return progressWindow;
}

void CPDF_DocWriter::SendProgress(LPCWSTR text, int position) {
  const HWND dialog = ProgressWindow();
  if (!dialog || !progressArgs->interactive) return;
  SendProgressReport(dialog, text, position);
}

void CPDF_DocWriter::FinishProgress() {
  SendProgress(u"Finish...", 100);
  SendProgressDone();
}

void CPDF_DocWriter::SendProgressDone() {
  const HWND dialog = ProgressWindow();
  if (!dialog) return;
  SendMessageW(dialog, WM_PROGRESS_DONE, 0, 0);
  // Our own dialog has had its end; the thread's join need not send it again.
  HWND published = dialog;
  progressArgs->progressWindow.compare_exchange_strong(published, nullptr);
}

void CPDF_DocWriter::EndProgressThread() {
  if (!progressThread) return;
  WaitForSignalOrEnd(progressArgs->ready, progressThread, progressWaited ? 0 : kProgressReadyWaitMs);
  if (const HWND dialog = progressArgs->progressWindow.exchange(nullptr)) {
    // Our dialog ends itself on the message; one that is gone already (Hide, or the document's end) takes nothing.
    SendMessageW(dialog, WM_PROGRESS_DONE, 0, 0);
    if (progressWindow == dialog) progressWindow = nullptr;
  }
  if (WaitForSingleObject(progressThread, kProgressJoinMs) == WAIT_OBJECT_0) {
    // The signal is made again for the next job's thread.
    CloseHandle(progressArgs->ready);
    progressArgs->ready = nullptr;
  } else {
    // A thread that did not end in time keeps the block it holds; the writer goes on with a fresh one.
    auto fresh = std::make_shared<ProgressThreadArgs>();
    fresh->interactive = progressArgs->interactive.load();
    progressArgs = std::move(fresh);
  }
  CloseHandle(progressThread);
  progressThread = nullptr;
  progressWaited = false;
}
