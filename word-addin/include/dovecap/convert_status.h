// The add-in's progress dialog, IDD_CONVERT_STATUS: a small modeless window with a status line, a bar and "Hide",
// run on a thread of its own for one conversion. It obeys the driver's progress protocol
// (pdf/progress_protocol.h): WM_SETTEXT to the status line, PBM_SETPOS to the bar, and kConvertStatusDone to end it. The driver finds it from another process by the
// dialog class and kConvertStatusCaption, which it bears while it runs.
//
// Use: StartConvertStatus starts the thread; WaitForConvertStatus gives the dialog once it is published (a bounded
// wait); ReportConvertStatus sends the collection's progress; EndConvertStatus ends the dialog when the print-out
// has returned. The window's handle is one process-wide value that every report reads afresh.
#pragma once

#include <atomic>

#include "handover/handover_block.h"
#include "pdf/progress_protocol.h"
#include "win/base.h"
#include "win/dialog_templates.h"
#include "win/user.h"

// Dialog resource 201 of the add-in's module, and its controls.
inline constexpr WORD IDD_CONVERT_STATUS = 201;
inline constexpr int IDC_CONVERT_TEXT = IDC_PROGRESS_TEXT;
inline constexpr int IDC_CONVERT_BAR = IDC_PROGRESS_BAR;
inline constexpr int IDC_CONVERT_HIDE = 202;
// The message that ends the dialog.
inline constexpr UINT kConvertStatusDone = WM_PROGRESS_DONE;

inline constexpr WCHAR kConvertStatusTemplateCaption[] = u"Kelvo PDF Zedarod - converting status.";
// The caption the running dialog bears, which no other window of the suite bears: the driver searches exactly this.
inline constexpr const WCHAR* kConvertStatusCaption = handover::kStatusCaption;
inline constexpr const WCHAR* kConvertStatusInitialText = kProgressInitialText;

// The handle a failed creation leaves: it names no window.
inline const HWND kConvertStatusFailed = reinterpret_cast<HWND>(-1);

// The add-in module's instance handle: the load address of the module holding the add-in's code. Its dialog
// template is registered under it while the module is loaded.
HINSTANCE DovecapModule();
// The template of IDD_CONVERT_STATUS, as the module registers it.
const kq::DialogTemplate& ConvertStatusTemplate();

// The process-wide handle: null while there is no dialog, the dialog while it runs, kConvertStatusFailed when its
// creation failed.
std::atomic<HWND>& ConvertStatusWindow();
// The dialog to report to, read afresh: null when there is none or its creation failed.
HWND CurrentConvertStatus();

// The thread procedure (its argument is not read): creates the dialog without owner, publishes and shows it, and
// runs the thread's message loop until the dialog ends; then clears the handle if it still names this dialog. A
// failed creation publishes kConvertStatusFailed.
DWORD ConvertStatusThread(LPVOID addin);
// Centres the dialog, sets the bar's range to 0..100 and the caption to kConvertStatusCaption on WM_INITDIALOG; ends
// the dialog and its loop on IDCANCEL (Escape, the close box), "Hide" and kConvertStatusDone. Answers 0.
INT_PTR ConvertStatusDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Clears the handle and starts the dialog's thread; the thread's handle, or null when it could not be started.
HANDLE StartConvertStatus();
// The dialog once its thread has published it, re-reading the handle for at most `milliseconds`; null when it is
// not published by then or its creation failed.
HWND WaitForConvertStatus(DWORD milliseconds);
// A report of the conversion: the text (when given) is sent to the status line; a position from 1 to 100 is posted
// to the bar, any other leaves it. Nothing without a dialog.
void ReportConvertStatus(LPCWSTR text, int position);
// Sends kConvertStatusDone to the dialog (when there is one) and clears the handle.
void EndConvertStatus();
