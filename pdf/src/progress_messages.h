// The writer's side of the progress protocol: the status line and the bar are told only through a known window
// whose controls exist (a post to a missing control would land in the caller's own queue).
#pragma once

#include <atomic>

#include "pdf/progress_args.h"
#include "win/commctrl.h"
#include "win/user.h"

namespace pdf_progress {

// The window the progress thread has published, read as the other thread wrote it.
inline HWND PublishedWindow(HWND& slot) { return std::atomic_ref<HWND>(slot).load(); }

inline void SendText(HWND window, LPCWSTR text) {
  if (HWND control = GetDlgItem(window, IDC_PROGRESS_TEXT))
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

inline void PostPosition(HWND window, int position) {
  if (HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR))
    PostMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace pdf_progress
