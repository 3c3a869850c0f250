// The driver's own progress window, IDD_PROGRESS: a small modeless dialog with a status line, a bar and "Hide", run
// by a thread of its own for the whole document. It obeys the progress protocol of pdf/progress_protocol.h. The
// document writer starts the thread (CPDF_DocWriter::StartProgressThread) and ends it.
#pragma once

#include "pdf/progress_protocol.h"
#include "win/base.h"
#include "win/dialog_templates.h"
#include "win/user.h"

// Dialog resource 11001 of the driver module.
inline constexpr WORD IDD_PROGRESS = 11001;
inline constexpr WCHAR kProgressTemplateCaption[] = u"Kelvo PDF Zedarod - converting status";

// The driver module's instance handle: the load address of the module that holds the driver's code (the driver's
// shared library, or the program it is linked into). Its dialog templates are registered under it when the module
// is loaded.
HINSTANCE DriverModule();
// The template of IDD_PROGRESS, as the module registers it.
const kq::DialogTemplate& ProgressDialogTemplate();

// The thread procedure. `parameter` is a heap-allocated std::shared_ptr<ProgressThreadArgs> that the thread takes
// over. For a job that is not interactive it publishes no window; otherwise it creates IDD_PROGRESS, shows it,
// publishes it in the args' slot and runs the dialog's message loop until the dialog ends (or GetMessageW fails).
// The args' `ready` event is set in every case once the window exists or will not.
DWORD ProgressDialogThread(LPVOID parameter);
// The dialog procedure: centres the dialog and names it kDriverCaption on WM_INITDIALOG, sets the bar's range to
// 0..100, and ends the dialog and its thread's loop on IDCANCEL, "Hide" and WM_PROGRESS_DONE. Returns 0.
INT_PTR ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
