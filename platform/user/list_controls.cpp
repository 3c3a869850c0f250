#include "list_controls.h"

#include <algorithm>
#include <vector>

#include "win/stdctrls.h"
#include "win/user.h"

namespace kq::user {

namespace {

template <class State>
State* StateOf(HWND window) {
  return static_cast<State*>(ControlState(window));
}

// Makes the state on WM_NCCREATE; it goes with the window.
template <class State>
bool Lifetime(HWND window, UINT message) {
  if (message == WM_NCCREATE) SetControlState(window, std::make_shared<State>());
  return false;
}

void Notify(HWND control, WORD code) {
  HWND parent = GetParent(control);
  const WORD id = static_cast<WORD>(GetWindowLongPtrW(control, GWLP_ID));
  if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

bool LessIgnoringCase(const WString& a, const WString& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; }

bool StartsIgnoringCase(WStringView text, WStringView prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

LRESULT CopyText(const WString& text, LPWSTR buffer, std::size_t capacity) {
  if (!buffer) return -1;
  const std::size_t n = capacity ? std::min(text.size(), capacity - 1) : text.size();
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}

// The items of a list box or of a combo box's list.
struct ItemList {
  std::vector<WString> items;
  LRESULT selected = -1;

  LRESULT Insert(LRESULT at, WString text) {
    if (at < 0 || static_cast<std::size_t>(at) > items.size()) at = static_cast<LRESULT>(items.size());
    items.insert(items.begin() + at, std::move(text));
    if (selected >= at) ++selected;
    return at;
  }
  LRESULT AddSorted(WString text) {
    const auto it = std::upper_bound(items.begin(), items.end(), text, LessIgnoringCase);
    return Insert(it - items.begin(), std::move(text));
  }
  LRESULT Delete(WPARAM at) {
    if (at >= items.size()) return LB_ERR;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(at));
    if (selected == static_cast<LRESULT>(at))
      selected = -1;
    else if (selected > static_cast<LRESULT>(at))
      --selected;
    return static_cast<LRESULT>(items.size());
  }
  // The first item after `after` (wrapping round; -1: from the start) that begins with, or equals, `text`.
  LRESULT Find(WPARAM after, LPCWSTR text, bool exact) const {
    if (!text || items.empty()) return LB_ERR;
    const WStringView wanted(text);
    const std::size_t count = items.size();
    const std::size_t start = static_cast<LRESULT>(after) < 0 || after >= count ? 0 : after + 1;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t i = (start + k) % count;
      if (exact ? EqualsIgnoreAsciiCase(items[i], wanted) : StartsIgnoringCase(items[i], wanted))
        return static_cast<LRESULT>(i);
    }
    return LB_ERR;
  }
  LRESULT Select(WPARAM at) {
    if (static_cast<LRESULT>(at) < 0 || at >= items.size()) {
      selected = -1;
      return static_cast<LRESULT>(at) == -1 ? 0 : LB_ERR;
    }
    selected = static_cast<LRESULT>(at);
    return selected;
  }
  const WString* At(WPARAM at) const { return at < items.size() ? &items[at] : nullptr; }
};

struct ListBoxState {
  ItemList list;
};

struct ComboState {
  ItemList list;
  HWND edit = nullptr;
};

struct ListViewItem {
  WString text;
  UINT state = 0;
};

struct ListViewState {
  std::vector<ListViewItem> items;
  DWORD extendedStyle = 0;
  std::vector<std::pair<WString, int>> columns;
};

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)); }

}  // namespace

LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case EM_LIMITTEXT:
      SetWindowLongPtrW(window, kEditLimitSlot, static_cast<LONG_PTR>(wParam));
      return 0;
    case EM_GETLIMITTEXT: {
      const LONG_PTR limit = GetWindowLongPtrW(window, kEditLimitSlot);
      return limit ? limit : 30000;
    }
    case WM_SETFOCUS:
      Notify(window, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      Notify(window, EN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT ComboBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Lifetime<ComboState>(window, message)) return 0;
  ComboState* state = StateOf<ComboState>(window);
  if (!state) return DefWindowProcW(window, message, wParam, lParam);
  const bool hasEdit = (StyleOf(window) & 0x3) != CBS_DROPDOWNLIST;
  // What the combo box shows: its edit's text, or the chosen item.
  auto show = [&](const WString& text) {
    if (state->edit)
      SetWindowTextW(state->edit, text.c_str());
    else
      DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  };
  switch (message) {
    case WM_CREATE:
      if (hasEdit) {
        RECT r{};
        GetClientRect(window, &r);
        state->edit =
            CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, r.right, r.bottom, window,
                            reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(kComboEditId)), nullptr, nullptr);
      }
      return 0;
    case WM_SETTEXT:
      if (state->edit) return SetWindowTextW(state->edit, reinterpret_cast<LPCWSTR>(lParam));
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_GETTEXT:
      if (state->edit) return SendMessageW(state->edit, message, wParam, lParam);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_GETTEXTLENGTH:
      if (state->edit) return SendMessageW(state->edit, message, wParam, lParam);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_COMMAND:
      // From the edit child: the person typed, or left the box.
      if (state->edit && reinterpret_cast<HWND>(lParam) == state->edit) {
        if (HIWORD(wParam) == EN_CHANGE) {
          state->list.selected = -1;
          Notify(window, CBN_EDITCHANGE);
        } else if (HIWORD(wParam) == EN_KILLFOCUS) {
          Notify(window, CBN_KILLFOCUS);
        }
      }
      return 0;
    case CB_ADDSTRING: {
      if (!lParam) return CB_ERR;
      WString text(reinterpret_cast<LPCWSTR>(lParam));
      return (StyleOf(window) & CBS_SORT) ? state->list.AddSorted(std::move(text))
                                          : state->list.Insert(-1, std::move(text));
    }
    case CB_INSERTSTRING:
      return lParam ? state->list.Insert(static_cast<LRESULT>(wParam), reinterpret_cast<LPCWSTR>(lParam)) : CB_ERR;
    case CB_DELETESTRING:
      return state->list.Delete(wParam);
    case CB_RESETCONTENT:
      state->list = ItemList{};
      if (!state->edit) show(u"");
      return 0;
    case CB_GETCOUNT:
      return static_cast<LRESULT>(state->list.items.size());
    case CB_GETCURSEL:
      return state->list.selected;
    case CB_SETCURSEL: {
      const LRESULT r = state->list.Select(wParam);
      const WString* text = state->list.At(wParam);
      show(text ? *text : WString());
      return state->list.selected >= 0 ? r : CB_ERR;
    }
    case CB_GETLBTEXT: {
      const WString* text = state->list.At(wParam);
      return text ? CopyText(*text, reinterpret_cast<LPWSTR>(lParam), 0) : CB_ERR;
    }
    case CB_GETLBTEXTLEN: {
      const WString* text = state->list.At(wParam);
      return text ? static_cast<LRESULT>(text->size()) : CB_ERR;
    }
    case CB_FINDSTRING:
      return state->list.Find(wParam, reinterpret_cast<LPCWSTR>(lParam), false);
    case CB_FINDSTRINGEXACT:
      return state->list.Find(wParam, reinterpret_cast<LPCWSTR>(lParam), true);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Lifetime<ListBoxState>(window, message)) return 0;
  ListBoxState* state = StateOf<ListBoxState>(window);
  if (!state) return DefWindowProcW(window, message, wParam, lParam);
  ItemList& list = state->list;
  switch (message) {
    case LB_ADDSTRING: {
      if (!lParam) return LB_ERR;
      WString text(reinterpret_cast<LPCWSTR>(lParam));
      return (StyleOf(window) & LBS_SORT) ? list.AddSorted(std::move(text)) : list.Insert(-1, std::move(text));
    }
    case LB_INSERTSTRING:
      return lParam ? list.Insert(static_cast<LRESULT>(wParam), reinterpret_cast<LPCWSTR>(lParam)) : LB_ERR;
    case LB_DELETESTRING:
      return list.Delete(wParam);
    case LB_RESETCONTENT:
      list = ItemList{};
      return 0;
    case LB_GETCOUNT:
      return static_cast<LRESULT>(list.items.size());
    case LB_GETCURSEL:
      return list.selected;
    case LB_SETCURSEL:
      return list.Select(wParam);
    case LB_GETTEXT: {
      const WString* text = list.At(wParam);
      return text ? CopyText(*text, reinterpret_cast<LPWSTR>(lParam), 0) : LB_ERR;
    }
    case LB_GETTEXTLEN: {
      const WString* text = list.At(wParam);
      return text ? static_cast<LRESULT>(text->size()) : LB_ERR;
    }
    case LB_FINDSTRING:
      return list.Find(wParam, reinterpret_cast<LPCWSTR>(lParam), false);
    case LB_FINDSTRINGEXACT:
      return list.Find(wParam, reinterpret_cast<LPCWSTR>(lParam), true);
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Lifetime<ListViewState>(window, message)) return 0;
  ListViewState* state = StateOf<ListViewState>(window);
  if (!state) return DefWindowProcW(window, message, wParam, lParam);
  auto& items = state->items;
  const bool checkBoxes = (state->extendedStyle & LVS_EX_CHECKBOXES) != 0;
  switch (message) {
    case LVM_GETITEMCOUNT:
      return static_cast<LRESULT>(items.size());
    case LVM_DELETEALLITEMS:
      items.clear();
      return TRUE;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      const DWORD previous = state->extendedStyle;
      const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFF;
      state->extendedStyle = (previous & ~mask) | (static_cast<DWORD>(lParam) & mask);
      if (state->extendedStyle & LVS_EX_CHECKBOXES) {
        for (auto& item : items) {
          if (!(item.state & LVIS_STATEIMAGEMASK)) item.state |= kListViewUnchecked;
        }
      }
      return previous;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return state->extendedStyle;
    case LVM_INSERTCOLUMNW: {
      const auto* column = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (!column) return -1;
      const WString text = (column->mask & LVCF_TEXT) && column->pszText ? WString(column->pszText) : WString();
      const std::size_t at = std::min<std::size_t>(wParam, state->columns.size());
      state->columns.insert(state->columns.begin() + static_cast<std::ptrdiff_t>(at),
                            {text, (column->mask & LVCF_WIDTH) ? column->cx : 0});
      return static_cast<LRESULT>(at);
    }
    case LVM_INSERTITEMW: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || item->iSubItem != 0) return -1;
      ListViewItem added;
      if ((item->mask & LVIF_TEXT) && item->pszText) added.text = item->pszText;
      if (item->mask & LVIF_STATE) added.state = item->state & item->stateMask;
      if (checkBoxes && !(added.state & LVIS_STATEIMAGEMASK)) added.state |= kListViewUnchecked;
      std::size_t at;
      if (StyleOf(window) & LVS_SORTASCENDING) {
        at = static_cast<std::size_t>(std::upper_bound(items.begin(), items.end(), added,
                                                       [](const ListViewItem& a, const ListViewItem& b) {
                                                         return LessIgnoringCase(a.text, b.text);
                                                       }) -
                                      items.begin());
      } else {
        at =
            item->iItem < 0 ? items.size() : std::min<std::size_t>(static_cast<std::size_t>(item->iItem), items.size());
      }
      items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
      return static_cast<LRESULT>(at);
    }
    case LVM_SETITEMSTATE: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item) return FALSE;
      auto set = [&](ListViewItem& target) {
        target.state = (target.state & ~item->stateMask) | (item->state & item->stateMask);
      };
      if (static_cast<int>(wParam) == -1) {
        for (auto& target : items) set(target);
        return TRUE;
      }
      if (wParam >= items.size()) return FALSE;
      set(items[wParam]);
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return wParam < items.size() ? static_cast<LRESULT>(items[wParam].state & static_cast<UINT>(lParam)) : 0;
    case LVM_GETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || !item->pszText || item->cchTextMax <= 0) return 0;
      if (wParam >= items.size() || item->iSubItem != 0) {
        item->pszText[0] = 0;
        return 0;
      }
      return CopyText(items[wParam].text, item->pszText, static_cast<std::size_t>(item->cchTextMax));
    }
    case LVM_FINDITEMW: {
      const auto* find = reinterpret_cast<const LVFINDINFOW*>(lParam);
      if (!find || !(find->flags & LVFI_STRING) || !find->psz) return -1;
      const std::size_t start = static_cast<int>(wParam) < 0 ? 0 : wParam + 1;
      for (std::size_t i = start; i < items.size(); ++i) {
        if (EqualsIgnoreAsciiCase(items[i].text, find->psz)) return static_cast<LRESULT>(i);
      }
      return -1;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kq::user
