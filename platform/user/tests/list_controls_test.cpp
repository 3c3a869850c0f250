// The list and text controls, radio groups, dialog numbers and string tables.
#include "user_fixture.h"
#include "win/dialog_templates.h"
#include "win/stdctrls.h"
#include "win/string_table.h"

namespace kqtest {
namespace {

class ListControls : public UserTest {
 protected:
  ListControls() {
    parent = CreateWindowExW(0, WC_DIALOG, u"Host", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
  }
  ~ListControls() override { DestroyWindow(parent); }

  HWND Child(const WCHAR* cls, DWORD style, int id, const WCHAR* text = u"") {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(id)), nullptr, nullptr);
  }
  static kq::WString ListText(HWND list, WPARAM item) {
    WCHAR text[64] = {};
    SendMessageW(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
  }
  static LRESULT Find(HWND control, UINT message, WPARAM after, const WCHAR* text) {
    return SendMessageW(control, message, after, reinterpret_cast<LPARAM>(text));
  }

  HWND parent = nullptr;
};

TEST_F(ListControls, SortedListBoxWithPrefixSearch) {
  HWND list = Child(WC_LISTBOX, LBS_SORT, 10);
  for (const WCHAR* name : {u"letter", u"A4", u"Legal", u"a3", u"Letter Small"})
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageW(list, LB_SETCURSEL, 1, 0);  // "A4"
  SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"Custom-size Form"));
  const std::vector<kq::WString> expected{u"Custom-size Form", u"a3", u"A4", u"Legal", u"letter", u"Letter Small"};
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 6);
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ListText(list, i), expected[i]);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2) << "the selection moves with its item";

  const struct {
    UINT message;
    WPARAM after;
    const WCHAR* text;
    LRESULT found;
  } searches[] = {
      {LB_FINDSTRING, static_cast<WPARAM>(-1), u"LETTER", 4},
      {LB_FINDSTRING, 4, u"letter", 5},
      {LB_FINDSTRING, 5, u"letter", 4},
      {LB_FINDSTRING, static_cast<WPARAM>(-1), u"B", LB_ERR},
      {LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"LETTER SMALL", 5},
      {LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"Lett", LB_ERR},
      {LB_FINDSTRING, static_cast<WPARAM>(-1), u"", 0},
  };
  for (const auto& s : searches)
    EXPECT_EQ(Find(list, s.message, s.after, s.text), s.found) << kq::Utf8FromWide(s.text) << " after " << s.after;

  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 9, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), -1);
  EXPECT_EQ(SendMessageW(list, LB_GETTEXTLEN, 9, 0), LB_ERR);
}

TEST_F(ListControls, ComboBoxesShowTheirChoiceOrWhatWasTyped) {
  HWND editable = Child(WC_COMBOBOX, CBS_DROPDOWN, 11);
  HWND fixed = Child(WC_COMBOBOX, CBS_DROPDOWNLIST, 12);
  for (HWND box : {editable, fixed}) {
    for (const WCHAR* item : {u"300", u"200", u"72"})
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(box, CB_SETCURSEL, 1, 0);
  }
  HWND edit = GetWindow(editable, GW_CHILD);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetDlgCtrlID(edit), kComboEditId);
  EXPECT_EQ(GetWindow(fixed, GW_CHILD), nullptr);
  WCHAR text[16];
  for (HWND box : {editable, fixed}) {
    GetWindowTextW(box, text, 16);
    EXPECT_EQ(kq::WString(text), u"200");
  }
  SetWindowTextW(editable, u"1200");
  EXPECT_EQ(GetDlgItemInt(parent, 11, nullptr, TRUE), 1200u);
  SendMessageW(editable, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(editable, CB_GETCOUNT, 0, 0), 0);
  GetWindowTextW(editable, text, 16);
  EXPECT_EQ(kq::WString(text), u"1200") << "what was typed stays";
  EXPECT_EQ(Find(fixed, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"72"), 2);
}

TEST_F(ListControls, ListViewWithCheckBoxesKeepsItsItemsSorted) {
  HWND view = Child(WC_LISTVIEW, LVS_REPORT | LVS_SORTASCENDING, 13);
  SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  for (const WCHAR* face : {u"Nimbus Sans", u"DejaVu Serif", u"C059"}) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<LPWSTR>(face);
    SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  WCHAR text[32];
  LVITEMW read{};
  read.pszText = text;
  read.cchTextMax = 32;
  SendMessageW(view, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&read));
  EXPECT_EQ(kq::WString(text), u"C059");
  EXPECT_FALSE(ListView_GetCheckState(view, 1)) << "items start unchecked";
  ListView_SetCheckState(view, -1, TRUE);
  ListView_SetCheckState(view, 0, FALSE);
  EXPECT_FALSE(ListView_GetCheckState(view, 0));
  EXPECT_TRUE(ListView_GetCheckState(view, 2));
  LVFINDINFOW find{LVFI_STRING, u"dejavu serif", 0, {}, 0};
  EXPECT_EQ(SendMessageW(view, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 1);
  read.cchTextMax = 4;
  EXPECT_EQ(SendMessageW(view, LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&read)), 3) << "cut to the buffer";
}

TEST_F(ListControls, RadioButtonsUncheckTheirGroupOnly) {
  HWND a = Child(WC_BUTTON, BS_AUTORADIOBUTTON | WS_GROUP, 20, u"A");
  HWND b = Child(WC_BUTTON, BS_AUTORADIOBUTTON, 21, u"B");
  HWND c = Child(WC_BUTTON, BS_AUTORADIOBUTTON | WS_GROUP, 22, u"C");
  SendMessageW(a, BM_CLICK, 0, 0);
  SendMessageW(c, BM_CLICK, 0, 0);
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(parent, 20), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(parent, 21), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(parent, 22), BST_CHECKED) << "another group";
  CheckRadioButton(parent, 20, 22, 20);
  EXPECT_EQ(IsDlgButtonChecked(parent, 21), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(parent, 22), BST_UNCHECKED);
}

TEST_F(ListControls, DialogNumbers) {
  Child(WC_EDIT, 0, 30);
  const struct {
    const WCHAR* text;
    BOOL isSigned;
    BOOL translated;
    UINT value;
  } cases[] = {{u"600", TRUE, TRUE, 600},        {u"  72 ", TRUE, TRUE, 72}, {u"-5", TRUE, TRUE, static_cast<UINT>(-5)},
               {u"-5", FALSE, FALSE, 0},         {u"12ab", TRUE, FALSE, 0},  {u"", TRUE, FALSE, 0},
               {u"99999999999", FALSE, FALSE, 0}};
  for (const auto& c : cases) {
    SetDlgItemTextW(parent, 30, c.text);
    BOOL translated = -1;
    EXPECT_EQ(GetDlgItemInt(parent, 30, &translated, c.isSigned), c.value) << kq::Utf8FromWide(c.text);
    EXPECT_EQ(translated, c.translated) << kq::Utf8FromWide(c.text);
  }
  SendDlgItemMessageW(parent, 30, EM_LIMITTEXT, 3, 0);
  EXPECT_EQ(SendDlgItemMessageW(parent, 30, EM_GETLIMITTEXT, 0, 0), 3);
}

TEST_F(ListControls, StringTables) {
  static constexpr kq::StringResource strings[] = {{6, u"Product 1.0"}};
  const auto module = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x5100000));
  kq::RegisterModuleResources(module, {{}, strings});
  WCHAR text[8];
  EXPECT_EQ(LoadStringW(module, 6, text, 8), 7);
  EXPECT_EQ(kq::WString(text), u"Product");
  const WCHAR* readOnly = nullptr;
  EXPECT_EQ(LoadStringW(module, 6, reinterpret_cast<LPWSTR>(&readOnly), 0), 11);
  EXPECT_EQ(kq::WString(readOnly), u"Product 1.0");
  EXPECT_EQ(LoadStringW(module, 7, text, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(text[0], 0);
  kq::UnregisterModuleResources(module);
}

}  // namespace
}  // namespace kqtest
