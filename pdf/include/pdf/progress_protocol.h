// The progress protocol between the document writer and a progress dialog (the driver's own, or the add-in's in
// another process): the status text control, the progress bar and the message that ends the dialog.
#pragma once

#include <cstdint>

#include "win/base.h"
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
