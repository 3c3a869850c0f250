// The list and text controls of the window system: the edit control, radio buttons, the combo box with its edit
// child, the list box (sorted inserts, prefix search) and the list view (one report column, items with check
// boxes), always registered. Their notifications go to the parent in WM_COMMAND (edit, combo box, list box).
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/user.h"

// A window's first child (GW_CHILD) or its next sibling (GW_HWNDNEXT); null when there is none.
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_CHILD = 5;
HWND GetWindow(HWND window, UINT relation);

// ---- Radio buttons ----
inline constexpr DWORD BS_RADIOBUTTON = 0x4;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
// Checks `checkId` and unchecks the other buttons of first..last.
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);

// ---- Edit ----
inline constexpr const WCHAR* WC_EDIT = u"Edit";
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_NUMBER = 0x2000;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;  // wParam: the most characters the person may type; 0: no limit
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;
inline constexpr WORD EN_SETFOCUS = 0x0100;
inline constexpr WORD EN_KILLFOCUS = 0x0200;
inline constexpr WORD EN_CHANGE = 0x0300;
// The integer a dialog's edit shows: leading blanks, an optional sign, then digits. `translated` is FALSE (and the
// answer 0) when no digit stands there.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);

// ---- List box ----
inline constexpr const WCHAR* WC_LISTBOX = u"ListBox";
inline constexpr DWORD LBS_NOTIFY = 0x0001;
inline constexpr DWORD LBS_SORT = 0x0002;
inline constexpr LRESULT LB_ERR = -1;
inline constexpr UINT LB_ADDSTRING = 0x0180;     // sorted by text ignoring case with LBS_SORT, else at the end
inline constexpr UINT LB_INSERTSTRING = 0x0181;  // wParam: the index; -1: at the end
inline constexpr UINT LB_DELETESTRING = 0x0182;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_SETCURSEL = 0x0186;  // -1: no selection
inline constexpr UINT LB_GETCURSEL = 0x0188;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETTEXTLEN = 0x018A;
inline constexpr UINT LB_GETCOUNT = 0x018B;
inline constexpr UINT LB_FINDSTRING = 0x018F;  // the first item after wParam that begins with the text (case ignored)
inline constexpr UINT LB_FINDSTRINGEXACT = 0x01A2;
inline constexpr WORD LBN_SELCHANGE = 1;

// ---- Combo box: a list and an edit child (id 1001) that shows the chosen text or what the person typed ----
inline constexpr const WCHAR* WC_COMBOBOX = u"ComboBox";
inline constexpr DWORD CBS_SIMPLE = 0x0001;
inline constexpr DWORD CBS_DROPDOWN = 0x0002;
inline constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
inline constexpr DWORD CBS_SORT = 0x0100;
inline constexpr LRESULT CB_ERR = -1;
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_FINDSTRING = 0x014C;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
inline constexpr WORD CBN_SELCHANGE = 1;
inline constexpr WORD CBN_KILLFOCUS = 4;
inline constexpr WORD CBN_EDITCHANGE = 5;
inline constexpr int kComboEditId = 1001;

// ---- List view (report view, items with check boxes) ----
inline constexpr const WCHAR* WC_LISTVIEW = u"SysListView32";
inline constexpr DWORD LVS_REPORT = 0x0001;
inline constexpr DWORD LVS_SORTASCENDING = 0x0010;
inline constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
inline constexpr UINT LVM_FIRST = 0x1000;
inline constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
inline constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
inline constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;  // wParam: the item, -1: every item; lParam: an LVITEMW
inline constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;  // wParam: the item, lParam: the state mask
inline constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
inline constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;
inline constexpr UINT LVM_INSERTITEMW = LVM_FIRST + 77;
inline constexpr UINT LVM_FINDITEMW = LVM_FIRST + 83;
inline constexpr UINT LVM_INSERTCOLUMNW = LVM_FIRST + 97;
inline constexpr UINT LVM_GETITEMTEXTW = LVM_FIRST + 115;
inline constexpr UINT LVIF_TEXT = 0x0001;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;
inline constexpr UINT LVCF_WIDTH = 0x0002;
inline constexpr UINT LVCF_TEXT = 0x0004;
inline constexpr UINT LVFI_STRING = 0x0002;
inline constexpr UINT INDEXTOSTATEIMAGEMASK(UINT index) { return index << 12; }
// State images of the check boxes: 1 unchecked, 2 checked.
inline constexpr UINT kListViewUnchecked = INDEXTOSTATEIMAGEMASK(1);
inline constexpr UINT kListViewChecked = INDEXTOSTATEIMAGEMASK(2);

struct LVITEMW {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
  int iIndent;
  int iGroupId;
  UINT cColumns;
  UINT* puColumns;
  int* piColFmt;
  int iGroup;
};
static_assert(sizeof(LVITEMW) == 88);
static_assert(offsetof(LVITEMW, pszText) == 24);
static_assert(offsetof(LVITEMW, lParam) == 40);

struct LVCOLUMNW {
  UINT mask;
  int fmt;
  int cx;
  LPWSTR pszText;
  int cchTextMax;
  int iSubItem;
  int iImage;
  int iOrder;
  int cxMin;
  int cxDefault;
  int cxIdeal;
};
static_assert(sizeof(LVCOLUMNW) == 56);

struct LVFINDINFOW {
  UINT flags;
  LPCWSTR psz;
  LPARAM lParam;
  POINT pt;
  UINT vkDirection;
};
static_assert(sizeof(LVFINDINFOW) == 40);

// ListView_GetCheckState and ListView_SetCheckState.
inline BOOL ListView_GetCheckState(HWND list, int item) {
  return ((static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK)) >>
           12) -
          1) != 0;
}
inline void ListView_SetCheckState(HWND list, int item, BOOL check) {
  LVITEMW it{};
  it.stateMask = LVIS_STATEIMAGEMASK;
  it.state = check ? kListViewChecked : kListViewUnchecked;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}
