// The driver's message boxes and its Save As dialog. The driver runs inside a program's or the spooler's printing
// thread, so each of them runs on a thread of its own while the calling thread waits for it without a time limit.
#pragma once

#include "win/base.h"
#include "win/commdlg.h"
#include "win/user.h"

// MessageBoxW on a new thread; the answer. The caption argument is not used: the box always bears
// kDriverCaption ("Kelvo Quenzar Zedarod"). When no thread can be started the box is shown on the calling thread.
int MessageBoxOnWorkerThreadW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// MessageBoxA the same way; the box always bears kDriverCaptionA ("Kelvo Quenzar Printer").
int MessageBoxOnWorkerThreadA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// GetSaveFileNameW on a new thread, with no owner window, OFN_EXPLORER and OFN_ENABLEHOOK added to the flags and
// SaveAsHookProc as the hook; its result. When no thread can be started the dialog is shown on the calling thread.
int SaveAsOnWorkerThread(OPENFILENAMEW* openFileName);
// Brings the dialog to the front on WM_INITDIALOG: its frame (the hook dialog's parent) is minimised, restored and
// made topmost. Returns 0 for every message.
UINT_PTR SaveAsHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Copies at most count - 1 characters of `src` and ends `dst` with a zero, at index count - 1 at the latest. A count
// of 0 writes nothing.
void CopyWideBounded(WCHAR* dst, const WCHAR* src, std::size_t count);
