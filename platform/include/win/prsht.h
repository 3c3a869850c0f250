// Property sheets: pages described by PROPSHEETPAGEW (a dialog template of a module and its procedure), a sheet
// that creates each page the first time it is shown, and the notifications pages receive. The common printer
// property-sheet host (CommonPropertySheetUIW) gathers pages from contributors (win/winddiui.h) and shows them in
// one sheet. Nothing is drawn: the simulated person visits pages and acts on their controls as its script says
// (win/sheet_person.h); a sheet nobody acts on is closed with its default button, OK.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/user.h"
#include "win/winddiui.h"

struct PROPSHEETPAGEW;
struct HPROPSHEETPAGE__;
using HPROPSHEETPAGE = HPROPSHEETPAGE__*;
using LPFNPSPCALLBACKW = UINT (*)(HWND window, UINT message, PROPSHEETPAGEW* page);

struct PROPSHEETPAGEW {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  LPCWSTR pszTemplate;
  HICON hIcon;
  LPCWSTR pszTitle;
  DLGPROC pfnDlgProc;
  LPARAM lParam;
  LPFNPSPCALLBACKW pfnCallback;
  UINT* pcRefParent;
  LPCWSTR pszHeaderTitle;
  LPCWSTR pszHeaderSubTitle;
  HANDLE hActCtx;
};
using LPPROPSHEETPAGEW = PROPSHEETPAGEW*;
using LPCPROPSHEETPAGEW = const PROPSHEETPAGEW*;
static_assert(sizeof(PROPSHEETPAGEW) == 96);
static_assert(offsetof(PROPSHEETPAGEW, pszTemplate) == 16);
static_assert(offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40);
static_assert(offsetof(PROPSHEETPAGEW, lParam) == 48);

inline constexpr DWORD PSP_DEFAULT = 0x0000;
inline constexpr DWORD PSP_USETITLE = 0x0008;

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
using LPNMHDR = NMHDR*;
static_assert(sizeof(NMHDR) == 24);

struct PSHNOTIFY {
  NMHDR hdr;
  LPARAM lParam;
};
using LPPSHNOTIFY = PSHNOTIFY*;

// Notifications a page receives in WM_NOTIFY; its answer goes in DWLP_MSGRESULT.
inline constexpr UINT PSN_FIRST = static_cast<UINT>(-200);
inline constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
inline constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
inline constexpr UINT PSN_APPLY = PSN_FIRST - 2;
inline constexpr UINT PSN_RESET = PSN_FIRST - 3;
inline constexpr LONG_PTR PSNRET_NOERROR = 0;
inline constexpr LONG_PTR PSNRET_INVALID = 1;

// Messages a page sends to its sheet (the page's parent).
inline constexpr UINT PSM_CHANGED = WM_USER + 104;
inline constexpr UINT PSM_UNCHANGED = WM_USER + 109;

// A page handle from a description; the description is copied (the page's WM_INITDIALOG gets the copy).
HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page);
// Only pages never handed to a sheet; a sheet destroys its pages.
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);

// The common host: calls `contributor` with PROPSHEETUI_REASON_INIT (lParamInit = `lParam`), shows a sheet of the
// pages it added, with the caption `caption`, and ends with PROPSHEETUI_REASON_DESTROY. The answer is CPSUI_OK when
// the person closed the sheet with OK, CPSUI_CANCEL when with Cancel, ERR_CPSUI_GETLASTERROR when the sheet could
// not be made (a contributor that refused INIT, no pages, a page whose template is missing). `*result` gets the
// last value a page handed to CPSFUNC_SET_RESULT (0 when none).
LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI contributor, LPARAM lParam, LPDWORD result,
                            LPCWSTR caption);
