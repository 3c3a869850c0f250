// The start of our progress dialog's thread, in a file of its own: only the document start needs the driver's thread
// procedure.
#include <memory>

#include "pdf/doc_writer.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

bool CPDF_DocWriter::StartProgressThread() {
  EndProgressThread();
  if (!progressArgs->ready) progressArgs->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!progressArgs->ready) return false;
  ResetEvent(progressArgs->ready);
  progressArgs->progressWindow = nullptr;
  progressWindow = nullptr;
  progressWaited = false;
  auto* held = new std::shared_ptr<ProgressThreadArgs>(progressArgs);
  progressThread = CreateThread(nullptr, 0, ProgressDialogThread, held, 0, nullptr);
  if (!progressThread) {
    delete held;
    return false;
  }
  return true;
}
