// The progress protocol between the document writer and a progress dialog (the driver's own, or the add-in's in
// another process): the status line, the bar and the message that ends the dialog, the positions the writer sends,
// and what both dialogs do alike. The one definition; a header-only codec that the driver and the add-in both
// compile, over the platform's window calls.
#pragma once

#include <cstdint>

#include "win/base.h"
#include "win/commctrl.h"
#include "win/user.h"

// Status line (static control), set with WM_SETTEXT, sent.
inline constexpr int IDC_PROGRESS_TEXT = 11003;
// Progress bar, range 0..100 set by the dialog itself; PBM_SETPOS is posted with the position in wParam.
inline constexpr int IDC_PROGRESS_BAR = 11001;
// The driver's dialog's "Hide" button.
inline constexpr int IDC_PROGRESS_HIDE = 11005;
// Sent to the dialog window itself: the job is finished; the dialog ends itself and its thread.
inline constexpr UINT WM_PROGRESS_DONE = WM_USER + 100;
static_assert(WM_PROGRESS_DONE == 1124);
// What the status line of either dialog says before the first report.
inline constexpr WCHAR kProgressInitialText[] = u"Converting...";

// The bar's position when a page starts after `pagesEnded` pages: the driver's own job cycles in steps of 5 through
// 0..105 (only 1..100 is ever sent); an add-in job runs from 70 to 100 over the announced pages (a count below 1
// counts as 1).
constexpr int ProgressPosition(std::int32_t pagesEnded, bool addinJob, std::int32_t totalPages) {
  const std::int64_t ended = pagesEnded;
  if (addinJob) return static_cast<int>(ended * 30 / (totalPages < 1 ? 1 : totalPages) + 70);
  return static_cast<int>(ended * 5 % 110);
}

// Whether a position is sent to the bar at all.
constexpr bool IsShownProgressPosition(int position) { return position >= 1 && position <= 100; }

// ---- The sender's side ----

// One report to a dialog: the text, when given, is sent to the status line; a shown position is posted to the bar.
// A control of a dialog that is gone is null, and a post to null would land in the sender's own queue, so nothing
// goes to a control that is not there.
inline void SendProgressReport(HWND dialog, LPCWSTR text, int position) {
  if (text) {
    if (const HWND label = GetDlgItem(dialog, IDC_PROGRESS_TEXT))
      SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  if (!IsShownProgressPosition(position)) return;
  if (const HWND bar = GetDlgItem(dialog, IDC_PROGRESS_BAR))
    PostMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// ---- The dialogs' side, the same for the driver's dialog and the add-in's ----

// A progress dialog's procedure: on WM_INITDIALOG it centres the dialog on the screen, sets the bar's range to
// 0..100 and its caption to `caption`; IDCANCEL (Escape, the close box), the `hideControl` button and
// WM_PROGRESS_DONE end the dialog and its thread's message loop. Answers 0.
inline INT_PTR ProgressDialogMessage(HWND dialog, UINT message, WPARAM wParam, int hideControl, LPCWSTR caption) {
  const auto end = [dialog] {
    EndDialog(dialog, 0);
    PostQuitMessage(0);
  };
  switch (message) {
    case WM_INITDIALOG: {
      RECT frame{};
      GetWindowRect(dialog, &frame);
      const int width = frame.right - frame.left, height = frame.bottom - frame.top;
      SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SetWindowTextW(dialog, caption);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == hideControl) end();
      return 0;
    case WM_PROGRESS_DONE:
      end();
      return 0;
    default:
      return 0;
  }
}

// The message loop of a progress dialog's thread, until the dialog ends. A failed GetMessageW (-1) ends it too:
// the platform's failures last, and going on would spin.
inline void RunProgressDialogLoop(HWND dialog) {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
