// The reader application: its menus, toolbars, documents and languages, and the interface tables it offers its
// plug-ins. Plug-in callbacks are called with no lock held, since they call back into the reader.
#include "win/reader_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "win/machine.h"
#include "win/menus.h"
#include "win/string_table.h"
#include "win/user.h"

namespace kq::reader {

namespace {

// The reader running on a machine, which the interface tables act on.
struct RunningReader {
  explicit RunningReader(Machine&) {}
  std::atomic<ReaderApp*> app{nullptr};
};

constexpr const char* kCloseTitle = "&Close\tCtrl+W";

// A title as the person reads it: without the '&' of mnemonics, up to the tab before a shortcut.
std::string Shown(std::string_view title) {
  std::string shown;
  for (std::size_t i = 0; i < title.size() && title[i] != '\t'; ++i) {
    if (title[i] == '&' && i + 1 < title.size() && title[i + 1] != '&') continue;
    shown += title[i];
  }
  return shown;
}

bool SameShown(std::string_view a, std::string_view b) {
  const auto x = Shown(a), y = Shown(b);
  return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                    [](char p, char q) { return std::tolower(static_cast<unsigned char>(p)) ==
                                                std::tolower(static_cast<unsigned char>(q)); });
}

// Copies text into a caller's buffer of `size` bytes, cut to fit and terminated.
void CopyOut(const std::string& text, char* buffer, std::uint32_t size) {
  if (!buffer || size == 0) return;
  const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  text.copy(buffer, n);
  buffer[n] = '\0';
}

}  // namespace

struct ReaderApp::State {
  struct Node {
    std::string name, title;
    bool separator = false;
    std::uint32_t command = 0, enabled = 0;
    Handle32 submenu = 0;
  };
  struct Toolbar {
    std::string name;
    std::vector<Handle32> buttons;
  };
  struct ToolButton {
    std::string name;
    std::uint32_t style = 0, dropDown = 0;
  };
  struct Language {
    HINSTANCE module = nullptr;
    std::uint32_t language = kEnglish;
  };

  mutable std::recursive_mutex mutex;
  Handle32 next = 0x1000;
  std::map<Handle32, Node> items;
  std::map<Handle32, std::vector<Handle32>> menus;
  Handle32 menuBar = 0;
  std::map<Handle32, Toolbar> toolbars;
  std::map<Handle32, ToolButton> buttons;
  std::map<Handle32, std::string> documents;
  std::uint32_t language = kEnglish;
  std::map<std::uint32_t, LanguagePack> packs;
  std::map<Handle32, Language> languages;
  std::vector<std::uint32_t> languageCallbacks;

  Handle32 NewHandle() { return next += 4; }
  Handle32 NewMenu() {
    const Handle32 menu = NewHandle();
    menus[menu];
    return menu;
  }
  Handle32 AddItem(Handle32 menu, Node node) {
    const Handle32 item = NewHandle();
    items[item] = std::move(node);
    menus[menu].push_back(item);
    return item;
  }
  Handle32 FindShown(Handle32 menu, std::string_view title) const {
    auto it = menus.find(menu);
    if (it == menus.end()) return 0;
    for (Handle32 item : it->second)
      if (!items.at(item).separator && SameShown(items.at(item).title, title)) return item;
    return 0;
  }
  // The menu along a path of shown titles; 0 when the path leads nowhere.
  Handle32 MenuAt(const std::vector<std::string>& path, std::size_t length) const {
    Handle32 menu = menuBar;
    for (std::size_t i = 0; i < length && menu; ++i) {
      const Handle32 item = FindShown(menu, path[i]);
      menu = item ? items.at(item).submenu : 0;
    }
    return menu;
  }
  std::string Text(Handle32 languageHandle, std::uint32_t id) const {
    auto reg = languages.find(languageHandle);
    if (reg == languages.end()) return {};
    if (auto pack = packs.find(reg->second.language); pack != packs.end())
      if (auto text = pack->second.strings.find(id); text != pack->second.strings.end()) return text->second;
    char buffer[256] = {};
    LoadStringA(reg->second.module, id, buffer, sizeof buffer);
    return buffer;
  }
};

// The interface tables' entries: each finds the running reader and acts on its state.
struct HostCalls {
  static ReaderApp* App() { return CurrentMachine().Service<RunningReader>().app.load(); }
  static ReaderApp::State* S() { return App() ? App()->state_.get() : nullptr; }
  using Lock = std::lock_guard<std::recursive_mutex>;

  static std::uint32_t Query(InterfaceNumber number, InterfaceTable** table) {
    if (!table) return 0;
    *table = nullptr;
    auto* app = App();
    if (!app || number.a != 0 || number.b != 0) return 0;
    const auto& o = app->options_;
    switch (number.number) {
      case kAppInterface: *table = o.appInterface ? &AppTable() : nullptr; break;
      case kDocInterface: *table = o.docInterface ? &DocTable() : nullptr; break;
      case kMenuInterface: *table = o.menuInterface ? &MenuTable() : nullptr; break;
      case kToolbarInterface: *table = o.toolbarInterface ? &ToolbarTable() : nullptr; break;
      case kLangInterface: *table = o.langInterface ? &LangTable() : nullptr; break;
      default: break;
    }
    return *table ? 1 : 0;
  }

  // ---- Application ----
  static Handle32 MainWindow() {
    auto* app = App();
    return app ? static_cast<Handle32>(reinterpret_cast<std::uintptr_t>(app->mainWindow_)) : 0;
  }
  static Handle32 ActiveDocument() { return App() ? App()->activeDocument_ : 0; }
  static void RegisterEvents(const std::uint8_t* record) {
    auto* app = App();
    std::uint32_t callback = 0;
    if (!app || !DecodeEventRecord(record, callback)) return;
    std::array<std::uint8_t, kEventRecordSize> bytes;
    std::copy_n(record, kEventRecordSize, bytes.begin());
    Lock lock(app->state_->mutex);
    app->eventRecords_.push_back(bytes);
    app->state_->languageCallbacks.push_back(callback);
  }
  static Handle32 MenuBar() { return S() ? S()->menuBar : 0; }
  static Handle32 Toolbar(const char* name) {
    auto* s = S();
    if (!s || !name) return 0;
    Lock lock(s->mutex);
    for (const auto& [handle, toolbar] : s->toolbars)
      if (toolbar.name == name) return handle;
    return 0;
  }
  static void RegisterEntry(const char* name, const char* title, const char* description, Handle32 bitmap,
                            std::uint32_t colour, std::uint32_t callback) {
    auto* app = App();
    if (!app) return;
    Lock lock(app->state_->mutex);
    app->pluginEntries_.push_back(
        {name ? name : "", title ? title : "", description ? description : "", bitmap, colour, callback});
  }

  // ---- Documents ----
  static std::uint32_t DocumentPath(Handle32 document, char* buffer, std::uint32_t size) {
    auto* s = S();
    if (!s) return 0;
    Lock lock(s->mutex);
    auto it = s->documents.find(document);
    if (it == s->documents.end()) return 0;
    const auto needed = static_cast<std::uint32_t>(it->second.size() + 1);
    const auto answer = App()->options_.pathAnswer;
    if (answer == ReaderOptions::PathAnswer::SizeZero) return 0;
    if (!buffer) return needed;
    if (answer == ReaderOptions::PathAnswer::Unterminated) {
      std::fill_n(buffer, size, 'x');
      return size;
    }
    CopyOut(it->second, buffer, size);
    return std::min(needed, size);
  }

  // ---- Menus ----
  static Handle32 NewSubmenu() {
    auto* s = S();
    if (!s) return 0;
    Lock lock(s->mutex);
    return s->NewMenu();
  }
  static std::int32_t IndexOf(Handle32 menu, Handle32 item) {
    auto* s = S();
    if (!s) return -1;
    Lock lock(s->mutex);
    auto it = s->menus.find(menu);
    if (it == s->menus.end()) return -1;
    auto at = std::find(it->second.begin(), it->second.end(), item);
    return at == it->second.end() ? -1 : static_cast<std::int32_t>(at - it->second.begin());
  }
  static void Insert(Handle32 menu, Handle32 item, std::int32_t index) {
    auto* s = S();
    if (!s) return;
    Lock lock(s->mutex);
    auto it = s->menus.find(menu);
    if (it == s->menus.end() || !s->items.count(item)) return;
    auto& list = it->second;
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
      list.push_back(item);
    else
      list.insert(list.begin() + index, item);
  }
  static Handle32 FindTitle(Handle32 menu, const char* title) {
    auto* s = S();
    if (!s || !title) return 0;
    Lock lock(s->mutex);
    auto it = s->menus.find(menu);
    if (it == s->menus.end()) return 0;
    for (Handle32 item : it->second)
      if (!s->items.at(item).separator && s->items.at(item).title == title) return item;
    return 0;
  }
  static Handle32 NewItem(const std::uint8_t* record, Handle32 submenu) {
    auto* app = App();
    MenuItemFields fields;
    if (!app || !DecodeMenuItem(record, fields)) return 0;
    auto& s = *app->state_;
    Lock lock(s.mutex);
    std::array<std::uint8_t, kMenuItemSize> bytes;
    std::copy_n(record, kMenuItemSize, bytes.begin());
    app->itemRecords_.push_back(bytes);
    const Handle32 item = s.NewHandle();
    s.items[item] = {fields.name, fields.title, fields.separator, fields.command, fields.enabled,
                     s.menus.count(submenu) ? submenu : 0};
    return item;
  }
  static Handle32 SubmenuOf(Handle32 item) {
    auto* s = S();
    if (!s) return 0;
    Lock lock(s->mutex);
    auto it = s->items.find(item);
    return it == s->items.end() ? 0 : it->second.submenu;
  }
  static void SetTitle(Handle32 item, const char* title) {
    auto* s = S();
    if (!s || !title) return;
    Lock lock(s->mutex);
    if (auto it = s->items.find(item); it != s->items.end()) it->second.title = title;
  }

  // ---- Toolbars ----
  static Handle32 Button(Handle32 toolbar, const char* name) {
    auto* s = S();
    if (!s || !name) return 0;
    Lock lock(s->mutex);
    auto it = s->toolbars.find(toolbar);
    if (it == s->toolbars.end()) return 0;
    for (Handle32 button : it->second.buttons)
      if (s->buttons.at(button).name == name) return button;
    return 0;
  }
  static std::int32_t ButtonIndex(Handle32 toolbar, Handle32 button) {
    auto* s = S();
    if (!s) return -1;
    Lock lock(s->mutex);
    auto it = s->toolbars.find(toolbar);
    if (it == s->toolbars.end()) return -1;
    auto at = std::find(it->second.buttons.begin(), it->second.buttons.end(), button);
    return at == it->second.buttons.end() ? -1 : static_cast<std::int32_t>(at - it->second.buttons.begin());
  }
  static void SetStyle(Handle32 button, std::uint32_t style) {
    auto* s = S();
    if (!s) return;
    Lock lock(s->mutex);
    if (auto it = s->buttons.find(button); it != s->buttons.end()) it->second.style = style;
  }
  static void SetDropDown(Handle32 button, std::uint32_t callback) {
    auto* s = S();
    if (!s) return;
    Lock lock(s->mutex);
    if (auto it = s->buttons.find(button); it != s->buttons.end()) it->second.dropDown = callback;
  }

  // ---- Languages ----
  static Handle32 RegisterLanguage(std::uint64_t module) {
    auto* s = S();
    if (!s) return 0;
    Lock lock(s->mutex);
    const Handle32 handle = s->NewHandle();
    s->languages[handle] = {reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(module)), s->language};
    return handle;
  }
  static std::int32_t ReleaseLanguage(Handle32 handle) {
    auto* s = S();
    if (!s) return 0;
    Lock lock(s->mutex);
    return s->languages.erase(handle) ? 1 : 0;
  }
  static std::uint32_t CurrentLanguage() { return S() ? S()->language : kEnglish; }
  static void SelectLanguage(Handle32 handle, std::uint32_t language) {
    auto* s = S();
    if (!s) return;
    Lock lock(s->mutex);
    if (auto it = s->languages.find(handle); it != s->languages.end()) it->second.language = language;
  }
  static void TranslateMenu(Handle32 handle, std::uint64_t menu, std::uint32_t) {
    auto* s = S();
    if (!s) return;
    LanguagePack pack;
    {
      Lock lock(s->mutex);
      auto reg = s->languages.find(handle);
      if (reg == s->languages.end()) return;
      auto it = s->packs.find(reg->second.language);
      if (it == s->packs.end()) return;
      pack = it->second;
    }
    TranslateMenuTexts(reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(menu)), pack);
  }
  static void TranslateMenuTexts(HMENU menu, const LanguagePack& pack) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
      WCHAR text[256] = {};
      GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      if (auto it = pack.menuTexts.find(Utf8FromWide(text)); it != pack.menuTexts.end()) {
        HMENU popup = GetSubMenu(menu, i);
        const UINT id = GetMenuItemID(menu, i);
        const auto wide = WideFromUtf8(it->second);
        ModifyMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | (popup ? MF_POPUP : MF_STRING),
                    popup ? reinterpret_cast<UINT_PTR>(popup) : id, wide.c_str());
      }
      if (HMENU popup = GetSubMenu(menu, i)) TranslateMenuTexts(popup, pack);
    }
  }
  static void String(Handle32 handle, std::uint32_t id, char* buffer, std::uint32_t size) {
    auto* s = S();
    if (!s) return;
    std::string text;
    {
      Lock lock(s->mutex);
      text = s->Text(handle, id);
    }
    CopyOut(text, buffer, size);
  }

  // ---- The tables ----
  template <class Fn>
  static void Put(InterfaceTable& table, std::size_t offset, Fn fn) {
    table.slots.at(SlotOf(offset)) = reinterpret_cast<Slot>(fn);
  }
  static InterfaceTable& AppTable() {
    static InterfaceTable table = [] {
      InterfaceTable t;
      Put(t, app::kMainWindow, &MainWindow);
      Put(t, app::kActiveDocument, &ActiveDocument);
      Put(t, app::kRegisterEvents, &RegisterEvents);
      Put(t, app::kMenuBar, &MenuBar);
      Put(t, app::kToolbar, &Toolbar);
      Put(t, app::kRegisterEntry, &RegisterEntry);
      return t;
    }();
    return table;
  }
  static InterfaceTable& DocTable() {
    static InterfaceTable table = [] {
      InterfaceTable t;
      Put(t, doc::kPath, &DocumentPath);
      return t;
    }();
    return table;
  }
  static InterfaceTable& MenuTable() {
    static InterfaceTable table = [] {
      InterfaceTable t;
      Put(t, menu::kNewSubmenu, &NewSubmenu);
      Put(t, menu::kIndexOf, &IndexOf);
      Put(t, menu::kInsert, &Insert);
      Put(t, menu::kFindTitle, &FindTitle);
      Put(t, menu::kNewItem, &NewItem);
      Put(t, menu::kSubmenuOf, &SubmenuOf);
      Put(t, menu::kSetTitle, &SetTitle);
      return t;
    }();
    return table;
  }
  static InterfaceTable& ToolbarTable() {
    static InterfaceTable table = [] {
      InterfaceTable t;
      Put(t, toolbar::kButton, &Button);
      Put(t, toolbar::kIndexOf, &ButtonIndex);
      Put(t, toolbar::kSetStyle, &SetStyle);
      Put(t, toolbar::kSetDropDown, &SetDropDown);
      return t;
    }();
    return table;
  }
  static InterfaceTable& LangTable() {
    static InterfaceTable table = [] {
      InterfaceTable t;
      Put(t, lang::kRegister, &RegisterLanguage);
      Put(t, lang::kRelease, &ReleaseLanguage);
      Put(t, lang::kCurrent, &CurrentLanguage);
      Put(t, lang::kSelect, &SelectLanguage);
      Put(t, lang::kTranslateMenu, &TranslateMenu);
      Put(t, lang::kString, &String);
      return t;
    }();
    return table;
  }
  static HostTable& Host() {
    static HostTable table{{reinterpret_cast<Slot>(&Query)}};
    return table;
  }
};

namespace {

LRESULT FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

constexpr const WCHAR* kFrameClass = u"KelvoReaderFrame";

}  // namespace

ReaderApp::ReaderApp(ReaderOptions options)
    : options_(options), machine_(CurrentMachineShared()), state_(std::make_unique<State>()) {
  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.lpszClassName = kFrameClass;
  RegisterClassW(&frameClass);  // already registered by an earlier reader of the process: that one serves
  mainWindow_ = CreateWindowExW(0, kFrameClass, u"Kelvo Reader", WS_OVERLAPPED, 0, 0, 1024, 768, nullptr,
                                nullptr, nullptr, nullptr);

  auto& s = *state_;
  s.menuBar = s.NewMenu();
  if (options_.fileMenu) {
    const Handle32 file = s.NewMenu();
    s.AddItem(s.menuBar, {"", "&File", false, 0, 0, file});
    s.AddItem(file, {"", "&Open...\tCtrl+O", false, 0, 0, 0});
    s.AddItem(file, {"", "Save &As...\tShift+Ctrl+S", false, 0, 0, 0});
    if (options_.closeItem) s.AddItem(file, {"", kCloseTitle, false, 0, 0, 0});
    s.AddItem(file, {"", "", true, 0, 0, 0});
    s.AddItem(file, {"", "E&xit\tCtrl+Q", false, 0, 0, 0});
  }
  s.AddItem(s.menuBar, {"", "&View", false, 0, 0, s.NewMenu()});
  s.AddItem(s.menuBar, {"", "&Help", false, 0, 0, s.NewMenu()});
  if (options_.fileToolbar) {
    const Handle32 toolbar = s.NewHandle();
    auto& bar = s.toolbars[toolbar];
    bar.name = "File";
    std::vector<std::string> names{"Open", "Save", "Print"};
    if (options_.emailButton) names.push_back("Email");
    for (const auto& name : names) {
      const Handle32 button = s.NewHandle();
      s.buttons[button].name = name;
      bar.buttons.push_back(button);
    }
  }
  machine_->Service<RunningReader>().app.store(this);
}

ReaderApp::~ReaderApp() {
  FreePlugin();
  ReaderApp* self = this;
  machine_->Service<RunningReader>().app.compare_exchange_strong(self, nullptr);
  if (mainWindow_) DestroyWindow(mainWindow_);
}

bool ReaderApp::LoadPlugin(const std::filesystem::path& library, std::string& error) {
  if (library_) {
    error = "a plug-in is loaded already";
    return false;
  }
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = why ? why : "cannot load " + library.string();
    return false;
  }
  auto init = reinterpret_cast<int (*)(HostTable*)>(dlsym(handle, "QV_InitPlugin"));
  if (!init || !dlsym(handle, "QV_FreePlugin") || !dlsym(handle, "QV_GetPluginVersion")) {
    error = library.string() + " is no reader plug-in (an export is missing)";
    dlclose(handle);
    return false;
  }
  library_ = handle;
  initResult_ = init(&HostCalls::Host());
  return true;
}

std::string ReaderApp::PluginVersion() const {
  if (!library_) return {};
  auto version = reinterpret_cast<const char* (*)()>(dlsym(library_, "QV_GetPluginVersion"));
  const char* text = version ? version() : nullptr;
  return text ? text : "";
}

std::optional<int> ReaderApp::FreePlugin() {
  if (!library_) return std::nullopt;
  auto free = reinterpret_cast<int (*)()>(dlsym(library_, "QV_FreePlugin"));
  const int result = free ? free() : 0;
  dlclose(library_);
  library_ = nullptr;
  // The plug-in's menu items, buttons and event records go with it.
  std::lock_guard lock(state_->mutex);
  state_->languageCallbacks.clear();
  for (auto& [handle, node] : state_->items) node.command = node.enabled = 0;
  for (auto& [handle, button] : state_->buttons) button.dropDown = 0;
  return result;
}

Handle32 ReaderApp::OpenDocument(const std::string& windowsPath) {
  std::lock_guard lock(state_->mutex);
  const Handle32 document = state_->NewHandle();
  state_->documents[document] = windowsPath;
  activeDocument_ = document;
  return document;
}

void ReaderApp::CloseDocument() {
  std::lock_guard lock(state_->mutex);
  state_->documents.erase(activeDocument_);
  activeDocument_ = 0;
}

ReaderApp::Pick ReaderApp::PickMenuItem(const std::vector<std::string>& path) {
  if (path.empty()) return Pick::NotFound;
  State::Node node;
  {
    std::lock_guard lock(state_->mutex);
    const Handle32 menu = state_->MenuAt(path, path.size() - 1);
    const Handle32 item = menu ? state_->FindShown(menu, path.back()) : 0;
    if (!item) return Pick::NotFound;
    node = state_->items.at(item);
  }
  if (node.submenu) return Pick::NoCommand;
  if (node.enabled) {
    auto enabled = reinterpret_cast<EnabledFn>(FunctionAt(node.enabled));
    if (enabled && !enabled()) return Pick::Disabled;
  }
  if (node.command) {
    if (auto command = reinterpret_cast<CommandFn>(FunctionAt(node.command))) command();
    return Pick::Done;
  }
  // The reader's own items.
  if (node.title == kCloseTitle) {
    CloseDocument();
    return Pick::Done;
  }
  return Pick::NoCommand;
}

bool ReaderApp::PressDropDown(const std::string& toolbar, const std::string& button, int x, int y) {
  std::uint32_t callback = 0;
  Handle32 handle = 0;
  {
    std::lock_guard lock(state_->mutex);
    const Handle32 bar = HostCalls::Toolbar(toolbar.c_str());
    handle = bar ? HostCalls::Button(bar, button.c_str()) : 0;
    if (!handle) return false;
    const auto& state = state_->buttons.at(handle);
    if (state.style != toolbar::kDropDownStyle) return false;
    callback = state.dropDown;
  }
  auto dropDown = reinterpret_cast<DropDownFn>(FunctionAt(callback));
  if (!dropDown) return false;
  dropDown(handle, x, 0, 0, y);
  return true;
}

void ReaderApp::SetLanguage(std::uint32_t language) {
  std::vector<std::uint32_t> callbacks;
  {
    std::lock_guard lock(state_->mutex);
    state_->language = language;
    callbacks = state_->languageCallbacks;
  }
  for (std::uint32_t address : callbacks)
    if (auto callback = reinterpret_cast<CommandFn>(FunctionAt(address))) callback();
}

void ReaderApp::AddLanguage(std::uint32_t language, LanguagePack pack) {
  std::lock_guard lock(state_->mutex);
  state_->packs[language] = std::move(pack);
}

std::optional<std::vector<MenuEntry>> ReaderApp::Menu(const std::vector<std::string>& path) const {
  std::vector<std::pair<Handle32, State::Node>> nodes;
  {
    std::lock_guard lock(state_->mutex);
    const Handle32 menu = state_->MenuAt(path, path.size());
    if (!menu) return std::nullopt;
    for (Handle32 item : state_->menus.at(menu)) nodes.emplace_back(item, state_->items.at(item));
  }
  std::vector<MenuEntry> entries;
  for (const auto& [item, node] : nodes) {
    bool enabled = true;
    if (auto fn = reinterpret_cast<EnabledFn>(FunctionAt(node.enabled))) enabled = fn() != 0;
    entries.push_back({item, node.name, node.title, node.separator, enabled, node.submenu});
  }
  return entries;
}

std::optional<ReaderApp::ButtonState> ReaderApp::Button(const std::string& toolbar, const std::string& button) const {
  std::lock_guard lock(state_->mutex);
  for (const auto& [handle, bar] : state_->toolbars) {
    if (bar.name != toolbar) continue;
    for (Handle32 b : bar.buttons)
      if (state_->buttons.at(b).name == button) return ButtonState{state_->buttons.at(b).style,
                                                                   state_->buttons.at(b).dropDown};
  }
  return std::nullopt;
}

std::size_t ReaderApp::LanguageRegistrations() const {
  std::lock_guard lock(state_->mutex);
  return state_->languages.size();
}

}  // namespace kq::reader
