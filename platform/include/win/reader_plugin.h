// The reader application's plug-in interface, as the application publishes it to plug-in writers. The reader is a
// 32-bit program: its tables and records have 32-bit layouts, handles are 32-bit values and calls pass 32-bit
// arguments. In this 64-bit build the tables are arrays of slots, one slot for each 4-byte entry of the 32-bit
// table (slot = byte offset / 4); the two records cross the boundary as their exact 32-bit bytes, written and read
// through the encoders below, with code addresses that are 32-bit numbers kept in the process's code table.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kq::reader {

using Handle32 = std::uint32_t;

// ---- Tables ----
using Slot = void (*)();
inline constexpr std::size_t SlotOf(std::size_t byteOffset) { return byteOffset / 4; }

// What QV_InitPlugin receives. Slot 0 is HostQuery.
struct HostTable {
  std::array<Slot, 1> slots;
};

struct InterfaceNumber {
  std::uint32_t a;
  std::uint32_t b;
  std::uint32_t number;
};
static_assert(sizeof(InterfaceNumber) == 12);

inline constexpr std::uint32_t kAppInterface = 2;
inline constexpr std::uint32_t kDocInterface = 3;
inline constexpr std::uint32_t kMenuInterface = 4;
inline constexpr std::uint32_t kToolbarInterface = 5;
inline constexpr std::uint32_t kLangInterface = 6;

// An interface table: slots by byte offset, up to 0x34.
struct InterfaceTable {
  std::array<Slot, 16> slots{};
};

// Slot 0 of the host table. Puts the interface's table into *table, or null when the host has none.
using HostQueryFn = std::uint32_t (*)(InterfaceNumber number, InterfaceTable** table);

// The byte offsets of the entries and the call each stands for.
namespace app {
inline constexpr std::size_t kMainWindow = 0x00;     // () -> window handle
inline constexpr std::size_t kActiveDocument = 0x0C; // () -> document, 0 when none
inline constexpr std::size_t kRegisterEvents = 0x18; // (record bytes) -> nothing
inline constexpr std::size_t kMenuBar = 0x1C;        // () -> menu
inline constexpr std::size_t kToolbar = 0x20;        // (name) -> toolbar, 0 when absent
inline constexpr std::size_t kRegisterEntry = 0x28;  // (name, title, description, bitmap, colour, callback)
using MainWindowFn = Handle32 (*)();
using ActiveDocumentFn = Handle32 (*)();
using RegisterEventsFn = void (*)(const std::uint8_t* record);
using MenuBarFn = Handle32 (*)();
using ToolbarFn = Handle32 (*)(const char* name);
using RegisterEntryFn = void (*)(const char* name, const char* title, const char* description, Handle32 bitmap,
                                 std::uint32_t colour, std::uint32_t callback);
}  // namespace app

namespace doc {
inline constexpr std::size_t kPath = 0x00;  // (document, buffer, size) -> bytes needed with a null buffer
using PathFn = std::uint32_t (*)(Handle32 document, char* buffer, std::uint32_t size);
}  // namespace doc

namespace menu {
inline constexpr std::size_t kNewSubmenu = 0x00;  // () -> menu
inline constexpr std::size_t kIndexOf = 0x10;     // (menu, item) -> index, -1 when not found
inline constexpr std::size_t kInsert = 0x14;      // (menu, item, index); -1 appends
inline constexpr std::size_t kFindTitle = 0x1C;   // (menu, title) -> item, 0 when none
inline constexpr std::size_t kNewItem = 0x20;     // (record bytes, submenu or 0) -> item
inline constexpr std::size_t kSubmenuOf = 0x24;   // (item) -> menu, 0 when none
inline constexpr std::size_t kSetTitle = 0x30;    // (item, title)
using NewSubmenuFn = Handle32 (*)();
using IndexOfFn = std::int32_t (*)(Handle32 menu, Handle32 item);
using InsertFn = void (*)(Handle32 menu, Handle32 item, std::int32_t index);
using FindTitleFn = Handle32 (*)(Handle32 menu, const char* title);
using NewItemFn = Handle32 (*)(const std::uint8_t* record, Handle32 submenu);
using SubmenuOfFn = Handle32 (*)(Handle32 item);
using SetTitleFn = void (*)(Handle32 item, const char* title);
}  // namespace menu

namespace toolbar {
inline constexpr std::size_t kButton = 0x10;       // (toolbar, name) -> button, 0 when none
inline constexpr std::size_t kIndexOf = 0x14;      // (toolbar, button) -> index, negative when not on it
inline constexpr std::size_t kSetStyle = 0x30;     // (button, style); 1 = drop-down button
inline constexpr std::size_t kSetDropDown = 0x34;  // (button, callback)
inline constexpr std::uint32_t kDropDownStyle = 1;
using ButtonFn = Handle32 (*)(Handle32 toolbar, const char* name);
using IndexOfFn = std::int32_t (*)(Handle32 toolbar, Handle32 button);
using SetStyleFn = void (*)(Handle32 button, std::uint32_t style);
using SetDropDownFn = void (*)(Handle32 button, std::uint32_t callback);
}  // namespace toolbar

namespace lang {
inline constexpr std::size_t kRegister = 0x00;     // (module) -> language handle
inline constexpr std::size_t kRelease = 0x04;      // (language handle) -> result
inline constexpr std::size_t kCurrent = 0x08;      // () -> language
inline constexpr std::size_t kSelect = 0x0C;       // (language handle, language)
inline constexpr std::size_t kTranslateMenu = 0x10;// (language handle, menu, menu resource id)
inline constexpr std::size_t kString = 0x18;       // (language handle, string id, buffer, 60)
inline constexpr std::uint32_t kStringBufferSize = 60;
using RegisterFn = Handle32 (*)(std::uint64_t module);
using ReleaseFn = std::int32_t (*)(Handle32 language);
using CurrentFn = std::uint32_t (*)();
using SelectFn = void (*)(Handle32 language, std::uint32_t languageId);
using TranslateMenuFn = void (*)(Handle32 language, std::uint64_t menu, std::uint32_t resourceId);
using StringFn = void (*)(Handle32 language, std::uint32_t id, char* buffer, std::uint32_t size);
}  // namespace lang

// Calls the entry at a byte offset of a table as a function of type Fn.
template <class Fn>
Fn Entry(const InterfaceTable& table, std::size_t byteOffset) {
  return reinterpret_cast<Fn>(table.slots.at(SlotOf(byteOffset)));
}

// ---- Code addresses ----
// Callbacks that cross the boundary inside records and as 32-bit arguments: the process's code table gives each
// function a 32-bit number (never 0) for as long as the process runs, and gives the function back for it.
using Callback = void (*)();
std::uint32_t CodeAddressOf(Callback function);
Callback FunctionAt(std::uint32_t address);  // null for 0 or a number the table never gave

// Callback kinds, called through what FunctionAt gives.
using CommandFn = void (*)();
using EnabledFn = int (*)();
using DropDownFn = std::uint32_t (*)(std::uint32_t a, std::int32_t x, std::uint32_t c, std::uint32_t d,
                                     std::int32_t y);

// ---- Records ----
inline constexpr std::size_t kMenuItemSize = 160;
inline constexpr std::size_t kEventRecordSize = 52;
inline constexpr std::size_t kMenuTextSize = 64;

// The fields of a menu item record that the plug-in sets; the host-defined fields are 0.
struct MenuItemFields {
  std::string name;   // at most 63 bytes are kept
  std::string title;  // at most 63 bytes are kept
  bool separator = false;
  std::uint32_t command = 0;  // code address, 0 for none
  std::uint32_t enabled = 0;  // code address, 0 = always enabled
};

namespace detail {
inline void PutU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline std::uint32_t GetU32(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return value;
}
inline void PutText(std::uint8_t* at, std::string_view text) {
  const std::size_t n = std::min(text.size(), kMenuTextSize - 1);
  std::memcpy(at, text.data(), n);  // the rest stays zero, so the text is terminated
}
inline std::string GetText(const std::uint8_t* at) {
  std::size_t n = 0;
  while (n < kMenuTextSize && at[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(at), n);
}
}  // namespace detail

// The offsets of the menu item record.
namespace item_offset {
inline constexpr std::size_t kSize = 0, kName = 4, kTitle = 68, kSeparator = 144, kCommand = 148, kEnabled = 152;
}
static_assert(item_offset::kName + kMenuTextSize == item_offset::kTitle);
static_assert(item_offset::kTitle + kMenuTextSize == 132);
static_assert(item_offset::kEnabled + 4 + 4 == kMenuItemSize);

// A zero-filled record with the fields set.
inline std::array<std::uint8_t, kMenuItemSize> EncodeMenuItem(const MenuItemFields& fields) {
  std::array<std::uint8_t, kMenuItemSize> bytes{};
  detail::PutU32(&bytes[item_offset::kSize], kMenuItemSize);
  if (fields.separator) {
    detail::PutU32(&bytes[item_offset::kSeparator], 1);
    return bytes;
  }
  detail::PutText(&bytes[item_offset::kName], fields.name);
  detail::PutText(&bytes[item_offset::kTitle], fields.title);
  detail::PutU32(&bytes[item_offset::kCommand], fields.command);
  detail::PutU32(&bytes[item_offset::kEnabled], fields.enabled);
  return bytes;
}

// What a host reads from a record; false when its size field is not 160.
inline bool DecodeMenuItem(const std::uint8_t* bytes, MenuItemFields& fields) {
  if (!bytes || detail::GetU32(bytes + item_offset::kSize) != kMenuItemSize) return false;
  fields.separator = detail::GetU32(bytes + item_offset::kSeparator) != 0;
  fields.name = detail::GetText(bytes + item_offset::kName);
  fields.title = detail::GetText(bytes + item_offset::kTitle);
  fields.command = detail::GetU32(bytes + item_offset::kCommand);
  fields.enabled = detail::GetU32(bytes + item_offset::kEnabled);
  return true;
}

// The event record: its size, the language-change callback's code address, eleven zero words.
inline std::array<std::uint8_t, kEventRecordSize> EncodeEventRecord(std::uint32_t onLanguageChanged) {
  std::array<std::uint8_t, kEventRecordSize> bytes{};
  detail::PutU32(&bytes[0], kEventRecordSize);
  detail::PutU32(&bytes[4], onLanguageChanged);
  return bytes;
}

// The language-change callback's code address; false when the size field is not 52.
inline bool DecodeEventRecord(const std::uint8_t* bytes, std::uint32_t& onLanguageChanged) {
  if (!bytes || detail::GetU32(bytes) != kEventRecordSize) return false;
  onLanguageChanged = detail::GetU32(bytes + 4);
  return true;
}

}  // namespace kq::reader
