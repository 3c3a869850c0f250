// The plug-in's exports, its menu items in the reader's File menu, the "Email" drop-down, the language change and
// the page commands.
#include <vector>

#include "pictures.h"
#include "plugin_state.h"
#include "sarnoth/sarnoth.h"
#include "sarnoth/service.h"
#include "win/menus.h"
#include "win/paint.h"
#include "win/shellapi.h"
#include "win/synchapi.h"
#include "win/user.h"

namespace sarnoth {

namespace r = kq::reader;

namespace {

constexpr const char* kFileTitle = "&File";
constexpr const char* kCloseTitle = "&Close\tCtrl+W";
constexpr const char* kToolbarName = "File";
constexpr const char* kButtonName = "Email";
constexpr std::uint32_t kEntryColour = 0xFF00;
// How long QV_FreePlugin waits for each of the upload's threads to end.
constexpr DWORD kStopBound = 10000;

template <class Fn>
Fn Call(r::InterfaceTable* table, std::size_t offset) {
  return r::Entry<Fn>(*table, offset);
}

std::uint32_t Code(void (*function)()) { return r::CodeAddressOf(function); }
std::uint32_t Code(int (*function)()) { return r::CodeAddressOf(reinterpret_cast<r::Callback>(function)); }

void OpenPage(bool secure, const char* path) { OpenAddress(ServiceAddress(secure, path)); }

// A new item from a record: built, handed to the host, and the record freed.
Handle32 NewItem(r::InterfaceTable* menu, const r::MenuItemFields& fields, Handle32 submenu = 0) {
  const auto record = std::make_unique<std::array<std::uint8_t, r::kMenuItemSize>>(r::EncodeMenuItem(fields));
  return Call<r::menu::NewItemFn>(menu, r::menu::kNewItem)(record->data(), submenu);
}

Handle32 NewSeparator(r::InterfaceTable* menu) {
  r::MenuItemFields separator;
  separator.separator = true;
  return NewItem(menu, separator);
}

// The item setup inside the File menu; false when the menu bar has no "&File" item.
bool AddMenuItems(r::InterfaceTable* app, r::InterfaceTable* menu);

// The "Email" popup of menu resource 103.
HMENU LoadEmailMenu() {
  HMENU bar = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuA(popup, MF_STRING, kSendCommandId, "Send using Vendrel Account");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "Email");
  return bar;
}

void CloseThreadHandle(std::atomic<HANDLE>& slot) {
  if (HANDLE thread = slot.exchange(nullptr)) {
    WaitForSingleObject(thread, kStopBound);
    CloseHandle(thread);
  }
}

}  // namespace

void OpenAddress(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

r::InterfaceTable* Query(std::uint32_t number) {
  auto* host = State().host.load();
  if (!host) return nullptr;
  r::InterfaceTable* table = nullptr;
  reinterpret_cast<r::HostQueryFn>(host->slots[0])({0, 0, number}, &table);
  return table;
}

std::string Title(UINT id) {
  auto* lang = Query(r::kLangInterface);
  const Handle32 language = State().language.load();
  if (!lang || !language) return OwnString(id, r::lang::kStringBufferSize);
  char buffer[r::lang::kStringBufferSize] = {};
  Call<r::lang::StringFn>(lang, r::lang::kString)(language, id, buffer, sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

HWND MainWindow(r::InterfaceTable* app) {
  if (!app) return nullptr;
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(Call<r::app::MainWindowFn>(app, r::app::kMainWindow)()));
}

namespace {

bool AddMenuItems(r::InterfaceTable* app, r::InterfaceTable* menu) {
  const Handle32 bar = Call<r::app::MenuBarFn>(app, r::app::kMenuBar)();
  const Handle32 file = Call<r::menu::FindTitleFn>(menu, r::menu::kFindTitle)(bar, kFileTitle);
  if (!file) return false;
  const Handle32 fileMenu = Call<r::menu::SubmenuOfFn>(menu, r::menu::kSubmenuOf)(file);
  if (!fileMenu) return true;
  const Handle32 close = Call<r::menu::FindTitleFn>(menu, r::menu::kFindTitle)(fileMenu, kCloseTitle);
  const std::int32_t at = Call<r::menu::IndexOfFn>(menu, r::menu::kIndexOf)(fileMenu, close);
  if (at == -1) return true;

  auto insert = Call<r::menu::InsertFn>(menu, r::menu::kInsert);
  auto& items = State().items;
  // Each goes in at the same index, so they end up in the reverse order of insertion above "&Close".
  insert(fileMenu, NewSeparator(menu), at);
  const Handle32 submenu = Call<r::menu::NewSubmenuFn>(menu, r::menu::kNewSubmenu)();
  items[kSubmenuItem] = NewItem(menu, {"Vendrel", Title(kStringSubmenuTitle)}, submenu);
  insert(fileMenu, items[kSubmenuItem], at);
  insert(fileMenu, NewSeparator(menu), at);

  const std::uint32_t enabled = Code(&HasActiveDocument);
  struct Entry {
    TitledItem kept;
    const char* name;
    UINT title;
    void (*command)();
    std::uint32_t enabled;
  } const entries[] = {
      {kSaveItem, "Save to Vendrel Account...", kStringSaveTitle, &SaveToAccount, enabled},
      {kSendItem, "Send using Vendrel Account...", kStringSendTitle, &SendUsingAccount, enabled},
      {kTitledItems, nullptr, 0, nullptr, 0},  // a separator
      {kOverviewItem, "Vendrel OverView", kStringOverviewTitle, &OpenOverviewPage, 0},
      {kAccountItem, "Create a New Account", kStringAccountTitle, &OpenCreateAccountPage, 0},
      {kSignInItem, "Sign in to Vendrel", kStringSignInTitle, &OpenSignInPage, 0},
      {kHelpItem, "Help", kStringHelpTitle, &OpenHelpPage, 0},
  };
  for (const auto& entry : entries) {
    if (!entry.name) {
      insert(submenu, NewSeparator(menu), -1);
      continue;
    }
    const Handle32 item = NewItem(menu, {entry.name, Title(entry.title), false, Code(entry.command), entry.enabled});
    items[entry.kept] = item;
    insert(submenu, item, -1);
  }
  return true;
}

}  // namespace

}  // namespace sarnoth

using namespace sarnoth;

extern "C" {

int HasActiveDocument() {
  auto* app = Query(r::kAppInterface);
  return app && Call<r::app::ActiveDocumentFn>(app, r::app::kActiveDocument)() != 0 ? 1 : 0;
}

void OpenOverviewPage() { OpenPage(false, "/enterpriseedition.asp"); }
void OpenCreateAccountPage() { OpenPage(false, "/createlogin.asp"); }
void OpenSignInPage() { OpenPage(true, "/login.asp"); }
void OpenHelpPage() { OpenPage(false, "/help/help.asp"); }

void OnLanguageChanged() {
  auto& state = State();
  auto* lang = Query(r::kLangInterface);
  if (lang && state.language) {
    Call<r::lang::SelectFn>(lang, r::lang::kSelect)(state.language,
                                                    Call<r::lang::CurrentFn>(lang, r::lang::kCurrent)());
  }
  auto* menu = Query(r::kMenuInterface);
  if (!menu) return;
  const std::pair<TitledItem, UINT> order[] = {
      {kSaveItem, kStringSaveTitle},         {kSendItem, kStringSendTitle},
      {kSubmenuItem, kStringSubmenuTitle},   {kOverviewItem, kStringOverviewTitle},
      {kAccountItem, kStringAccountTitle},   {kSignInItem, kStringSignInTitle},
      {kHelpItem, kStringHelpTitle}};
  for (const auto& [kept, id] : order) {
    const Handle32 item = state.items[kept];
    if (!item) continue;  // never made: nothing to re-title
    const std::string title = Title(id);
    Call<r::menu::SetTitleFn>(menu, r::menu::kSetTitle)(item, title.c_str());
  }
}

std::uint32_t EmailDropDown(std::uint32_t, std::int32_t x, std::uint32_t, std::uint32_t, std::int32_t y) {
  auto* app = Query(r::kAppInterface);
  if (!State().emailButton || !app) return 0;
  HMENU menu = LoadEmailMenu();
  if (auto* lang = Query(r::kLangInterface); lang && State().language)
    Call<r::lang::TranslateMenuFn>(lang, r::lang::kTranslateMenu)(State().language,
                                                                   reinterpret_cast<std::uintptr_t>(menu),
                                                                   kEmailMenuId);
  HMENU popup = GetSubMenu(menu, 0);
  const BOOL chosen = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VERTICAL, x, y, 0, MainWindow(app),
                                     nullptr);
  if (static_cast<UINT>(chosen) == kSendCommandId) SendUsingAccount();
  DestroyMenu(menu);
  return 0;
}

int QV_InitPlugin(r::HostTable* host) {
  auto& state = State();
  state.host = host;
  auto* app = Query(r::kAppInterface);
  if (!app) return 0;

  if (auto* lang = Query(r::kLangInterface)) {
    state.language = Call<r::lang::RegisterFn>(lang, r::lang::kRegister)(reinterpret_cast<std::uintptr_t>(state.module));
    Call<r::lang::SelectFn>(lang, r::lang::kSelect)(state.language, Call<r::lang::CurrentFn>(lang, r::lang::kCurrent)());
  }

  if (auto* menu = Query(r::kMenuInterface); menu && !AddMenuItems(app, menu)) return 0;

  auto* toolbar = Query(r::kToolbarInterface);
  const Handle32 fileBar = Call<r::app::ToolbarFn>(app, r::app::kToolbar)(kToolbarName);
  if (toolbar && fileBar) {
    const Handle32 button = Call<r::toolbar::ButtonFn>(toolbar, r::toolbar::kButton)(fileBar, kButtonName);
    if (button && Call<r::toolbar::IndexOfFn>(toolbar, r::toolbar::kIndexOf)(fileBar, button) >= 0) {
      Call<r::toolbar::SetStyleFn>(toolbar, r::toolbar::kSetStyle)(button, r::toolbar::kDropDownStyle);
      state.emailButton = button;
      Call<r::toolbar::SetDropDownFn>(toolbar, r::toolbar::kSetDropDown)(
          button, r::CodeAddressOf(reinterpret_cast<r::Callback>(&EmailDropDown)));
    }
  }

  // The picture stays the host's for as long as the plug-in is loaded.
  const HBITMAP picture = LoadBitmapA(State().module, MAKEINTRESOURCEA(kEntryBitmap));
  if (HBITMAP previous = State().entryPicture.exchange(picture)) DeleteObject(reinterpret_cast<HGDIOBJ>(previous));
  Call<r::app::RegisterEntryFn>(app, r::app::kRegisterEntry)(
      "Vendrel", "Vendrel", "Store, share, collaborate on documents online.",
      static_cast<Handle32>(reinterpret_cast<std::uintptr_t>(picture)), kEntryColour, Code(&OpenOverviewPage));

  const auto events = r::EncodeEventRecord(Code(&OnLanguageChanged));
  Call<r::app::RegisterEventsFn>(app, r::app::kRegisterEvents)(events.data());
  return 1;
}

const char* QV_GetPluginVersion() { return "1.1"; }

int QV_FreePlugin() {
  auto& state = State();
  // The upload's threads are asked to stop (the tool is ended), then waited for: none may run on after unload.
  CancelUpload();
  CloseThreadHandle(state.workerThread);
  CloseThreadHandle(state.windowThread);
  UnregisterUploadingWindowClass();
  if (HBITMAP picture = state.entryPicture.exchange(nullptr)) DeleteObject(reinterpret_cast<HGDIOBJ>(picture));
  state.emailButton = 0;
  for (auto& item : state.items) item = 0;
  const Handle32 language = state.language.exchange(0);
  if (!language) return 0;
  auto* lang = Query(r::kLangInterface);
  if (!lang) return 0;
  return Call<r::lang::ReleaseFn>(lang, r::lang::kRelease)(language);
}

}  // extern "C"
