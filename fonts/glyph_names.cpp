#include "fonts/glyph_names.h"

#include <cstdint>

namespace {

#include "tables/glyph_list_trie.inc"

static_assert(kGlyphListLongestName + 1 == kGlyphNameBufferSize);
static_assert(kGlyphListRootCount == 52);

std::uint16_t ReadU16(std::size_t at) {
  return static_cast<std::uint16_t>((kGlyphListTrie[at] << 8) | kGlyphListTrie[at + 1]);
}

// The recursive step of the walk: appends the node's letters to the name built so far (`length` letters long),
// answers when the node's value is `ch`, else walks the children in their stored (ascending) order.
bool FindGlyphNameNode(std::size_t offset, char (&buffer)[kGlyphNameBufferSize], std::size_t length, WCHAR ch) {
  constexpr std::size_t size = sizeof kGlyphListTrie;
  for (;;) {
    if (offset >= size || length >= kGlyphListLongestName) return false;
    const BYTE letter = kGlyphListTrie[offset++];
    buffer[length++] = static_cast<char>(letter & 0x7F);
    if (!(letter & 0x80)) break;
  }
  if (offset >= size) return false;
  const BYTE info = kGlyphListTrie[offset++];
  const std::size_t children = info & 0x7F;
  if (info & 0x80) {
    if (offset + 2 > size) return false;
    if (ReadU16(offset) == ch) {
      buffer[length] = '\0';
      return true;
    }
    offset += 2;
  }
  if (offset + 2 * children > size) return false;
  for (std::size_t i = 0; i < children; ++i)
    if (FindGlyphNameNode(ReadU16(offset + 2 * i), buffer, length, ch)) return true;
  return false;
}

}  // namespace

bool GlyphNameFromUnicode(char (&buffer)[kGlyphNameBufferSize], WCHAR ch) {
  const std::size_t roots = ReadU16(0);
  for (std::size_t i = 0; i < roots; ++i) {
    if (FindGlyphNameNode(ReadU16(2 + 2 * i), buffer, 0, ch)) return true;
  }
  buffer[0] = '\0';
  return false;
}
