// The General page: output folder and file options, resolution, transparency, PDF/A and "Save As Default".
#include <algorithm>

#include "page_state.h"
#include "printer_settings/setting_values.h"
#include "teloui/teloui.h"
#include "win/stdctrls.h"
#include "win/string_table.h"

namespace {

struct CheckBox {
  int id;
  BYTE DriverPrivate::*field;
};

constexpr CheckBox kCheckBoxes[] = {
    {ids::kOverwrite, &DriverPrivate::Overwrite},         {ids::kUseDefFileName, &DriverPrivate::UseDefFileName},
    {ids::kOpenFile, &DriverPrivate::OpenFile},           {ids::kTransparent, &DriverPrivate::GDIPunt},
    {ids::kImageCompress, &DriverPrivate::ImageCompress}, {ids::kIgnoreBackground, &DriverPrivate::IgnoreBackground},
    {ids::kMergeImages, &DriverPrivate::MergeImages},     {ids::kPdfa, &DriverPrivate::PDFA1B},
};

constexpr int kLowestResolution = 72, kTransparentHighest = 300, kHighestResolution = 2400;

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

// The resolutions offered: the high ones only while transparent imaging is off, as the clamp allows them.
void FillResolutions(HWND page, bool transparent) {
  HWND box = GetDlgItem(page, ids::kResolution);
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  static const WCHAR* const kHigh[] = {u"2400", u"1200", u"600"};
  static const WCHAR* const kLow[] = {u"300", u"200", u"144", u"96", u"72"};
  if (!transparent) {
    for (const WCHAR* text : kHigh) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  for (const WCHAR* text : kLow) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// Keeps the typed resolution inside what the transparency allows; below the lowest only when `raiseLow`.
void CorrectResolution(HWND page, bool transparent, bool raiseLow) {
  BOOL number = FALSE;
  const int value = static_cast<int>(GetDlgItemInt(page, ids::kResolution, &number, TRUE));
  if (!number) return;
  const int highest = transparent ? kTransparentHighest : kHighestResolution;
  if (value > highest) SetDlgItemInt(page, ids::kResolution, static_cast<UINT>(highest), TRUE);
  if (raiseLow && value < kLowestResolution) SetDlgItemInt(page, ids::kResolution, kLowestResolution, TRUE);
}

// The resolution edit raises a value below the lowest when the person leaves it.
LRESULT ResolutionEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (message == WM_KILLFOCUS) {
    BOOL number = FALSE;
    const int value = static_cast<int>(GetDlgItemInt(GetParent(GetParent(edit)), ids::kResolution, &number, TRUE));
    if (number && value < kLowestResolution) SetWindowTextW(edit, u"72");
  }
  return CallWindowProcW(previous, edit, message, wParam, lParam);
}

void Start(HWND page, PageState& state) {
  const DriverPrivate& working = state.working.priv;
  for (const CheckBox& box : kCheckBoxes)
    CheckDlgButton(page, box.id, working.*box.field ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageW(page, ids::kFolder, EM_LIMITTEXT, kDriverPathChars - 1, 0);
  SetDlgItemTextW(page, ids::kFolder, working.Folder);
  FillResolutions(page, working.GDIPunt != 0);
  SetDlgItemInt(page, ids::kResolution, static_cast<UINT>(state.working.dm.dmPrintQuality), TRUE);
  for (const WCHAR* version :
       {u"1.5 (Acrobat 6.0 Compatible)", u"1.4 (Acrobat 5.0 Compatible)", u"1.3 (Acrobat 4.0 Compatible)"})
    SendDlgItemMessageW(page, ids::kPdfVersion, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(version));
  SendDlgItemMessageW(page, ids::kPdfVersion, CB_SETCURSEL,
                      static_cast<WPARAM>(setting_value::kPdf15 - working.PDFVersion), 0);
  if (state.readOnly) {
    for (int id : {ids::kFolder, ids::kBrowse, ids::kOverwrite, ids::kImageCompress, ids::kResolution, ids::kPdfVersion,
                   ids::kSaveAsDefault})
      EnableWindow(GetDlgItem(page, id), FALSE);
  } else {
    CheckDlgButton(page, ids::kSaveAsDefault, state.printer ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(page, ids::kSaveAsDefault), state.printer ? TRUE : FALSE);
  }
  if (HWND edit = GetWindow(GetDlgItem(page, ids::kResolution), GW_CHILD)) {
    const LONG_PTR previous = SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ResolutionEditProc));
    SetWindowLongPtrW(edit, GWLP_USERDATA, previous);
  }
  WCHAR product[128] = {};
  LoadStringW(TelouiModule(), ids::kProductString, product, 128);
  SetDlgItemTextW(page, ids::kProductLine, product);
  state.generalPage = page;
}

void Browse(HWND page, PageState& state) {
  const std::u16string folder = BrowseForFolder(page);
  DriverDevMode* output = OutputRecord(state);
  if (folder.empty() || state.readOnly || !output) return;
  lstrcpynW(output->priv.Folder, folder.c_str(), kDriverPathChars);
  SetDlgItemTextW(page, ids::kFolder, output->priv.Folder);
}

void Apply(HWND page, PageState& state) {
  DriverDevMode* output = OutputRecord(state);
  if (state.readOnly || !output) return;
  for (const CheckBox& box : kCheckBoxes) output->priv.*box.field = Checked(page, box.id) ? 1 : 0;
  state.saveAsDefault = Checked(page, ids::kSaveAsDefault) ? 1 : 0;
  WCHAR folder[kDriverPathChars] = {};
  GetDlgItemTextW(page, ids::kFolder, folder, kDriverPathChars);
  std::copy(std::begin(folder), std::end(folder), output->priv.Folder);
  state.header->cbOut = kDriverDevModeSize;
  BOOL number = FALSE;
  const int resolution = static_cast<int>(GetDlgItemInt(page, ids::kResolution, &number, TRUE));
  // Text that is no number leaves the resolution as it was; a number is kept inside what the driver prints.
  if (number) {
    const int highest = output->priv.GDIPunt ? kTransparentHighest : kHighestResolution;
    output->dm.dmPrintQuality = static_cast<SHORT>(std::clamp(resolution, kLowestResolution, highest));
  }
  const auto selected = SendDlgItemMessageW(page, ids::kPdfVersion, CB_GETCURSEL, 0, 0);
  if (selected >= 0) output->priv.PDFVersion = static_cast<BYTE>(setting_value::kPdf15 - selected);
  state.hostFunction(state.sheet, CPSFUNC_SET_RESULT, reinterpret_cast<LPARAM>(page), CPSUI_OK);
}

void Command(HWND page, PageState& state, WORD id, WORD code) {
  switch (id) {
    case ids::kBrowse:
      if (code == BN_CLICKED) Browse(page, state);
      break;
    case ids::kTransparent: {
      const bool transparent = Checked(page, ids::kTransparent);
      state.working.priv.GDIPunt = transparent ? 1 : 0;
      FillResolutions(page, transparent);
      CorrectResolution(page, transparent, true);
      break;
    }
    case ids::kResolution:
      if (code == CBN_EDITCHANGE || code == CBN_SELCHANGE || code == CBN_KILLFOCUS)
        CorrectResolution(page, state.working.priv.GDIPunt != 0, false);
      break;
    case ids::kPdfa:
      state.working.priv.PDFA1B = Checked(page, ids::kPdfa) ? 1 : 0;
      if (state.working.priv.PDFA1B && state.fontsPage) SendMessageW(state.fontsPage, kPdfaChecked, 0, 0);
      break;
    default:
      break;
  }
}

}  // namespace

INT_PTR GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageState* state = PageMessage(page, message, lParam, Start);
  if (message == WM_INITDIALOG) return TRUE;
  if (!state) return FALSE;
  if (message == WM_COMMAND) {
    Command(page, *state, LOWORD(wParam), HIWORD(wParam));
    return TRUE;
  }
  if (message == WM_NOTIFY && IsApply(lParam)) {
    Apply(page, *state);
    return Answer(page, PSNRET_NOERROR);
  }
  if (message == WM_DESTROY && state->generalPage == page) state->generalPage = nullptr;
  return FALSE;
}
