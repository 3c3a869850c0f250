#include "page_resources.h"

#include "page_state.h"
#include "win/commctrl.h"
#include "win/stdctrls.h"
#include "win/user.h"

namespace {

using kq::DialogControl;
using kq::DialogTemplate;

constexpr WORD kStatic = 0xFFFF;
constexpr DWORD kPageStyle = WS_CHILD | WS_CAPTION | DS_SETFONT;
constexpr DWORD kVisible = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | kVisible;
constexpr DWORD kRadio = BS_AUTORADIOBUTTON | kVisible;

constexpr DialogControl kGeneralControls[] = {
    {WC_STATIC, u"Output Folder:", kStatic, WS_VISIBLE, 7, 7, 200, 10},
    {WC_EDIT, u"", ids::kFolder, kVisible | ES_AUTOHSCROLL, 7, 18, 210, 14, WS_EX_CLIENTEDGE},
    {WC_BUTTON, u"Browse", ids::kBrowse, kVisible | BS_PUSHBUTTON, 222, 17, 50, 16},
    {WC_BUTTON, u"Overwrite existing PDF file without confirmation", ids::kOverwrite, kCheck, 7, 38, 266, 10},
    {WC_BUTTON, u"Use default filename and save to default folder", ids::kUseDefFileName, kCheck, 7, 52, 266, 10},
    {WC_BUTTON, u"Open the PDF file after converting", ids::kOpenFile, kCheck, 7, 66, 266, 10},
    {WC_BUTTON, u"Compress images using lossy algorithm (smaller file size but possibly lower image quality).",
     ids::kImageCompress, kCheck | 0x2000 /* multiline */, 7, 80, 266, 18},
    {WC_BUTTON, u"Merge small images when document includes a lot of images", ids::kMergeImages, kCheck, 7, 102, 266,
     10},
    {WC_BUTTON, u"Support PDF/A-1b standard", ids::kPdfa, kCheck, 7, 116, 266, 10},
    {WC_STATIC, u"Image Resolution:", kStatic, WS_VISIBLE, 7, 133, 70, 10},
    {WC_COMBOBOX, u"", ids::kResolution, kVisible | CBS_DROPDOWN, 80, 131, 60, 80},
    {WC_BUTTON, u"Support transparent imaging model (72-300)", ids::kTransparent, kCheck, 7, 150, 266, 10},
    {WC_BUTTON, u"Save As Default (If you uncheck this, your settings will be effective for this document only.)",
     ids::kSaveAsDefault, kCheck | 0x2000, 7, 166, 266, 18},
    {WC_BUTTON, u"Ignore background so the result PDF file can be smaller.", ids::kIgnoreBackground,
     BS_AUTOCHECKBOX | WS_TABSTOP, 7, 190, 266, 10},
    {WC_STATIC, u"PDF Version:", kStatic, 0, 7, 206, 70, 10},
    {WC_COMBOBOX, u"", ids::kPdfVersion, WS_TABSTOP | CBS_DROPDOWNLIST, 80, 204, 150, 60},
    {WC_STATIC, u"", ids::kProductLine, WS_VISIBLE, 7, 232, 266, 10},
};

constexpr DialogControl kLayoutControls[] = {
    {WC_STATIC, u"Page Form:", kStatic, WS_VISIBLE, 7, 7, 120, 10},
    {WC_LISTBOX, u"", ids::kForms, kVisible | LBS_SORT | LBS_NOTIFY, 7, 18, 120, 150, WS_EX_CLIENTEDGE},
    {WC_STATIC, u"Unit of Metrics:", kStatic, WS_VISIBLE, 7, 174, 60, 10},
    {WC_COMBOBOX, u"", ids::kUnits, kVisible | CBS_DROPDOWNLIST, 70, 172, 57, 60},
    {WC_STATIC, u"Height:", kStatic, WS_VISIBLE, 7, 192, 30, 10},
    {WC_EDIT, u"", ids::kHeight, kVisible | ES_AUTOHSCROLL, 40, 190, 50, 14, WS_EX_CLIENTEDGE},
    {WC_STATIC, u"", ids::kHeightUnit, WS_VISIBLE, 94, 192, 30, 10},
    {WC_STATIC, u"Width:", kStatic, WS_VISIBLE, 7, 210, 30, 10},
    {WC_EDIT, u"", ids::kWidth, kVisible | ES_AUTOHSCROLL, 40, 208, 50, 14, WS_EX_CLIENTEDGE},
    {WC_STATIC, u"", ids::kWidthUnit, WS_VISIBLE, 94, 210, 30, 10},
    {WC_BUTTON, u"Portrait", ids::kPortrait, kRadio | WS_GROUP, 140, 190, 60, 10},
    {WC_BUTTON, u"Landscape", ids::kLandscape, kRadio, 140, 208, 60, 10},
    {WC_BUTTON, u"Layout Preview:", ids::kPreview, WS_VISIBLE | WS_GROUP | BS_GROUPBOX, 140, 7, 133, 170},
    {WC_STATIC, u"", ids::kPreviewBorder, WS_VISIBLE, 150, 20, 110, 150},
    {WC_STATIC, u"", ids::kPreviewPage, WS_VISIBLE, 152, 22, 106, 146},
};

constexpr DialogControl kFontControls[] = {
    {WC_BUTTON, u"Embed all fonts", ids::kEmbedAll, kRadio | WS_GROUP, 7, 7, 200, 10},
    {WC_BUTTON, u"Embed nonstandard fonts", ids::kEmbedNonstandard, kRadio, 7, 21, 200, 10},
    {WC_BUTTON, u"Use the font embedding list below", ids::kEmbedList, kRadio, 7, 35, 200, 10},
    {WC_BUTTON, u"Don't embed any fonts", ids::kEmbedNone, kRadio, 7, 49, 200, 10},
    {WC_STATIC, u"Font Embedding List:", kStatic, WS_VISIBLE | WS_GROUP, 7, 66, 200, 10},
    {WC_LISTVIEW, u"", ids::kFontList, kVisible | LVS_REPORT | LVS_SORTASCENDING, 7, 77, 200, 130, WS_EX_CLIENTEDGE},
    {WC_BUTTON, u"Select All", ids::kSelectAll, kVisible | BS_PUSHBUTTON, 214, 77, 59, 16},
    {WC_BUTTON, u"Clear All", ids::kClearAll, kVisible | BS_PUSHBUTTON, 214, 97, 59, 16},
    {WC_BUTTON, u"Show warning message when the document contains fonts that are not allowed to be embedded",
     ids::kFontWarning, kCheck | 0x2000, 7, 212, 266, 18},
    {WC_STATIC, u"Bitmap Font Size:", kStatic, 0, 7, 234, 70, 10},
    {WC_EDIT, u"", ids::kBitmapFontSize, WS_TABSTOP | ES_NUMBER, 80, 232, 40, 14, WS_EX_CLIENTEDGE},
    {WC_STATIC, u"Pixels", kStatic, 0, 124, 234, 30, 10},
};

constexpr DialogControl kAboutControls[] = {
    {WC_STATIC, u"Kelvo Quenzar Printer, version 4.01", kStatic, WS_VISIBLE, 7, 7, 266, 10},
    {WC_STATIC, u"Copyright (C) Kelvo Software. All rights reserved.", kStatic, WS_VISIBLE, 7, 21, 266, 10},
    {WC_STATIC, u"Portions of this software are copyright (C) The FreeType Project (www.freetype.org).", kStatic,
     WS_VISIBLE, 7, 45, 266, 18},
    {WC_STATIC, u"This software is based in part on the work of the Independent JPEG Group.", kStatic, WS_VISIBLE, 7,
     67, 266, 18},
    {WC_STATIC, u"This software uses the zlib data compression library (www.zlib.net).", kStatic, WS_VISIBLE, 7, 89,
     266, 18},
};

constexpr DialogTemplate kGeneralPage{kPageStyle, 0, 0, 280, 250, u"General", u"Arial", 8, kGeneralControls};
constexpr DialogTemplate kLayoutPage{kPageStyle, 0, 0, 280, 250, u"Layout", u"Arial", 8, kLayoutControls};
constexpr DialogTemplate kFontPage{kPageStyle, 0, 0, 280, 250, u"Fonts", u"Arial", 8, kFontControls};
constexpr DialogTemplate kAboutPage{kPageStyle, 0, 0, 280, 250, u"About", u"Arial", 8, kAboutControls};

constexpr kq::DialogResource kDialogs[] = {
    {kGeneralTemplate, &kGeneralPage},
    {kLayoutTemplate, &kLayoutPage},
    {kFontTemplate, &kFontPage},
    {kAboutTemplate, &kAboutPage},
};

constexpr kq::StringResource kStrings[] = {
    {ids::kProductString, u"Kelvo Quenzar Printer, version 4.01"},
};

}  // namespace

kq::ModuleResources PageResources() { return {kDialogs, kStrings}; }
