// What the document writer hands to the progress thread: where to publish the dialog's window, and whether
// progress messages are sent at all (not for batch jobs); and the messages of the progress protocol.
#pragma once

#include "win/base.h"
#include "win/user.h"

struct ProgressThreadArgs {
  HWND* progressWindow = nullptr;
  DWORD interactive = 1;
};

// The dialog's status line (WM_SETTEXT, sent) and progress bar (PBM_SETPOS, posted, 1 to 100).
inline constexpr int IDC_PROGRESS_TEXT = 11003;
inline constexpr int IDC_PROGRESS_BAR = 11001;
// Sent to the dialog itself when the job is finished; the dialog then ends with its thread.
inline constexpr UINT WM_PROGRESS_DONE = WM_USER + 100;

// The progress dialog's thread (the driver room's): runs the dialog and publishes its window through `args`, a
// ProgressThreadArgs.
DWORD ProgressDialogThread(LPVOID args);
