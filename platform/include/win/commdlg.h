// The Save As common dialog. The dialog is shown to the simulated person (win/simulated_user.h), who answers with
// a name, cancels, or makes the dialog fail with an extended error; with OFN_ENABLEHOOK the hook gets
// WM_INITDIALOG (lParam: the OPENFILENAMEW) on a child dialog whose parent is the dialog's frame window.
#pragma once

#include "win/base.h"

using LPOFNHOOKPROC = UINT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPWSTR lpstrFile;
  DWORD nMaxFile;
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCWSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;

static_assert(sizeof(OPENFILENAMEW) == 152);
// The record without its last three fields, as older callers pass it.
inline constexpr DWORD OPENFILENAME_SIZE_VERSION_400W = 136;

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
inline constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_EXPLORER = 0x00080000;
inline constexpr DWORD OFN_ENABLESIZING = 0x00800000;

// Extended errors.
inline constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;
inline constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
inline constexpr DWORD CDERR_INITIALIZATION = 0x0002;
inline constexpr DWORD CDERR_NOHOOK = 0x000B;
inline constexpr DWORD FNERR_SUBCLASSFAILURE = 0x3001;
inline constexpr DWORD FNERR_INVALIDFILENAME = 0x3002;
inline constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// TRUE with the chosen path in lpstrFile (nFileOffset, nFileExtension and lpstrFileTitle set); FALSE when the
// person cancelled (CommDlgExtendedError 0) or the dialog failed (the extended error says why, and lpstrFile is
// left as it was, except that FNERR_BUFFERTOOSMALL puts the needed size in its first character). A name without
// a folder is taken in lpstrInitialDir; a name without an extension gets lpstrDefExt. With OFN_OVERWRITEPROMPT an
// existing file is taken only after a Yes to "Confirm Save As" (default No); after a No the person answers the
// dialog again, or cancels it when the script has nothing more.
BOOL GetSaveFileNameW(LPOPENFILENAMEW dialog);
// The extended error of the machine's last common dialog, whichever thread showed it.
DWORD CommDlgExtendedError();
