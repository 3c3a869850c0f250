// The reader application "Kelvo Reader" as its plug-ins see it: a main window, a menu bar whose "&File" menu holds
// "&Close\tCtrl+W", a "File" toolbar with an "Email" button, open documents, languages, and the interface tables of
// win/reader_plugin.h. It loads a plug-in library by path, calls QV_InitPlugin with its host table, and lets the
// simulated person pick menu items and drop-downs. One reader runs on a machine at a time; it acts on the machine
// bound to the thread that made it, and its plug-in's calls reach it on threads bound to that machine.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"
#include "win/reader_plugin.h"

namespace kq {
class Machine;
}

namespace kq::reader {

// Which interfaces and user-interface parts the reader offers; all by default.
struct ReaderOptions {
  bool appInterface = true;
  bool docInterface = true;
  bool menuInterface = true;
  bool toolbarInterface = true;
  bool langInterface = true;
  bool fileMenu = true;      // the menu bar's "&File" item
  bool closeItem = true;     // "&Close\tCtrl+W" in the File menu
  bool fileToolbar = true;   // the toolbar "File"
  bool emailButton = true;   // its "Email" button
  // How the document interface answers for a path: soundly, or (to try a plug-in) with a size of 0 or with a text
  // that lacks its terminating zero.
  enum class PathAnswer { Sound, SizeZero, Unterminated };
  PathAnswer pathAnswer = PathAnswer::Sound;
};

inline constexpr std::uint32_t kEnglish = 0x0409;

// Texts of a language other than English: the plug-in's strings by id, and menu texts by their English text.
struct LanguagePack {
  std::map<std::uint32_t, std::string> strings;
  std::map<std::string, std::string> menuTexts;
};

// One entry of a menu as the reader shows it.
struct MenuEntry {
  Handle32 item = 0;
  std::string name;   // the record's name ("" for the reader's own items)
  std::string title;  // as shown
  bool separator = false;
  bool enabled = true;
  Handle32 submenu = 0;
};

// A plug-in entry registered through the application interface.
struct PluginEntry {
  std::string name, title, description;
  Handle32 bitmap = 0;
  std::uint32_t colour = 0;
  std::uint32_t callback = 0;
};

class ReaderApp {
 public:
  explicit ReaderApp(ReaderOptions options = {});
  ~ReaderApp();  // frees a loaded plug-in
  ReaderApp(const ReaderApp&) = delete;
  ReaderApp& operator=(const ReaderApp&) = delete;

  // ---- The plug-in ----
  // Loads the library and calls QV_InitPlugin; false with the reason when the library or an export is missing.
  // The initialisation's answer is InitResult().
  bool LoadPlugin(const std::filesystem::path& library, std::string& error);
  int InitResult() const { return initResult_; }
  std::string PluginVersion() const;
  // Calls QV_FreePlugin and unloads the library; its answer, or nothing when no plug-in is loaded.
  std::optional<int> FreePlugin();

  // ---- Documents ----
  // Opens a document by its Windows path and makes it the active one (its handle); CloseDocument closes it.
  Handle32 OpenDocument(const std::string& windowsPath);
  void CloseDocument();
  Handle32 ActiveDocument() const { return activeDocument_; }

  // ---- The person ----
  enum class Pick { Done, NotFound, Disabled, NoCommand };
  // Picks an item by the titles along its path from the menu bar ("&File", "Vendrel", "Save to ..."), compared
  // as shown (without '&' and shortcut): runs its command when it is enabled.
  Pick PickMenuItem(const std::vector<std::string>& path);
  // Presses the drop-down arrow of a toolbar button; false when the button has no drop-down.
  bool PressDropDown(const std::string& toolbar, const std::string& button, int x, int y);
  // Switches the reader's language and tells the plug-ins through their event records.
  void SetLanguage(std::uint32_t language);
  void AddLanguage(std::uint32_t language, LanguagePack pack);

  // ---- Looking ----
  HWND MainWindow() const { return mainWindow_; }
  // The entries of the menu reached by the titles along the path (empty: the menu bar); nothing when none.
  std::optional<std::vector<MenuEntry>> Menu(const std::vector<std::string>& path) const;
  // Every menu item record received through the menu interface, as its bytes.
  const std::vector<std::array<std::uint8_t, kMenuItemSize>>& ItemRecords() const { return itemRecords_; }
  const std::vector<std::array<std::uint8_t, kEventRecordSize>>& EventRecords() const { return eventRecords_; }
  const std::vector<PluginEntry>& PluginEntries() const { return pluginEntries_; }
  // The style and drop-down callback's code address of a toolbar button; nothing when there is no such button.
  struct ButtonState {
    std::uint32_t style = 0;
    std::uint32_t dropDown = 0;
  };
  std::optional<ButtonState> Button(const std::string& toolbar, const std::string& button) const;
  // The language handles registered and not yet released.
  std::size_t LanguageRegistrations() const;

  struct State;  // the reader's menus, toolbars, documents and languages

 private:
  ReaderOptions options_;
  std::shared_ptr<Machine> machine_;
  std::unique_ptr<State> state_;
  HWND mainWindow_ = nullptr;
  void* library_ = nullptr;
  int initResult_ = 0;
  Handle32 activeDocument_ = 0;
  std::vector<std::array<std::uint8_t, kMenuItemSize>> itemRecords_;
  std::vector<std::array<std::uint8_t, kEventRecordSize>> eventRecords_;
  std::vector<PluginEntry> pluginEntries_;

  friend struct HostCalls;
};

}  // namespace kq::reader
