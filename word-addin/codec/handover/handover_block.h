// The hand-over block: one document's structure (named destinations, outline, links), its page count and its
// output path, as the add-in publishes them in the shared memory "Kelvo PDF Printer map data" and the driver
// claims and reads them. The one definition of the byte format; the add-in and the driver both compile it, and it
// needs nothing beyond the standard library.
//
// Layout: a 16-byte header of four u32 (bookmark, outline and link section sizes, then the taken flag), the three
// sections back to back, then the trailer (i32 page count, output path). Integers are 32-bit little-endian; strings
// are UTF-16LE code units and one 16-bit zero, without a length. Fields are packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace handover {

inline constexpr char16_t kSharedMemoryName[] = u"Kelvo PDF Printer map data";
// The caption of the add-in's progress dialog while it runs (class "#32770"), by which the driver finds it to send
// its progress; no other window of the suite bears it.
inline constexpr char16_t kStatusCaption[] = u"Kelvo Quenzar Zedarod - converting status.";

// The buffer and the shared memory are whole units long.
inline constexpr std::size_t kUnit = 0x500000;
static_assert(kUnit == 5'242'880);

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kBookmarkSizeOffset = 0;
inline constexpr std::size_t kOutlineSizeOffset = 4;
inline constexpr std::size_t kLinkSizeOffset = 8;
// 0 when published; the driver claims the block by setting it to 1.
inline constexpr std::size_t kTakenFlagOffset = 12;

// Record sizes from the code units of their strings.
constexpr std::size_t BookmarkRecordSize(std::size_t nameUnits) { return 2 * nameUnits + 10; }
constexpr std::size_t OutlineRecordSize(std::size_t titleUnits, std::size_t destUnits) {
  return 2 * (titleUnits + destUnits) + 24;
}
constexpr std::size_t LinkRecordSize(std::size_t targetUnits) { return 2 * targetUnits + 26; }

// Where a bookmark's range ends: the page from 1 and the position in points down from the page's top.
struct Position {
  std::int32_t page = 0;
  std::int32_t y = 0;
  bool operator==(const Position&) const = default;
};

// One outline item; the links are indexes of items in the outline's order, -1 for none. Item 0 is the root.
struct OutlineRecord {
  std::u16string title;
  std::u16string destination;
  std::int32_t parent = -1;
  std::int32_t prev = -1;
  std::int32_t next = -1;
  std::int32_t first = -1;
  std::int32_t last = -1;
  bool operator==(const OutlineRecord&) const = default;
};

enum LinkKind : std::int32_t { kLinkDestination = 0, kLinkLaunch = 1, kLinkUri = 2 };

// One link rectangle in points from the page's top-left corner; the page is the key it is filed under.
struct LinkRecord {
  std::u16string target;
  std::int32_t kind = kLinkDestination;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const LinkRecord&) const = default;
};

// What one block carries. Bookmarks stand in ordinal order of their UTF-16 code units (a name occurs once: add with
// emplace, so the first one collected stays); links stand by page, those of one page in the order added.
struct Content {
  std::map<std::u16string, Position> bookmarks;
  std::vector<OutlineRecord> outline;
  std::multimap<std::int32_t, LinkRecord> links;
  std::int32_t pageCount = 1;
  std::u16string outputPath;
};

// A growth of the buffer that could not be had: `which` is 1 while appending a string, 2 while appending an integer.
class GrowthError : public std::runtime_error {
 public:
  explicit GrowthError(int which) : std::runtime_error("Memory allocation failure!"), which_(which) {}
  int Which() const { return which_; }

 private:
  int which_;
};

// The block as it is built: a zero-filled buffer of whole units, a write cursor, and growth by as many units as an
// append needs, so nothing written is lost and no unwritten byte holds stale memory.
class BlockWriter {
 public:
  // The first unit, zero-filled; the header's four words are 0 and the cursor stands after it. False (and no
  // buffer) when the unit cannot be had.
  bool Start() {
    Release();
    buffer_.reset(new (std::nothrow) std::byte[kUnit]());
    if (!buffer_) return false;
    units_ = 1;
    cursor_ = kHeaderSize;
    return true;
  }

  // Appends the string's code units and a zero; returns the bytes written (2 × length + 2). Throws GrowthError(1)
  // when the buffer cannot grow.
  std::size_t AppendString(std::u16string_view text) {
    const std::size_t bytes = 2 * text.size() + 2;
    Reserve(bytes, 1);
    std::byte* out = buffer_.get() + cursor_;
    for (char16_t unit : text) {
      *out++ = static_cast<std::byte>(unit & 0xFF);
      *out++ = static_cast<std::byte>(unit >> 8);
    }
    out[0] = out[1] = std::byte{0};
    cursor_ += bytes;
    return bytes;
  }

  // Appends one 32-bit little-endian integer; returns 4. Throws GrowthError(2) when the buffer cannot grow.
  std::size_t AppendInt(std::int32_t value) {
    Reserve(4, 2);
    PutWord(buffer_.get() + cursor_, static_cast<std::uint32_t>(value));
    cursor_ += 4;
    return 4;
  }

  // One of the header's words (a section size).
  void SetHeaderWord(std::size_t offset, std::uint32_t value) { PutWord(buffer_.get() + offset, value); }

  const std::byte* Data() const { return buffer_.get(); }
  // The whole buffer, unwritten bytes included: what the shared memory holds.
  std::size_t Size() const { return units_ * kUnit; }
  std::size_t Units() const { return units_; }
  std::size_t Written() const { return cursor_; }
  bool Started() const { return buffer_ != nullptr; }

  void Release() {
    buffer_.reset();
    units_ = 0;
    cursor_ = 0;
  }

  static void PutWord(std::byte* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
  }

 private:
  void Reserve(std::size_t bytes, int which) {
    if (!buffer_) throw GrowthError(which);
    if (cursor_ + bytes <= Size()) return;
    const std::size_t units = (cursor_ + bytes + kUnit - 1) / kUnit;
    std::unique_ptr<std::byte[]> grown(new (std::nothrow) std::byte[units * kUnit]());
    if (!grown) throw GrowthError(which);
    std::memcpy(grown.get(), buffer_.get(), cursor_);
    buffer_ = std::move(grown);
    units_ = units;
  }

  std::unique_ptr<std::byte[]> buffer_;
  std::size_t units_ = 0;
  std::size_t cursor_ = 0;
};

// Writes the three sections and the trailer into a started writer and stores the section sizes in the header. A
// page count of 0 is written as 1. Throws GrowthError as the appends do, and std::length_error for a section that
// would pass the 32-bit size.
inline void WriteContent(BlockWriter& writer, const Content& content) {
  const auto section = [&writer](std::size_t offset, std::size_t bytes) {
    if (bytes > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("hand-over section too large");
    writer.SetHeaderWord(offset, static_cast<std::uint32_t>(bytes));
  };
  std::size_t bytes = 0;
  for (const auto& [name, position] : content.bookmarks)
    bytes += writer.AppendString(name) + writer.AppendInt(position.page) + writer.AppendInt(position.y);
  section(kBookmarkSizeOffset, bytes);
  bytes = 0;
  for (const auto& item : content.outline) {
    bytes += writer.AppendString(item.title) + writer.AppendString(item.destination);
    for (std::int32_t index : {item.parent, item.prev, item.next, item.first, item.last})
      bytes += writer.AppendInt(index);
  }
  section(kOutlineSizeOffset, bytes);
  bytes = 0;
  for (const auto& [page, link] : content.links) {
    bytes += writer.AppendString(link.target);
    for (std::int32_t value : {link.kind, link.left, link.top, link.right, link.bottom, page})
      bytes += writer.AppendInt(value);
  }
  section(kLinkSizeOffset, bytes);
  writer.AppendInt(content.pageCount == 0 ? 1 : content.pageCount);
  writer.AppendString(content.outputPath);
}

// Reads a block of `size` bytes (the view's size), never past its end. Every string's zero must lie inside the
// view and every section must end exactly at its declared size; anything else is malformed and gives nothing.
// Outline indexes outside -1 or 0..count-1, and parents that do not stand before their child, become -1. A page
// count below 1 becomes 1. The taken flag is not looked at.
inline std::optional<Content> ReadBlock(const std::byte* data, std::size_t size) {
  if (!data || size < kHeaderSize) return std::nullopt;
  std::size_t at = kHeaderSize;
  const auto word = [&](std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint32_t>(data[offset + i]);
    return value;
  };
  const auto readInt = [&](std::int32_t& value) {
    if (size - at < 4) return false;
    value = static_cast<std::int32_t>(word(at));
    at += 4;
    return true;
  };
  const auto readString = [&](std::u16string& text) {
    text.clear();
    for (std::size_t p = at; size - p >= 2; p += 2) {
      const auto unit = static_cast<char16_t>(static_cast<unsigned>(data[p]) | (static_cast<unsigned>(data[p + 1]) << 8));
      if (unit == 0) {
        at = p + 2;
        return true;
      }
      text.push_back(unit);
    }
    return false;
  };
  // Walks records until the section's declared size is consumed; it must come out exactly.
  const auto walk = [&](std::size_t offset, auto&& readRecord) {
    const std::size_t declared = word(offset);
    const std::size_t start = at;
    while (at - start < declared) {
      if (!readRecord()) return false;
    }
    return at - start == declared;
  };

  Content content;
  const bool sections =
      walk(kBookmarkSizeOffset,
           [&] {
             std::u16string name;
             Position position;
             if (!readString(name) || !readInt(position.page) || !readInt(position.y)) return false;
             content.bookmarks.emplace(std::move(name), position);
             return true;
           }) &&
      walk(kOutlineSizeOffset,
           [&] {
             OutlineRecord item;
             if (!readString(item.title) || !readString(item.destination)) return false;
             for (std::int32_t* index : {&item.parent, &item.prev, &item.next, &item.first, &item.last})
               if (!readInt(*index)) return false;
             content.outline.push_back(std::move(item));
             return true;
           }) &&
      walk(kLinkSizeOffset, [&] {
        LinkRecord link;
        std::int32_t page = 0;
        if (!readString(link.target)) return false;
        for (std::int32_t* value : {&link.kind, &link.left, &link.top, &link.right, &link.bottom, &page})
          if (!readInt(*value)) return false;
        content.links.emplace(page, std::move(link));
        return true;
      });
  if (!sections || !readInt(content.pageCount) || !readString(content.outputPath)) return std::nullopt;
  if (content.pageCount < 1) content.pageCount = 1;

  const auto count = static_cast<std::int64_t>(content.outline.size());
  for (std::int64_t i = 0; i < count; ++i) {
    OutlineRecord& item = content.outline[static_cast<std::size_t>(i)];
    if (item.parent < -1 || item.parent >= i) item.parent = -1;
    for (std::int32_t* index : {&item.prev, &item.next, &item.first, &item.last})
      if (*index < -1 || *index >= count) *index = -1;
  }
  return content;
}

}  // namespace handover
