#include "fonts/glyph_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The table itself, to walk it independently of the lookup.
#include "../tables/glyph_list_trie.inc"

struct Pair {
  std::string name;
  WCHAR value;
};

// Reads the trie without recursion, checking its layout as it goes, and returns its pairs in stored order.
class TrieReader {
 public:
  std::vector<Pair> ReadAll() {
    const std::size_t roots = U16(0);
    EXPECT_EQ(roots, 52u);
    int previousFirst = -1;
    for (std::size_t i = 0; i < roots; ++i) {
      const std::size_t at = U16(2 + 2 * i);
      const int first = kGlyphListTrie[at] & 0x7F;
      EXPECT_GT(first, previousFirst) << "roots out of order";
      previousFirst = first;
      Read(at, "");
    }
    return pairs_;
  }

 private:
  std::size_t U16(std::size_t at) {
    EXPECT_LE(at + 2, sizeof kGlyphListTrie);
    if (at + 2 > sizeof kGlyphListTrie) return 0;
    return static_cast<std::size_t>((kGlyphListTrie[at] << 8) | kGlyphListTrie[at + 1]);
  }

  void Read(std::size_t at, std::string name) {
    ASSERT_LT(at, sizeof kGlyphListTrie);
    for (;;) {
      ASSERT_LT(at, sizeof kGlyphListTrie);
      const BYTE letter = kGlyphListTrie[at++];
      ASSERT_NE(letter & 0x7F, 0);
      name += static_cast<char>(letter & 0x7F);
      if (!(letter & 0x80)) break;
    }
    ASSERT_LE(name.size(), kGlyphNameBufferSize - 1);
    ASSERT_LT(at, sizeof kGlyphListTrie);
    const BYTE info = kGlyphListTrie[at++];
    if (info & 0x80) {
      pairs_.push_back({name, static_cast<WCHAR>(U16(at))});
      at += 2;
    }
    int previousFirst = -1;
    for (std::size_t i = 0; i < (info & 0x7Fu); ++i) {
      const std::size_t child = U16(at + 2 * i);
      ASSERT_LT(child, sizeof kGlyphListTrie);
      const int first = kGlyphListTrie[child] & 0x7F;
      EXPECT_GT(first, previousFirst) << "children of " << name << " out of order";
      previousFirst = first;
      Read(child, name);
    }
  }

  std::vector<Pair> pairs_;
};

TEST(GlyphNames, TrieHoldsTheListInAscendingOrder) {
  const std::vector<Pair> pairs = TrieReader().ReadAll();
  ASSERT_EQ(pairs.size(), kGlyphListPairCount);
  EXPECT_EQ(pairs.size(), 4200u);
  std::size_t longest = 0;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    longest = std::max(longest, pairs[i].name.size());
    if (i > 0) {
      EXPECT_LT(pairs[i - 1].name, pairs[i].name);
    }
  }
  EXPECT_EQ(longest, 39u);
}

// Both ways over the whole list: every character the list names gets its first name in ascending order, and that
// name maps back to the character.
TEST(GlyphNames, EveryListedCharacterGetsItsFirstName) {
  const std::vector<Pair> pairs = TrieReader().ReadAll();
  std::map<WCHAR, std::string> firstName;
  std::map<std::string, WCHAR> valueOf;
  for (const Pair& p : pairs) {
    firstName.emplace(p.value, p.name);  // pairs come in ascending name order: the first one stays
    valueOf.emplace(p.name, p.value);
  }
  char buffer[kGlyphNameBufferSize];
  for (const auto& [value, name] : firstName) {
    ASSERT_TRUE(GlyphNameFromUnicode(buffer, value)) << std::hex << int{value};
    EXPECT_EQ(buffer, name);
    EXPECT_EQ(valueOf.at(buffer), value);
  }
}

TEST(GlyphNames, Lookups) {
  struct Case {
    WCHAR ch;
    const char* name;  // "" when the list has none
  };
  const Case cases[] = {
      {0x0020, "space"},
      {0x00A0, "nbspace"},
      {0x2206, "Delta"},
      {0x0041, "A"},
      {0x00E9, "eacute"},
      {0x0416, "Zhecyrillic"},
      {0x20AC, "Euro"},
      {0x2022, "bullet"},
      {0x0171, "udblacute"},
      {0x0131, "dotlessi"},
      {0xF8FF, "apple"},
      {0x20AB, "dong"},
      {0x25C8, "whitediamondcontainingblacksmalldiamond"},  // the longest name fills the buffer
      {0xE000, ""},
      {0x4E00, ""},
      {0x0000, ""},
      {0xFFFF, ""},
      {0x05D3, "afii57667"},  // digits count in the order: "afii57667" comes before "dalet"
  };
  for (const Case& c : cases) {
    char buffer[kGlyphNameBufferSize];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GlyphNameFromUnicode(buffer, c.ch), *c.name != '\0') << std::hex << int{c.ch};
    EXPECT_STREQ(buffer, c.name) << std::hex << int{c.ch};
  }
}

}  // namespace
