// Ending processes, the calling process's pseudo handle and handle duplication within it.
#include <signal.h>

#include "process_object.h"
#include "win/handleapi.h"

namespace kq {

bool ProcessObject::Terminate(DWORD code) {
  std::lock_guard lock(mutex_);
  if (ended_) return false;
  if (!terminated_) {
    terminated_ = true;
    terminateCode_ = code;
  }
  ::kill(pid_, SIGKILL);
  return true;
}

}  // namespace kq

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  auto object = kq::ObjectFromHandle<kq::ProcessObject>(process);
  if (!object) return FALSE;
  if (!object->Terminate(exitCode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD,
                     BOOL inheritHandle, DWORD options) {
  auto object = kq::LookupHandle(source);
  if (options & DUPLICATE_CLOSE_SOURCE) CloseHandle(source);
  if (sourceProcess != GetCurrentProcess() || targetProcess != GetCurrentProcess()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *target = kq::InsertHandle(std::move(object), inheritHandle != FALSE);
  return TRUE;
}
