// The Layout page: the form, a custom size in the chosen unit, the orientation and a preview of the page.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "page_state.h"
#include "printer_settings/setting_values.h"
#include "printer_settings/printer_values.h"
#include "win/stdctrls.h"

namespace {

// The Units list's item of a stored unit; a value past the last unit shows the last.
BYTE UnitIndex(BYTE unit) { return std::min<BYTE>(unit, setting_value::kUnitMillimeter); }

constexpr DWORD kPaperFields = DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;
// Custom sizes in 0.1 mm: from 1 cm up to what the record's 16-bit fields hold.
constexpr double kSmallestCustom = 100, kLargestCustom = 32767;

struct Unit {
  const WCHAR* name;
  const WCHAR* label;
  double factor;  // 0.1 mm per unit
};
constexpr Unit kUnits[] = {{u"Inch", u"inch", 254}, {u"Centimeter", u"cm", 100}, {u"Millimeter", u"mm", 10}};

int SelectedForm(HWND page) { return static_cast<int>(SendDlgItemMessageW(page, ids::kForms, LB_GETCURSEL, 0, 0)); }

int SelectedUnit(HWND page) {
  const auto unit = SendDlgItemMessageW(page, ids::kUnits, CB_GETCURSEL, 0, 0);
  return unit >= 0 && unit <= 2 ? static_cast<int>(unit) : 0;
}

// An edit's decimal number in 0.1 mm, truncated; nothing for text that is not a number.
std::optional<double> ReadSize(HWND page, int id, const Unit& unit) {
  WCHAR text[64] = {};
  GetDlgItemTextW(page, id, text, 64);
  std::string narrow;
  for (const WCHAR* p = text; *p; ++p) {
    if (*p > 0x7F) return std::nullopt;
    if (*p != u' ') narrow += static_cast<char>(*p);
  }
  double value = 0;
  const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
  if (narrow.empty() || error != std::errc() || end != narrow.data() + narrow.size()) return std::nullopt;
  // A hair above the product, so that 21.59 cm is 2159 and not 2158.99...
  return static_cast<double>(static_cast<long long>(value * unit.factor + 1e-6));
}

// The custom size the edits give, when both lie inside the limits: length, width.
std::optional<std::pair<SHORT, SHORT>> CustomSize(HWND page, const Unit& unit) {
  const auto height = ReadSize(page, ids::kHeight, unit), width = ReadSize(page, ids::kWidth, unit);
  auto inside = [](double v) { return v >= kSmallestCustom && v <= kLargestCustom; };
  if (!height || !width || !inside(*height) || !inside(*width)) return std::nullopt;
  return std::pair{static_cast<SHORT>(*height), static_cast<SHORT>(*width)};
}

void TakeCustom(DEVMODEW& dm, std::pair<SHORT, SHORT> size) {
  dm.dmPaperLength = size.first;
  dm.dmPaperWidth = size.second;
  dm.dmPaperSize = DMPAPER_USER;
  lstrcpynW(dm.dmFormName, kCustomFormName, CCHFORMNAME);
  dm.dmFields |= kPaperFields;
}

void ShowSize(HWND page, int id, SHORT tenths, const Unit& unit) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", tenths / unit.factor);
  SetDlgItemTextW(page, id, kq::WideFromUtf8(text).c_str());
}

RECT RectIn(HWND page, HWND control) {
  RECT pageRect{}, rect{};
  GetWindowRect(page, &pageRect);
  GetWindowRect(control, &rect);
  return RECT{rect.left - pageRect.left, rect.top - pageRect.top, rect.right - pageRect.left,
              rect.bottom - pageRect.top};
}

void Preview(HWND page, const DEVMODEW& dm) {
  double f = dm.dmPaperLength / 4000.0, g = dm.dmPaperWidth / 4000.0;
  if (dm.dmOrientation == DMORIENT_LANDSCAPE) std::swap(f, g);
  f = std::min(f, 1.0);
  g = std::min(g, 1.0);
  const RECT frame = RectIn(page, GetDlgItem(page, ids::kPreview));
  const LONG frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
  const int width = static_cast<int>((frameWidth - 4) * g), height = static_cast<int>((frameHeight - 4) * f);
  const int x = frame.left + (frameWidth - width) / 2, y = frame.top + (frameHeight - height) / 2;
  SetWindowPos(GetDlgItem(page, ids::kPreviewPage), nullptr, x, y, width, height, SWP_NOZORDER);
  SetWindowPos(GetDlgItem(page, ids::kPreviewBorder), nullptr, x - 2, y - 2, width + 4, height + 4, SWP_NOZORDER);
}

void Update(HWND page, PageState& state, bool readEdits) {
  DEVMODEW& dm = state.working.dm;
  if (readEdits && SelectedForm(page) == 0) {
    if (const auto size = CustomSize(page, kUnits[UnitIndex(state.working.priv.UOM)])) TakeCustom(dm, *size);
  }
  const int unitIndex = SelectedUnit(page);
  state.working.priv.UOM = static_cast<BYTE>(unitIndex);
  const Unit& unit = kUnits[unitIndex];
  SetDlgItemTextW(page, ids::kHeightUnit, unit.label);
  SetDlgItemTextW(page, ids::kWidthUnit, unit.label);
  if (SelectedForm(page) >= 0) {
    ShowSize(page, ids::kHeight, dm.dmPaperLength, unit);
    ShowSize(page, ids::kWidth, dm.dmPaperWidth, unit);
  }
  Preview(page, dm);
}

void EnableSize(HWND page, bool enable) {
  EnableWindow(GetDlgItem(page, ids::kHeight), enable ? TRUE : FALSE);
  EnableWindow(GetDlgItem(page, ids::kWidth), enable ? TRUE : FALSE);
}

void Start(HWND page, PageState& state) {
  HWND list = GetDlgItem(page, ids::kForms);
  std::vector<PrinterForm> forms;
  if (ReadPrinterForms(state.header->hPrinter, &forms)) {
    for (const PrinterForm& form : forms)
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(form.name.c_str()));
    SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(kCustomFormName));
  }
  const auto found =
      SendMessageW(list, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(state.working.dm.dmFormName));
  SendMessageW(list, LB_SETCURSEL, found >= 0 ? static_cast<WPARAM>(found) : 0, 0);
  for (const Unit& unit : kUnits)
    SendDlgItemMessageW(page, ids::kUnits, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit.name));
  SendDlgItemMessageW(page, ids::kUnits, CB_SETCURSEL, UnitIndex(state.working.priv.UOM), 0);
  // Only orientation 2 is landscape; anything else a caller handed in shows, and is saved, as portrait.
  const bool landscape = state.working.dm.dmOrientation == DMORIENT_LANDSCAPE;
  CheckRadioButton(page, ids::kPortrait, ids::kLandscape, landscape ? ids::kLandscape : ids::kPortrait);
  EnableSize(page, SelectedForm(page) == 0);
  Update(page, state, false);
}

void FormSelected(HWND page, PageState& state) {
  const int selected = SelectedForm(page);
  if (selected < 0) {
    SetDlgItemTextW(page, ids::kHeight, u"");
    SetDlgItemTextW(page, ids::kWidth, u"");
    EnableSize(page, false);
  } else if (selected == 0) {
    EnableSize(page, true);
  } else {
    EnableSize(page, false);
    DEVMODEW& dm = state.working.dm;
    WCHAR name[CCHFORMNAME] = {};
    SendDlgItemMessageW(page, ids::kForms, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(name));
    if (SendDlgItemMessageW(page, ids::kForms, LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0) < CCHFORMNAME) {
      std::copy(std::begin(name), std::end(name), dm.dmFormName);
    }
    GetFormByName(state.header->hPrinter, dm.dmFormName, &dm.dmPaperLength, &dm.dmPaperWidth, &dm.dmPaperSize);
  }
  Update(page, state, true);
}

void Apply(HWND page, PageState& state) {
  DriverDevMode* output = OutputRecord(state);
  if (state.readOnly || !output) return;
  const int selected = SelectedForm(page);
  if (selected == 0) {
    if (const auto size = CustomSize(page, kUnits[SelectedUnit(page)])) TakeCustom(output->dm, *size);
  } else if (selected > 0) {
    const DEVMODEW& working = state.working.dm;
    output->dm.dmPaperLength = working.dmPaperLength;
    output->dm.dmPaperWidth = working.dmPaperWidth;
    output->dm.dmPaperSize = working.dmPaperSize;
    std::copy(std::begin(working.dmFormName), std::end(working.dmFormName), output->dm.dmFormName);
    output->dm.dmFields |= kPaperFields;
  }
  output->dm.dmOrientation =
      IsDlgButtonChecked(page, ids::kPortrait) == BST_CHECKED ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
  output->priv.UOM = static_cast<BYTE>(SelectedUnit(page));
}

}  // namespace

INT_PTR LayoutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageState* state = PageMessage(page, message, lParam, Start);
  if (message == WM_INITDIALOG) return TRUE;
  if (!state) return FALSE;
  if (message == WM_COMMAND) {
    const WORD id = LOWORD(wParam), code = HIWORD(wParam);
    if ((id == ids::kPortrait || id == ids::kLandscape) && code == BN_CLICKED) {
      state->working.dm.dmOrientation = id == ids::kPortrait ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE;
      Update(page, *state, true);
    } else if (id == ids::kUnits && code == CBN_SELCHANGE) {
      Update(page, *state, true);
    } else if (id == ids::kForms && code == LBN_SELCHANGE) {
      FormSelected(page, *state);
    }
    return TRUE;
  }
  if (message == WM_NOTIFY && IsApply(lParam)) {
    Apply(page, *state);
    return Answer(page, PSNRET_NOERROR);
  }
  return FALSE;
}
