// Window relations, radio groups and the dialog helpers for check boxes and numbers.
#include <algorithm>

#include "core.h"
#include "list_controls.h"
#include "win/stdctrls.h"

using kq::user::Core;
using kq::user::CurrentCore;
using kq::user::Window;

HWND GetWindow(HWND handle, UINT relation) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->FindOrReport(handle);
  if (!window) return nullptr;
  if (relation == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
  if (relation == GW_HWNDNEXT) {
    const Window* parent = core->Find(window->parent);
    if (!parent) return nullptr;
    const auto& siblings = parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), handle);
    return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

namespace kq::user {

void* ControlState(HWND handle) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->Find(handle);
  return window ? window->controlState.get() : nullptr;
}

void SetControlState(HWND handle, std::shared_ptr<void> state) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  if (Window* window = core->Find(handle)) window->controlState = std::move(state);
}

void CheckAutoRadio(HWND button) {
  std::vector<HWND> group;
  {
    auto core = CurrentCore();
    std::lock_guard lock(core->mutex);
    const Window* window = core->Find(button);
    const Window* parent = window ? core->Find(window->parent) : nullptr;
    if (!parent) return;
    const auto& siblings = parent->children;
    const auto it = std::find(siblings.begin(), siblings.end(), button);
    auto grouped = [&](HWND h) {
      const Window* w = core->Find(h);
      return w && (w->style & WS_GROUP);
    };
    auto first = it;
    while (first != siblings.begin() && !grouped(*first)) --first;
    auto last = it + 1;
    while (last != siblings.end() && !grouped(*last)) ++last;
    for (auto w = first; w != last; ++w) {
      const Window* sibling = core->Find(*w);
      if (sibling && EqualsIgnoreAsciiCase(sibling->cls->name, WC_BUTTON) &&
          (sibling->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
        group.push_back(*w);
    }
  }
  for (HWND w : group) SendMessageW(w, BM_SETCHECK, w == button ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kq::user

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
  if (!IsWindow(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  for (int id = firstId; id <= lastId; ++id) {
    if (HWND button = GetDlgItem(dialog, id))
      SendMessageW(button, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) return FALSE;
  SendMessageW(button, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  WCHAR text[64] = {};
  if (!GetDlgItemTextW(dialog, id, text, 64)) return 0;
  const WCHAR* p = text;
  while (*p == u' ' || *p == u'\t') ++p;
  bool negative = false;
  if (isSigned && (*p == u'-' || *p == u'+')) negative = *p++ == u'-';
  if (*p < u'0' || *p > u'9') return 0;
  long long value = 0;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    value = value * 10 + (*p - u'0');
    if (value > 0xFFFFFFFFLL) return 0;
  }
  while (*p == u' ' || *p == u'\t') ++p;
  if (*p) return 0;
  if (isSigned && (negative ? -value < INT32_MIN : value > INT32_MAX)) return 0;
  if (translated) *translated = TRUE;
  return static_cast<UINT>(negative ? -value : value);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  const kq::WString text =
      isSigned ? kq::FormatWideString(u"%d", static_cast<int>(value)) : kq::FormatWideString(u"%u", value);
  return SetDlgItemTextW(dialog, id, text.c_str());
}
