// Menus of the machine's window system and the person's picks in popup menus.
#include "win/menus.h"

#include <algorithm>

#include "win/ansi_text.h"
#include "win/machine.h"
#include "win/user.h"

namespace kq {

namespace {

// A menu text as the person reads it: without the '&' of mnemonics, up to a tab (the shortcut).
WString Shown(WStringView text) {
  WString shown;
  for (std::size_t i = 0; i < text.size() && text[i] != u'\t'; ++i) {
    if (text[i] == u'&' && i + 1 < text.size() && text[i + 1] != u'&') continue;
    shown += text[i];
  }
  return shown;
}

MachineMenus& Menus() { return CurrentMachine().Service<MachineMenus>(); }

MachineMenus::Item* ItemAt(MachineMenus::Menu& menu, UINT item, UINT flags) {
  if (flags & MF_BYPOSITION) return item < menu.items.size() ? &menu.items[item] : nullptr;
  for (auto& entry : menu.items)
    if (!(entry.flags & (MF_POPUP | MF_SEPARATOR)) && entry.id == item) return &entry;
  return nullptr;
}

}  // namespace

MachineMenus::MachineMenus(Machine&) {}
MachineMenus::~MachineMenus() = default;

void MachineMenus::ChoosePopupItem(WString text) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(text));
}

void MachineMenus::DismissPopup() {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::nullopt);
}

std::vector<MachineMenus::Tracked> MachineMenus::Journal() const {
  std::lock_guard lock(mutex_);
  return journal_;
}

HMENU MachineMenus::Add(bool popup) {
  std::lock_guard lock(mutex_);
  next_ += 4;
  const auto handle = reinterpret_cast<HMENU>(next_);
  menus_[handle].popup = popup;
  return handle;
}

bool MachineMenus::Remove(HMENU menu) {
  std::vector<HMENU> pending{menu};
  std::lock_guard lock(mutex_);
  if (!menus_.count(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return false;
  }
  while (!pending.empty()) {
    auto it = menus_.find(pending.back());
    pending.pop_back();
    if (it == menus_.end()) continue;
    for (const auto& item : it->second.items)
      if (item.flags & MF_POPUP) pending.push_back(reinterpret_cast<HMENU>(item.id));
    menus_.erase(it);
  }
  return true;
}

std::optional<WString> MachineMenus::NextAnswer() {
  std::lock_guard lock(mutex_);
  if (answers_.empty()) return std::nullopt;
  auto answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

void MachineMenus::Record(Tracked tracked) {
  std::lock_guard lock(mutex_);
  journal_.push_back(std::move(tracked));
}

}  // namespace kq

HMENU CreateMenu() { return kq::Menus().Add(false); }
HMENU CreatePopupMenu() { return kq::Menus().Add(true); }
BOOL DestroyMenu(HMENU menu) { return kq::Menus().Remove(menu); }

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  kq::MachineMenus::Item item{flags, idOrPopup, text && !(flags & MF_SEPARATOR) ? text : u""};
  return kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) { target.items.push_back(std::move(item)); });
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCSTR text) {
  if (!text) return AppendMenuW(menu, flags, idOrPopup, nullptr);
  return AppendMenuW(menu, flags, idOrPopup, kq::WideOfAnsi(text).c_str());
}

BOOL ModifyMenuW(HMENU menu, UINT item, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  bool found = false;
  if (!kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) {
        auto* entry = kq::ItemAt(target, item, flags);
        if (!entry) return;
        found = true;
        *entry = {flags & ~MF_BYPOSITION, idOrPopup, text && !(flags & MF_SEPARATOR) ? text : u""};
      }))
    return FALSE;
  if (!found) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return found;
}

int GetMenuItemCount(HMENU menu) {
  int count = -1;
  kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) { count = static_cast<int>(target.items.size()); });
  return count;
}

UINT GetMenuItemID(HMENU menu, int position) {
  UINT id = 0xFFFFFFFF;
  kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) {
    if (position < 0 || static_cast<std::size_t>(position) >= target.items.size()) return;
    const auto& item = target.items[static_cast<std::size_t>(position)];
    if (!(item.flags & (MF_POPUP | MF_SEPARATOR))) id = static_cast<UINT>(item.id);
  });
  return id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  HMENU popup = nullptr;
  kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) {
    if (position < 0 || static_cast<std::size_t>(position) >= target.items.size()) return;
    const auto& item = target.items[static_cast<std::size_t>(position)];
    if (item.flags & MF_POPUP) popup = reinterpret_cast<HMENU>(item.id);
  });
  return popup;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
  kq::WString text;
  kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) {
    if (auto* entry = kq::ItemAt(target, item, flags)) text = entry->text;
  });
  if (!buffer || maxCount <= 0) return static_cast<int>(text.size());
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(maxCount - 1));
  text.copy(buffer, n);
  buffer[n] = u'\0';
  return static_cast<int>(n);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  kq::MachineMenus::Tracked tracked{{}, x, y, flags, 0};
  std::vector<kq::MachineMenus::Item> items;
  if (!kq::Menus().With(menu, [&](kq::MachineMenus::Menu& target) { items = target.items; })) return FALSE;
  for (const auto& item : items) tracked.items.push_back(kq::Shown(item.text));
  if (auto answer = kq::Menus().NextAnswer()) {
    for (const auto& item : items) {
      const bool pickable = !(item.flags & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
      if (pickable && kq::EqualsIgnoreAsciiCase(kq::Shown(item.text), kq::Shown(*answer))) {
        tracked.chosen = static_cast<UINT>(item.id);
        break;
      }
    }
  }
  const UINT chosen = tracked.chosen;
  kq::Menus().Record(std::move(tracked));
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen == 0) return FALSE;
  PostMessageW(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
  return TRUE;
}
