// Menus: menu bars and popup menus with command items, separators and popups, and TrackPopupMenu, in which the
// simulated person picks an item as the script says. Menus belong to the machine's window system; their handles
// are valid on every thread.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;

inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_RETURNCMD = 0x0100;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_VERTICAL = 0x0040;

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and the popups it holds. A handle that is no menu fails with ERROR_INVALID_MENU_HANDLE.
BOOL DestroyMenu(HMENU menu);
// With MF_POPUP the id is the popup's handle. A popup belongs to one menu at a time.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCSTR text);
// Replaces an item's text, flags and id (by command or by position).
BOOL ModifyMenuW(HMENU menu, UINT item, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
int GetMenuItemCount(HMENU menu);  // -1 for no menu
UINT GetMenuItemID(HMENU menu, int position);  // 0xFFFFFFFF for popups, separators and positions out of range
HMENU GetSubMenu(HMENU menu, int position);    // null unless the item there is a popup
// The item's text (by command or by position): its length without the terminating zero; 0 when there is none.
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
// Shows the popup menu at (x, y) and lets the person pick. With TPM_RETURNCMD the chosen command id, 0 when the
// person dismissed the menu; without it the command is posted as WM_COMMAND to the owner and the answer is
// non-zero when an item was chosen. The owner must be a window.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);

inline constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;

namespace kq {

class Machine;

// What the person does in the next popup menus: pick the item with this text (ignoring '&' and case), or dismiss
// the menu. Unanswered menus are dismissed. Every tracked menu goes into the journal.
class MachineMenus {
 public:
  explicit MachineMenus(Machine& machine);
  ~MachineMenus();
  MachineMenus(const MachineMenus&) = delete;
  MachineMenus& operator=(const MachineMenus&) = delete;

  void ChoosePopupItem(WString text);
  void DismissPopup();

  struct Tracked {
    std::vector<WString> items;  // the texts shown, separators as empty texts
    int x = 0, y = 0;
    UINT flags = 0;
    UINT chosen = 0;  // the command id picked, 0 when dismissed
  };
  std::vector<Tracked> Journal() const;

  struct Item {
    UINT flags = 0;
    UINT_PTR id = 0;  // the command id, or the popup's handle
    WString text;
  };
  struct Menu {
    bool popup = false;
    std::vector<Item> items;
  };

  // ---- For the menu calls ----
  HMENU Add(bool popup);
  // Runs `action` on the menu under the lock; false (ERROR_INVALID_MENU_HANDLE) when there is none.
  template <class F>
  bool With(HMENU menu, F&& action) {
    std::lock_guard lock(mutex_);
    auto it = menus_.find(menu);
    if (it == menus_.end()) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return false;
    }
    action(it->second);
    return true;
  }
  bool Remove(HMENU menu);
  std::optional<WString> NextAnswer();  // the person's pick; nothing to dismiss
  void Record(Tracked tracked);

 private:
  mutable std::mutex mutex_;
  std::map<HMENU, Menu> menus_;
  std::uintptr_t next_ = 0x300000;
  std::deque<std::optional<WString>> answers_;
  std::vector<Tracked> journal_;
};

}  // namespace kq
