#include "cff_charset.h"

#include <optional>

namespace {

// Top DICT operators read here.
constexpr int kOpCharset = 15;
constexpr int kOpCharStrings = 17;
constexpr int kOpRos = 0x0C00 | 30;

// Offsets at or below this name a predefined charset.
constexpr std::uint32_t kLastPredefinedCharset = 2;

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Size() const { return size_; }
  bool Has(std::size_t at, std::size_t length) const { return at <= size_ && length <= size_ - at; }
  std::uint8_t U8(std::size_t at) const { return data_[at]; }
  std::uint32_t U16(std::size_t at) const { return std::uint32_t{data_[at]} << 8 | data_[at + 1]; }
  // A big-endian unsigned number of 1 to 4 bytes.
  std::uint32_t Offset(std::size_t at, std::uint32_t bytes) const {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < bytes; ++i) value = value << 8 | data_[at + i];
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// One INDEX: its item count and where its data lie. Items are [dataStart + offset[i] - 1, dataStart + offset[i+1] -
// 1), each checked to lie inside the table.
struct Index {
  std::uint32_t count = 0;
  std::size_t offsetsAt = 0;
  std::uint32_t offSize = 0;
  std::size_t dataStart = 0;  // the byte before the first item, plus one
  std::size_t end = 0;        // the first byte after the index
};

std::optional<Index> ReadIndex(const Reader& r, std::size_t at) {
  Index index;
  if (!r.Has(at, 2)) return std::nullopt;
  index.count = r.U16(at);
  if (index.count == 0) {
    index.end = at + 2;
    return index;
  }
  if (!r.Has(at + 2, 1)) return std::nullopt;
  index.offSize = r.U8(at + 2);
  if (index.offSize < 1 || index.offSize > 4) return std::nullopt;
  index.offsetsAt = at + 3;
  const std::size_t offsetBytes = std::size_t{index.count + 1} * index.offSize;
  if (!r.Has(index.offsetsAt, offsetBytes)) return std::nullopt;
  index.dataStart = index.offsetsAt + offsetBytes;
  const std::uint32_t last = r.Offset(index.offsetsAt + std::size_t{index.count} * index.offSize, index.offSize);
  if (last < 1 || !r.Has(index.dataStart, last - 1)) return std::nullopt;
  index.end = index.dataStart + last - 1;
  return index;
}

// Item `i` of the index as [begin, end).
std::optional<std::pair<std::size_t, std::size_t>> Item(const Reader& r, const Index& index, std::uint32_t i) {
  if (i >= index.count) return std::nullopt;
  const std::uint32_t first = r.Offset(index.offsetsAt + std::size_t{i} * index.offSize, index.offSize);
  const std::uint32_t next = r.Offset(index.offsetsAt + std::size_t{i + 1} * index.offSize, index.offSize);
  if (first < 1 || next < first) return std::nullopt;
  const std::size_t begin = index.dataStart + first - 1;
  const std::size_t end = index.dataStart + next - 1;
  if (end > index.end) return std::nullopt;
  return std::pair{begin, end};
}

struct TopDict {
  bool ros = false;
  std::optional<std::int64_t> charset;
  std::optional<std::int64_t> charStrings;
};

// The operators of a DICT; integer operands are kept, reals only skipped. False on a malformed operand.
bool ParseTopDict(const Reader& r, std::size_t at, std::size_t end, TopDict& dict) {
  std::optional<std::int64_t> last;  // the last integer operand before the operator
  while (at < end) {
    const std::uint8_t b0 = r.U8(at);
    if (b0 <= 21) {
      int op = b0;
      ++at;
      if (b0 == 12) {
        if (at >= end) return false;
        op = 0x0C00 | r.U8(at++);
      }
      if (op == kOpRos) dict.ros = true;
      if (op == kOpCharset) dict.charset = last;
      if (op == kOpCharStrings) dict.charStrings = last;
      last.reset();
      continue;
    }
    if (b0 == 28) {
      if (at + 3 > end) return false;
      last = static_cast<std::int16_t>(r.U16(at + 1));
      at += 3;
    } else if (b0 == 29) {
      if (at + 5 > end) return false;
      last = static_cast<std::int32_t>(r.Offset(at + 1, 4));
      at += 5;
    } else if (b0 == 30) {
      // A real: nibbles up to one of value 0xF.
      ++at;
      bool ended = false;
      while (at < end && !ended) {
        const std::uint8_t b = r.U8(at++);
        ended = (b >> 4) == 0xF || (b & 0xF) == 0xF;
      }
      if (!ended) return false;
      last.reset();
    } else if (b0 >= 32 && b0 <= 246) {
      last = std::int64_t{b0} - 139;
      ++at;
    } else if (b0 >= 247 && b0 <= 250) {
      if (at + 2 > end) return false;
      last = (std::int64_t{b0} - 247) * 256 + r.U8(at + 1) + 108;
      at += 2;
    } else if (b0 >= 251 && b0 <= 254) {
      if (at + 2 > end) return false;
      last = -(std::int64_t{b0} - 251) * 256 - r.U8(at + 1) - 108;
      at += 2;
    } else {
      return false;  // 22 to 27, 31 and 255 are reserved
    }
  }
  return true;
}

// The CIDs of glyphs 1 .. count - 1 from a custom charset at `at`.
bool ReadCharset(const Reader& r, std::size_t at, std::uint32_t count, std::vector<std::uint16_t>& cids) {
  cids.assign(count, 0);
  if (count <= 1) return true;
  if (!r.Has(at, 1)) return false;
  const std::uint8_t format = r.U8(at++);
  std::uint32_t glyph = 1;
  if (format == 0) {
    if (!r.Has(at, std::size_t{count - 1} * 2)) return false;
    for (; glyph < count; ++glyph, at += 2) cids[glyph] = static_cast<std::uint16_t>(r.U16(at));
    return true;
  }
  if (format != 1 && format != 2) return false;
  const std::size_t leftBytes = format == 1 ? 1 : 2;
  while (glyph < count) {
    if (!r.Has(at, 2 + leftBytes)) return false;
    const std::uint32_t first = r.U16(at);
    const std::uint32_t left = format == 1 ? r.U8(at + 2) : r.U16(at + 2);
    at += 2 + leftBytes;
    if (first + left > 0xFFFF) return false;
    for (std::uint32_t i = 0; i <= left && glyph < count; ++i) cids[glyph++] = static_cast<std::uint16_t>(first + i);
  }
  return true;
}

}  // namespace

std::optional<CffGlyphCids> ReadCffGlyphCids(const std::uint8_t* data, std::size_t size) {
  if (!data) return std::nullopt;
  const Reader r(data, size);
  if (!r.Has(0, 4) || r.U8(0) != 1) return std::nullopt;
  const std::size_t headerSize = r.U8(2);
  if (headerSize < 4) return std::nullopt;
  const auto names = ReadIndex(r, headerSize);
  if (!names || names->count < 1) return std::nullopt;
  const auto topDicts = ReadIndex(r, names->end);
  if (!topDicts || topDicts->count < 1) return std::nullopt;
  const auto top = Item(r, *topDicts, 0);
  TopDict dict;
  if (!top || !ParseTopDict(r, top->first, top->second, dict)) return std::nullopt;
  if (!dict.charStrings || *dict.charStrings <= 0 || static_cast<std::uint64_t>(*dict.charStrings) >= size)
    return std::nullopt;
  const auto charStrings = ReadIndex(r, static_cast<std::size_t>(*dict.charStrings));
  if (!charStrings || charStrings->count < 1) return std::nullopt;

  CffGlyphCids result;
  result.glyphCount = charStrings->count;
  result.cidKeyed = dict.ros;
  if (!dict.ros) return result;

  if (!dict.charset || *dict.charset <= kLastPredefinedCharset || static_cast<std::uint64_t>(*dict.charset) >= size)
    return std::nullopt;
  if (!ReadCharset(r, static_cast<std::size_t>(*dict.charset), result.glyphCount, result.cids)) return std::nullopt;
  // Readers find a glyph by its CID, so no two glyphs may share one.
  std::vector<bool> seen(0x10000, false);
  seen[0] = true;
  for (std::uint32_t glyph = 1; glyph < result.glyphCount; ++glyph) {
    if (seen[result.cids[glyph]]) return std::nullopt;
    seen[result.cids[glyph]] = true;
  }
  return result;
}
