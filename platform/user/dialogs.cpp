#include "core.h"
#include "window_ports.h"
#include "win/dialog_templates.h"

using kq::user::Core;
using kq::user::CurrentCore;
using kq::user::Window;

namespace {

// Pixels per dialog unit follow the template font's size, as a 96-dpi screen shows it.
struct BaseUnits {
  int x, y;
};
BaseUnits UnitsFor(WORD pointSize) {
  const int y = ((pointSize ? pointSize : 8) * 5 + 1) / 3;
  return {y * 6 / 13, y};
}

RECT ToPixels(BaseUnits units, SHORT x, SHORT y, SHORT cx, SHORT cy) {
  const LONG left = x * units.x / 4, top = y * units.y / 8;
  return RECT{left, top, left + cx * units.x / 4, top + cy * units.y / 8};
}

bool ReturnsValueDirectly(UINT message) {
  // Messages whose answer is the dialog procedure's own result rather than DWLP_MSGRESULT.
  return message == WM_INITDIALOG || (message >= 0x0132 && message <= 0x0138);  // the WM_CTLCOLOR* messages
}

}  // namespace

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam) {
  const kq::DialogTemplate* dialog = kq::FindDialogTemplate(instance, templateName);
  if (!dialog) return nullptr;
  const BaseUnits units = UnitsFor(dialog->pointSize);
  RECT r = ToPixels(units, dialog->x, dialog->y, dialog->cx, dialog->cy);
  if (dialog->style & DS_CENTER) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    r = RECT{(sw - w) / 2, (sh - h) / 2, (sw - w) / 2 + w, (sh - h) / 2 + h};
  } else if (parent && !(dialog->style & WS_CHILD)) {
    RECT owner;
    if (GetWindowRect(parent, &owner)) r = RECT{r.left + owner.left, r.top + owner.top, r.right + owner.left,
                                                r.bottom + owner.top};
  }
  HWND handle = CreateWindowExW(dialog->exStyle, WC_DIALOG, dialog->caption, dialog->style & ~WS_VISIBLE, r.left,
                                r.top, r.right - r.left, r.bottom - r.top, parent, nullptr, instance, nullptr);
  if (!handle) return nullptr;
  SetWindowLongPtrW(handle, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));

  HWND focus = nullptr;
  for (const auto& control : dialog->controls) {
    const RECT c = ToPixels(units, control.x, control.y, control.cx, control.cy);
    HWND child = CreateWindowExW(control.exStyle, control.className, control.text, control.style | WS_CHILD,
                                 c.left, c.top, c.right - c.left, c.bottom - c.top, handle,
                                 reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(control.id)), instance, nullptr);
    if (!child) {
      const DWORD error = GetLastError();
      DestroyWindow(handle);
      SetLastError(error);
      return nullptr;
    }
    if (!focus && (control.style & WS_TABSTOP)) focus = child;
  }
  SendMessageW(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), initParam);
  if (!IsWindow(handle)) return nullptr;
  if (dialog->style & WS_VISIBLE) ShowWindow(handle, SW_SHOWNORMAL);
  return handle;
}

namespace {

// What a person reads on a dialog, control by control: icons, texts and buttons.
std::string WhatItShows(Core& core, const Window& dialog) {
  std::string shown;
  for (HWND child : dialog.children) {
    const Window* control = core.Find(child);
    if (!control || !core.Visible(*control)) continue;
    std::string item;
    if (kq::EqualsIgnoreAsciiCase(control->cls->name, WC_STATIC) && (control->style & SS_TYPEMASK) == SS_ICON)
      item = kq::user::ReadExtra(*control, kq::user::kStaticIcon) ? "an icon" : "an empty icon";
    else if (kq::EqualsIgnoreAsciiCase(control->cls->name, WC_BUTTON))
      item = "[" + kq::Utf8FromWide(kq::user::PlainLabel(control->text)) + "]";
    else if (!control->text.empty())
      item = kq::user::Quote(control->text);
    if (!item.empty()) shown += (shown.empty() ? "" : ", ") + item;
  }
  return shown;
}

// The button a person presses to be done with the dialog: the default push button, else OK, else Cancel.
const Window* DoneButton(Core& core, const Window& dialog) {
  const Window* ok = nullptr;
  const Window* cancel = nullptr;
  for (HWND child : dialog.children) {
    const Window* control = core.Find(child);
    if (!control || !kq::EqualsIgnoreAsciiCase(control->cls->name, WC_BUTTON)) continue;
    if ((control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return control;
    if (control->id == IDOK) ok = control;
    if (control->id == IDCANCEL) cancel = control;
  }
  return ok ? ok : cancel;
}

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC procedure, LPARAM initParam) {
  HWND dialog = CreateDialogParamW(instance, templateName, parent, procedure, initParam);
  if (!dialog) return -1;
  ShowWindow(dialog, SW_SHOWNORMAL);
  auto core = CurrentCore();
  INT_PTR result = -1;
  int nudges = 0;  // what the person did to be done with it: pressed its button, then closed it
  for (;;) {
    {
      std::lock_guard lock(core->mutex);
      const Window* window = core->Find(dialog);
      if (!window) break;
      if (window->ended) {
        result = window->endResult;
        break;
      }
    }
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(dialog, &message)) DispatchMessageW(&message);
      continue;
    }
    // The dialog waits for the person.
    std::lock_guard lock(core->mutex);
    const Window* window = core->Find(dialog);
    if (!window || nudges == 2) break;
    if (nudges++ == 0) {
      kq::JournalEntry entry{kq::JournalEntry::Kind::Action, window->text, {}};
      entry.line = "person read " + kq::user::Quote(window->text) + ": " + WhatItShows(*core, *window);
      core->AddJournal(std::move(entry));
      const Window* button = DoneButton(*core, *window);
      if (button && core->PressButton(dialog, button->text, -1)) continue;
    }
    kq::JournalEntry entry{kq::JournalEntry::Kind::Action, window->text, u"Close"};
    entry.line = "person closed " + kq::user::Quote(window->text);
    core->AddJournal(std::move(entry));
    auto queue = core->FindQueue(window->thread);
    if (queue) core->Post(*queue, MSG{dialog, WM_CLOSE, 0, 0, 0, {}});
  }
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return result;
}

LRESULT DefDlgProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(handle, DWLP_DLGPROC));
  if (procedure) {
    const INT_PTR result = procedure(handle, message, wParam, lParam);
    if (result) {
      if (ReturnsValueDirectly(message)) return result;
      return IsWindow(handle) ? GetWindowLongPtrW(handle, DWLP_MSGRESULT) : 0;
    }
  }
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(handle, IDCANCEL);
      SendMessageW(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    default:
      return DefWindowProcW(handle, message, wParam, lParam);
  }
}

BOOL EndDialog(HWND handle, INT_PTR result) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  Window* window = core->FindOrReport(handle);
  if (!window) return FALSE;
  window->ended = true;
  window->endResult = result;
  core->SetVisible(*window, false);
  return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG message) {
  if (!message) return FALSE;
  {
    auto core = CurrentCore();
    std::lock_guard lock(core->mutex);
    if (!core->Find(dialog)) return FALSE;
    if (message->hwnd != dialog && !core->IsDescendant(dialog, message->hwnd)) return FALSE;
  }
  const bool navigationKey = message->wParam == VK_ESCAPE || message->wParam == VK_RETURN;
  if (message->message == WM_KEYDOWN && navigationKey) {
    const int id = message->wParam == VK_ESCAPE ? IDCANCEL : IDOK;
    const DWORD error = GetLastError();
    HWND button = GetDlgItem(dialog, id);
    SetLastError(error);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return TRUE;
  }
  if (message->message == WM_CHAR && navigationKey) return TRUE;
  DispatchMessageW(message);
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  auto core = CurrentCore();
  if (auto remote = core->ports->Remote(dialog)) return core->ports->DlgItem(*remote, id);
  std::lock_guard lock(core->mutex);
  const Window* window = core->FindOrReport(dialog);
  if (!window) return nullptr;
  for (HWND child : window->children) {
    if (const Window* c = core->Find(child); c && c->id == id) return child;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND control) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->FindOrReport(control);
  if (!window) return 0;
  return window->TopLevel() ? 0 : static_cast<int>(window->id);
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount) {
  if (buffer && maxCount > 0) buffer[0] = 0;
  HWND control = GetDlgItem(dialog, id);
  return control ? static_cast<UINT>(GetWindowTextW(control, buffer, maxCount)) : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageW(control, message, wParam, lParam) : 0;
}
