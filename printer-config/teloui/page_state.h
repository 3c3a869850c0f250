// What the document property pages share: one PageState per sheet, the control ids and the helpers every page
// uses.
#pragma once

#include "printer_settings/driver_devmode.h"
#include "win/base.h"
#include "win/prsht.h"
#include "win/user.h"
#include "win/winddiui.h"

struct PageState {
  HANDLE sheet;                            // the host's handle, first argument of every host call
  PDOCUMENTPROPERTYHEADER header;          // the caller's request
  DriverDevMode working;                   // the defaults merged with the caller's record; the pages track it
  PFNCOMPROPSHEET hostFunction;
  DWORD readOnly;                          // 1 when there is no output record to write
  HANDLE printer;                          // opened with full access, or null when that was refused
  DWORD saveAsDefault;                     // from the General page's check box on Apply
  HWND fontsPage, generalPage;
};

// The caller's output record, when there is one of the record's size; null otherwise (the pages are read only).
DriverDevMode* OutputRecord(const PageState& state);

// The page's state for a message: WM_INITDIALOG keeps it (in DWLP_USER, from the page description's lParam) and
// starts the page with it; later messages find it. Null before WM_INITDIALOG.
PageState* PageMessage(HWND page, UINT message, LPARAM lParam, void (*start)(HWND page, PageState& state));
// The notification is PSN_APPLY.
bool IsApply(LPARAM notification);

// Page procedures.
INT_PTR GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR LayoutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR FontPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Sets a page's answer to a notification.
INT_PTR Answer(HWND page, LONG_PTR result);

// The message the General page sends the Fonts page when PDF/A is checked.
inline constexpr UINT kPdfaChecked = WM_USER + 1001;

namespace ids {
// General page.
inline constexpr int kFolder = 1005, kBrowse = 1019, kOverwrite = 1006, kUseDefFileName = 1007, kOpenFile = 1008,
                     kImageCompress = 1058, kMergeImages = 1060, kPdfa = 1061, kResolution = 1034,
                     kTransparent = 1064, kSaveAsDefault = 1062, kIgnoreBackground = 1059, kPdfVersion = 1052,
                     kProductLine = 1070;
// Layout page.
inline constexpr int kForms = 1032, kUnits = 1031, kHeight = 1029, kWidth = 1030, kHeightUnit = 1054,
                     kWidthUnit = 1055, kPortrait = 1027, kLandscape = 1028, kPreview = 1033, kPreviewPage = 1056,
                     kPreviewBorder = 1057;
// Fonts page.
inline constexpr int kEmbedAll = 1038, kEmbedNonstandard = 1044, kEmbedList = 1039, kEmbedNone = 1040,
                     kFontList = 1024, kSelectAll = 1041, kClearAll = 1042, kFontWarning = 1066,
                     kBitmapFontSize = 1043;
// The module's string of the product line.
inline constexpr UINT kProductString = 6;
}  // namespace ids
