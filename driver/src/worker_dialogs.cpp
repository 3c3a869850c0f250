#include "telodrv/worker_dialogs.h"

#include "telodrv/driver_texts.h"
#include "win/handleapi.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

// Runs `call` on a new thread and waits for it; on the calling thread when no thread can be started.
template <class Call>
void RunOnWorkerThread(Call& call) {
  const HANDLE thread = CreateThread(
      nullptr, 0, [](LPVOID parameter) -> DWORD {
        (*static_cast<Call*>(parameter))();
        return 0;
      },
      &call, 0, nullptr);
  if (!thread) {
    call();
    return;
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

}  // namespace

int MessageBoxOnWorkerThreadW(HWND owner, LPCWSTR text, LPCWSTR, UINT type) {
  int answer = 0;
  auto call = [&] { answer = MessageBoxW(owner, text, kDriverCaption, type); };
  RunOnWorkerThread(call);
  return answer;
}

int MessageBoxOnWorkerThreadA(HWND owner, LPCSTR text, LPCSTR, UINT type) {
  int answer = 0;
  auto call = [&] { answer = MessageBoxA(owner, text, kDriverCaptionA, type); };
  RunOnWorkerThread(call);
  return answer;
}

UINT_PTR SaveAsHookProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    const HWND frame = GetParent(dialog);
    ShowWindow(frame, SW_MINIMIZE);
    ShowWindow(frame, SW_RESTORE);
    SetWindowPos(frame, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  return 0;
}

int SaveAsOnWorkerThread(OPENFILENAMEW* openFileName) {
  int result = FALSE;
  auto call = [&] {
    openFileName->hwndOwner = nullptr;
    openFileName->Flags |= OFN_EXPLORER | OFN_ENABLEHOOK;
    openFileName->lpfnHook = SaveAsHookProc;
    result = GetSaveFileNameW(openFileName);
  };
  RunOnWorkerThread(call);
  return result;
}

void CopyWideBounded(WCHAR* dst, const WCHAR* src, std::size_t count) {
  if (count == 0) return;
  std::size_t n = 0;
  if (src) {
    while (n < count - 1 && src[n]) {
      dst[n] = src[n];
      ++n;
    }
  }
  dst[n] = 0;
  dst[count - 1] = 0;
}
