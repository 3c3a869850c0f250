// The Fonts page: the embedding choice, the list of fonts to embed ("FFaces") and the warning option.
#include <vector>

#include "page_state.h"
#include "printer_settings/font_face_list.h"
#include "printer_settings/printer_values.h"
#include "printer_settings/setting_values.h"
#include "win/font_families.h"
#include "win/stdctrls.h"

namespace {

struct Choice {
  int id;
  BYTE embed;
};
constexpr Choice kChoices[] = {
    {ids::kEmbedNone, setting_value::kEmbedNone},
    {ids::kEmbedList, setting_value::kEmbedListed},
    {ids::kEmbedAll, setting_value::kEmbedAll},
    {ids::kEmbedNonstandard, setting_value::kEmbedNonStandard}};

HWND List(HWND page) { return GetDlgItem(page, ids::kFontList); }

std::u16string ItemText(HWND list, int item) {
  WCHAR text[LF_FACESIZE + 1] = {};
  LVITEMW it{};
  it.pszText = text;
  it.cchTextMax = LF_FACESIZE + 1;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
  return text;
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

void CheckAll(HWND page, bool check) {
  HWND list = List(page);
  for (int i = 0; i < ItemCount(list); ++i) ListView_SetCheckState(list, i, check ? TRUE : FALSE);
}

void EnableList(HWND page, bool enable) {
  for (int id : {ids::kFontList, ids::kSelectAll, ids::kClearAll})
    EnableWindow(GetDlgItem(page, id), enable ? TRUE : FALSE);
}

void UncheckPdfa(const PageState& state) {
  if (state.generalPage) CheckDlgButton(state.generalPage, ids::kPdfa, BST_UNCHECKED);
}

// Families that are TrueType or device fonts, without the vertical "@" variants, each once.
int AddFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM lParam) {
  auto list = reinterpret_cast<HWND>(lParam);
  if (!(type & (TRUETYPE_FONTTYPE | DEVICE_FONTTYPE)) || font->lfFaceName[0] == u'@') return 1;
  const std::u16string name(font->lfFaceName);
  for (int i = 0; i < ItemCount(list); ++i) {
    if (ItemText(list, i) == name) return 1;
  }
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ItemCount(list);
  item.pszText = const_cast<LPWSTR>(name.c_str());
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return 1;
}

void FillList(HWND page) {
  HWND list = List(page);
  RECT r{};
  GetClientRect(list, &r);
  WCHAR title[] = u"Fonts";
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = (r.right - r.left) * 4 / 5;
  column.pszText = title;
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  HDC context = GetDC(page);
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(context, &wanted, AddFamily, reinterpret_cast<LPARAM>(list), 0);
  ReleaseDC(page, context);
}

void Start(HWND page, PageState& state) {
  DriverPrivate& working = state.working.priv;
  if (working.PDFA1B) working.FontEmbed = setting_value::kEmbedAll;
  int chosen = ids::kEmbedNonstandard;
  for (const Choice& choice : kChoices) {
    if (choice.embed == working.FontEmbed) chosen = choice.id;
  }
  CheckRadioButton(page, ids::kEmbedAll, ids::kEmbedNone, 0);
  CheckDlgButton(page, chosen, BST_CHECKED);
  CheckDlgButton(page, ids::kFontWarning, working.FontWarnMsg ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemInt(page, ids::kBitmapFontSize, working.BitmapFontSize, FALSE);
  FillList(page);
  if (working.FontEmbed == setting_value::kEmbedAll || working.FontEmbed == setting_value::kEmbedNonStandard) {
    EnableList(page, false);
    CheckAll(page, true);
  } else if (working.FontEmbed == setting_value::kEmbedNone) {
    EnableList(page, false);
  } else {
    EnableList(page, true);
    std::vector<BYTE> stored(1024);
    if (ReadPrinterDriverData(state.printer ? state.printer : state.header->hPrinter, printer_value::kFFaces, stored)) {
      const FontFaceList faces = FontFaceList::Decode(stored.data(), stored.size());
      HWND list = List(page);
      for (int i = 0; i < ItemCount(list); ++i) {
        if (faces.Contains(ItemText(list, i))) ListView_SetCheckState(list, i, TRUE);
      }
    }
  }
  state.fontsPage = page;
}

void Apply(HWND page, PageState& state) {
  DriverDevMode* output = OutputRecord(state);
  if (state.readOnly || !output) return;
  for (const Choice& choice : kChoices) {
    if (IsDlgButtonChecked(page, choice.id) == BST_CHECKED) output->priv.FontEmbed = choice.embed;
  }
  output->priv.FontWarnMsg = IsDlgButtonChecked(page, ids::kFontWarning) == BST_CHECKED ? 1 : 0;
  BOOL number = FALSE;
  const UINT size = GetDlgItemInt(page, ids::kBitmapFontSize, &number, FALSE);
  if (number && size >= 1 && size <= 0xFFFF) output->priv.BitmapFontSize = static_cast<WORD>(size);
  if (!state.printer) return;
  std::vector<std::u16string> faces;
  const BYTE embed = output->priv.FontEmbed;
  HWND list = List(page);
  if (embed != setting_value::kEmbedNone) {
    for (int i = 0; i < ItemCount(list); ++i) {
      if (embed != setting_value::kEmbedListed || ListView_GetCheckState(list, i)) faces.push_back(ItemText(list, i));
    }
  }
  WriteFontFaceList(state.printer, FontFaceList(faces));
}

void Command(HWND page, PageState& state, WORD id) {
  switch (id) {
    case ids::kEmbedAll:
      CheckAll(page, true);
      EnableList(page, false);
      break;
    case ids::kEmbedNonstandard:
      CheckAll(page, true);
      EnableList(page, false);
      UncheckPdfa(state);
      break;
    case ids::kEmbedList:
      EnableList(page, true);
      UncheckPdfa(state);
      break;
    case ids::kEmbedNone:
      CheckAll(page, false);
      EnableList(page, false);
      UncheckPdfa(state);
      break;
    case ids::kSelectAll:
      CheckAll(page, true);
      break;
    case ids::kClearAll:
      CheckAll(page, false);
      break;
    default:
      break;
  }
}

}  // namespace

INT_PTR FontPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageState* state = PageMessage(page, message, lParam, Start);
  if (message == WM_INITDIALOG) return TRUE;
  if (!state) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) Command(page, *state, LOWORD(wParam));
      return TRUE;
    case kPdfaChecked:
      CheckRadioButton(page, ids::kEmbedAll, ids::kEmbedNone, ids::kEmbedAll);
      CheckDlgButton(page, ids::kEmbedNonstandard, BST_UNCHECKED);
      CheckAll(page, true);
      EnableList(page, false);
      return TRUE;
    case WM_NOTIFY:
      if (!IsApply(lParam)) return FALSE;
      Apply(page, *state);
      return Answer(page, PSNRET_NOERROR);
    case WM_DESTROY:
      if (state->fontsPage == page) state->fontsPage = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}
