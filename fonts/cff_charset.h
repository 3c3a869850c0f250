// What an embedded OpenType font needs of its "CFF " table: whether the program is CID-keyed (a ROS in its Top
// DICT) and, if so, the CID of every glyph through the program's charset. Only the header, the Name and Top DICT
// indexes, the Top DICT's operators, the CharStrings count and the charset are read; every read is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct CffGlyphCids {
  bool cidKeyed = false;
  // Glyph count of the program (its CharStrings index).
  std::uint32_t glyphCount = 0;
  // CID of each glyph, index = glyph; filled only for a CID-keyed program. Glyph 0 is always CID 0.
  std::vector<std::uint16_t> cids;
};

// Nothing when the table cannot be read: a broken header or index, a Top DICT without CharStrings, or a CID-keyed
// program whose charset is missing, predefined, out of bounds or gives one CID to two glyphs.
std::optional<CffGlyphCids> ReadCffGlyphCids(const std::uint8_t* data, std::size_t size);
