// The common printer property-sheet host and its sheet: pages made on their first visit, Apply to the pages made,
// and the simulated person's actions on the page shown.
#include <algorithm>
#include <memory>
#include <vector>

#include "core.h"
#include "win/dialog_templates.h"
#include "win/machine.h"
#include "win/prsht.h"
#include "win/sheet_person.h"
#include "win/stdctrls.h"

struct HPROPSHEETPAGE__ {
  PROPSHEETPAGEW page;
};

namespace kq {

void SheetPerson::Script(std::vector<SheetAction> actions) {
  std::lock_guard lock(mutex_);
  actions_.insert(actions_.end(), actions.begin(), actions.end());
}

std::optional<SheetAction> SheetPerson::NextAction() {
  std::lock_guard lock(mutex_);
  if (actions_.empty()) return std::nullopt;
  SheetAction action = actions_.front();
  actions_.pop_front();
  return action;
}

std::size_t SheetPerson::ActionsLeft() const {
  std::lock_guard lock(mutex_);
  return actions_.size();
}

void SheetPerson::CancelWhenStuck(bool cancel) {
  std::lock_guard lock(mutex_);
  cancelWhenStuck_ = cancel;
}

bool SheetPerson::CancelsWhenStuck() const {
  std::lock_guard lock(mutex_);
  return cancelWhenStuck_;
}

void SheetPerson::AnswerFolderBrowser(WString folder) {
  std::lock_guard lock(mutex_);
  folders_.emplace_back(std::move(folder));
}

void SheetPerson::CancelFolderBrowser() {
  std::lock_guard lock(mutex_);
  folders_.emplace_back(std::nullopt);
}

std::optional<WString> SheetPerson::NextFolderAnswer(WStringView title) {
  std::optional<WString> answer;
  bool scripted = false;
  {
    std::lock_guard lock(mutex_);
    if (!folders_.empty()) {
      answer = std::move(folders_.front());
      folders_.pop_front();
      scripted = true;
    }
  }
  auto core = user::CurrentCore();
  std::lock_guard lock(core->mutex);
  JournalEntry entry{JournalEntry::Kind::Action, WString(title), answer ? *answer : WString()};
  entry.scripted = scripted;
  entry.line = "folder browser " + user::Quote(title) + " -> " + (answer ? user::Quote(*answer) : "cancelled") +
               (scripted ? " (scripted)" : " (default)");
  core->AddJournal(std::move(entry));
  return answer;
}

}  // namespace kq

namespace {

using kq::SheetAction;
using kq::WString;
using kq::WStringView;

constexpr int kOkId = IDOK, kCancelId = IDCANCEL, kApplyId = 0x3021;

struct Page {
  std::unique_ptr<HPROPSHEETPAGE__> handle;
  HWND window = nullptr;
  WString caption;
};

// One sheet of the common host: the pages its contributors added, then the sheet itself while it is shown.
struct Host {
  std::vector<Page> pages;
  DWORD result = 0;
  HWND frame = nullptr;
  std::size_t shown = 0;
  HWND focus = nullptr;
  bool closed = false;
  bool ok = false;
};

void Journal(const std::string& line, WStringView what) {
  auto core = kq::user::CurrentCore();
  std::lock_guard lock(core->mutex);
  kq::JournalEntry entry{kq::JournalEntry::Kind::Action, {}, WString(what)};
  entry.line = line;
  core->AddJournal(std::move(entry));
}

LONG_PTR HostFunction(HANDLE hostHandle, UINT function, LPARAM lParam1, LPARAM lParam2) {
  auto* host = static_cast<Host*>(hostHandle);
  if (!host) return 0;
  switch (function) {
    case CPSFUNC_ADD_PROPSHEETPAGEW: {
      const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam1);
      if (!page || page->dwSize < sizeof(PROPSHEETPAGEW) || !page->pfnDlgProc) return 0;
      auto handle = std::make_unique<HPROPSHEETPAGE__>(HPROPSHEETPAGE__{*page});
      HPROPSHEETPAGE added = handle.get();
      host->pages.push_back(Page{std::move(handle)});
      return reinterpret_cast<LONG_PTR>(added);
    }
    case CPSFUNC_ADD_HPROPSHEETPAGE: {
      auto* handle = reinterpret_cast<HPROPSHEETPAGE>(lParam1);
      if (!handle) return 0;
      host->pages.push_back(Page{std::unique_ptr<HPROPSHEETPAGE__>(handle)});
      return reinterpret_cast<LONG_PTR>(handle);
    }
    case CPSFUNC_SET_RESULT:
      host->result = static_cast<DWORD>(lParam2);
      return 1;
    default:
      return 0;
  }
}

WString PageCaption(const PROPSHEETPAGEW& page) {
  if ((page.dwFlags & PSP_USETITLE) && page.pszTitle && !IS_INTRESOURCE(page.pszTitle)) return page.pszTitle;
  if (const kq::DialogTemplate* dialog = kq::FindDialogTemplate(page.hInstance, page.pszTemplate);
      dialog && dialog->caption)
    return dialog->caption;
  if (page.pszTemplate && !IS_INTRESOURCE(page.pszTemplate)) return page.pszTemplate;
  return {};
}

LRESULT Notify(Host& host, HWND page, UINT code) {
  PSHNOTIFY notice{{host.frame, 0, code}, 0};
  SetWindowLongPtrW(page, DWLP_MSGRESULT, 0);
  SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
  return IsWindow(page) ? GetWindowLongPtrW(page, DWLP_MSGRESULT) : 0;
}

// Shows page `index`, making it on its first visit. FALSE when it cannot be made.
bool ShowPage(Host& host, std::size_t index) {
  Page& page = host.pages[index];
  if (!page.window) {
    PROPSHEETPAGEW& description = page.handle->page;
    page.window = CreateDialogParamW(description.hInstance, description.pszTemplate, host.frame, description.pfnDlgProc,
                                     reinterpret_cast<LPARAM>(&description));
    if (!page.window) return false;
  }
  if (index != host.shown && host.pages[host.shown].window) {
    Notify(host, host.pages[host.shown].window, PSN_KILLACTIVE);
    ShowWindow(host.pages[host.shown].window, SW_HIDE);
  }
  host.shown = index;
  ShowWindow(page.window, SW_SHOW);
  Notify(host, page.window, PSN_SETACTIVE);
  return true;
}

void LeaveFocus(Host& host) {
  if (host.focus && IsWindow(host.focus)) SendMessageW(host.focus, WM_KILLFOCUS, 0, 0);
  host.focus = nullptr;
}

// Apply to every page made so far; false when a page refuses.
bool Apply(Host& host) {
  for (Page& page : host.pages) {
    if (page.window && Notify(host, page.window, PSN_APPLY) == PSNRET_INVALID) return false;
  }
  return true;
}

WString ClassOf(HWND window) {
  auto core = kq::user::CurrentCore();
  std::lock_guard lock(core->mutex);
  const kq::user::Window* w = core->Find(window);
  return w ? w->cls->name : WString();
}

WString TextOf(HWND window) {
  auto core = kq::user::CurrentCore();
  std::lock_guard lock(core->mutex);
  const kq::user::Window* w = core->Find(window);
  return w ? w->text : WString();
}

bool IsDigits(WStringView text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](WCHAR c) { return c >= u'0' && c <= u'9'; });
}

// The control `target` names on a page: by id, by a button's caption, or as the control after a label.
HWND FindControl(HWND page, WStringView target) {
  if (IsDigits(target)) {
    int id = 0;
    for (WCHAR c : target) id = id * 10 + (c - u'0');
    return GetDlgItem(page, id);
  }
  const WString wanted = kq::user::PlainLabel(target);
  for (HWND w = GetWindow(page, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!kq::EqualsIgnoreAsciiCase(kq::user::PlainLabel(TextOf(w)), wanted)) continue;
    if (kq::EqualsIgnoreAsciiCase(ClassOf(w), WC_STATIC)) return GetWindow(w, GW_HWNDNEXT);
    return w;
  }
  return nullptr;
}

bool Usable(HWND control) { return control && IsWindowVisible(control) && IsWindowEnabled(control); }

void NotifyParent(HWND control, WORD code) {
  const WORD id = static_cast<WORD>(GetDlgCtrlID(control));
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

std::string Quoted(WStringView text) { return kq::user::Quote(text); }

// What a control shows a person.
WString Shows(HWND control) {
  const WString cls = ClassOf(control);
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)) & BS_TYPEMASK;
  if (kq::EqualsIgnoreAsciiCase(cls, WC_BUTTON) && style != BS_PUSHBUTTON && style != BS_DEFPUSHBUTTON &&
      style != BS_GROUPBOX)
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? u"checked" : u"unchecked";
  if (kq::EqualsIgnoreAsciiCase(cls, WC_LISTBOX)) {
    const auto selected = SendMessageW(control, LB_GETCURSEL, 0, 0);
    if (selected < 0) return {};
    WString text(static_cast<std::size_t>(SendMessageW(control, LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0)),
                 u'\0');
    WString buffer(text.size() + 1, u'\0');
    SendMessageW(control, LB_GETTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.substr(0, text.size());
  }
  if (kq::EqualsIgnoreAsciiCase(cls, WC_LISTVIEW)) {
    WString checked;
    const auto count = SendMessageW(control, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      if (!ListView_GetCheckState(control, static_cast<int>(i))) continue;
      WCHAR text[260] = {};
      LVITEMW item{};
      item.pszText = text;
      item.cchTextMax = 260;
      SendMessageW(control, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      if (!checked.empty()) checked += u", ";
      checked += text;
    }
    return checked;
  }
  const auto length = GetWindowTextLengthW(control);
  WString text(static_cast<std::size_t>(length) + 1, u'\0');
  GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// Carries out one action; false (journaled) when the person could not.
bool Act(Host& host, const SheetAction& action) {
  using Kind = SheetAction::Kind;
  HWND page = host.pages[host.shown].window;
  const std::string where = " on " + Quoted(host.pages[host.shown].caption);
  auto couldNot = [&](const std::string& what) {
    Journal("person could not " + what + where, action.target);
    return false;
  };
  switch (action.kind) {
    case Kind::Visit: {
      LeaveFocus(host);
      std::size_t index = host.pages.size();
      if (IsDigits(action.target)) {
        std::size_t number = 0;
        for (WCHAR c : action.target) number = number * 10 + (c - u'0');
        if (number >= 1) index = number - 1;
      } else {
        for (std::size_t i = 0; i < host.pages.size(); ++i) {
          if (kq::EqualsIgnoreAsciiCase(host.pages[i].caption, action.target)) index = i;
        }
      }
      if (index >= host.pages.size() || !ShowPage(host, index))
        return couldNot("visit the page " + Quoted(action.target));
      Journal("person visited the page " + Quoted(host.pages[index].caption), action.target);
      return true;
    }
    case Kind::Apply:
    case Kind::Ok:
    case Kind::Cancel: {
      LeaveFocus(host);
      const char* name = action.kind == Kind::Apply ? "Apply" : action.kind == Kind::Ok ? "OK" : "Cancel";
      Journal(std::string("person pressed \"") + name + "\" in " + Quoted(TextOf(host.frame)), WString());
      if (action.kind == Kind::Cancel) {
        for (Page& p : host.pages) {
          if (p.window) Notify(host, p.window, PSN_RESET);
        }
        host.closed = true;
        host.ok = false;
      } else if (Apply(host) && action.kind == Kind::Ok) {
        host.closed = true;
        host.ok = true;
      }
      return true;
    }
    default:
      break;
  }

  HWND control = FindControl(page, action.target);
  if (action.kind == Kind::Read) {
    if (!control || !IsWindowVisible(control)) return couldNot("see the control " + Quoted(action.target));
    const WString shown = Shows(control) + (IsWindowEnabled(control) ? u"" : u" (disabled)");
    Journal("person read " + Quoted(shown) + " in " + Quoted(action.target) + where, shown);
    return true;
  }
  if (!Usable(control)) return couldNot("reach the control " + Quoted(action.target));
  const WString cls = ClassOf(control);
  if (control != host.focus) LeaveFocus(host);
  switch (action.kind) {
    case Kind::Click:
    case Kind::Check:
    case Kind::Uncheck:
      if (kq::EqualsIgnoreAsciiCase(cls, WC_BUTTON)) {
        const bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (action.kind == Kind::Click || checked != (action.kind == Kind::Check)) {
          Journal("person clicked " + Quoted(kq::user::PlainLabel(TextOf(control))) + where, action.target);
          SendMessageW(control, BM_CLICK, 0, 0);
        }
        return true;
      }
      if (kq::EqualsIgnoreAsciiCase(cls, WC_LISTVIEW) && action.kind != Kind::Click) {
        LVFINDINFOW find{LVFI_STRING, action.text.c_str(), 0, {}, 0};
        const auto item =
            SendMessageW(control, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find));
        if (item < 0) return couldNot("find " + Quoted(action.text) + " in " + Quoted(action.target));
        ListView_SetCheckState(control, static_cast<int>(item), action.kind == Kind::Check);
        Journal(std::string("person ") + (action.kind == Kind::Check ? "checked " : "unchecked ") +
                    Quoted(action.text) + where,
                action.text);
        return true;
      }
      return couldNot("click " + Quoted(action.target));
    case Kind::Type: {
      HWND edit = control;
      if (kq::EqualsIgnoreAsciiCase(cls, WC_COMBOBOX)) edit = GetDlgItem(control, kComboEditId);
      if (!edit || !kq::EqualsIgnoreAsciiCase(ClassOf(edit), WC_EDIT))
        return couldNot("type into " + Quoted(action.target));
      if (host.focus != edit) {
        LeaveFocus(host);
        SendMessageW(edit, WM_SETFOCUS, 0, 0);
        host.focus = edit;
      }
      const auto limit = static_cast<std::size_t>(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
      const WString typed = action.text.substr(0, limit);
      Journal("person typed " + Quoted(typed) + " into " + Quoted(action.target) + where, typed);
      SetWindowTextW(edit, typed.c_str());
      NotifyParent(edit, EN_CHANGE);
      return true;
    }
    case Kind::Pick: {
      const bool list = kq::EqualsIgnoreAsciiCase(cls, WC_LISTBOX);
      if (!list && !kq::EqualsIgnoreAsciiCase(cls, WC_COMBOBOX)) return couldNot("pick from " + Quoted(action.target));
      const auto item = SendMessageW(control, list ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(action.text.c_str()));
      if (item < 0) return couldNot("find " + Quoted(action.text) + " in " + Quoted(action.target));
      Journal("person picked " + Quoted(action.text) + " in " + Quoted(action.target) + where, action.text);
      SendMessageW(control, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(item), 0);
      NotifyParent(control, list ? LBN_SELCHANGE : CBN_SELCHANGE);
      return true;
    }
    default:
      return false;
  }
}

bool RunSheet(Host& host, HWND owner, WStringView caption) {
  // The sheet's frame is a dialog of its own, as people and programs find it.
  const int width = 480, height = 460;
  host.frame =
      CreateWindowExW(0, WC_DIALOG, WString(caption).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                      (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
                      height, owner, nullptr, nullptr, nullptr);
  if (!host.frame) return false;
  for (auto [id, text] : {std::pair{kOkId, u"OK"}, std::pair{kCancelId, u"Cancel"}, std::pair{kApplyId, u"&Apply"}}) {
    CreateWindowExW(0, WC_BUTTON, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 75, 23, host.frame,
                    reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(id)), nullptr, nullptr);
  }
  for (Page& page : host.pages) page.caption = PageCaption(page.handle->page);
  if (!ShowPage(host, 0)) {
    DestroyWindow(host.frame);
    return false;
  }
  ShowWindow(host.frame, SW_SHOWNORMAL);
  kq::SheetPerson& person = kq::CurrentMachine().Service<kq::SheetPerson>();
  while (!host.closed) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    std::optional<SheetAction> action = person.NextAction();
    if (!action) {
      Journal("person pressed \"OK\" in " + Quoted(caption) + " (default)", WString());
      LeaveFocus(host);
      if (Apply(host)) {
        host.ok = true;
      }
      host.closed = true;
      break;
    }
    if (!Act(host, *action) && person.CancelsWhenStuck()) Act(host, SheetAction{SheetAction::Kind::Cancel, {}, {}});
  }
  DestroyWindow(host.frame);
  return true;
}

}  // namespace

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
  if (!page || page->dwSize < sizeof(PROPSHEETPAGEW) || !page->pfnDlgProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return new HPROPSHEETPAGE__{*page};
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  delete page;
  return page ? TRUE : FALSE;
}

LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI contributor, LPARAM lParam, LPDWORD result, LPCWSTR caption) {
  if (result) *result = 0;
  if (!contributor) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERR_CPSUI_GETLASTERROR;
  }
  Host host;
  PROPSHEETUI_INFO info{sizeof(PROPSHEETUI_INFO),
                        PROPSHEETUI_INFO_VERSION,
                        0,
                        PROPSHEETUI_REASON_INIT,
                        &host,
                        HostFunction,
                        lParam,
                        0,
                        0};
  const LONG initialised = contributor(&info, lParam);
  bool shown = false;
  if (initialised > 0 && !host.pages.empty()) shown = RunSheet(host, owner, caption ? caption : u"Properties");
  info.Reason = PROPSHEETUI_REASON_DESTROY;
  info.Result = host.ok ? CPSUI_OK : CPSUI_CANCEL;
  contributor(&info, lParam);
  if (!shown) {
    SetLastError(initialised > 0 && !host.pages.empty() ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_INVALID_DATA);
    return ERR_CPSUI_GETLASTERROR;
  }
  if (result) *result = host.result;
  return host.ok ? CPSUI_OK : CPSUI_CANCEL;
}
