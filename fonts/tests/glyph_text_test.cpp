// What glyphs stand for: the substitutions read from a GSUB table and the characters given back through them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "glyph_text.h"

namespace {

struct Bytes {
  std::vector<std::uint8_t> data;
  Bytes& U16(std::uint32_t v) {
    data.push_back(static_cast<std::uint8_t>(v >> 8));
    data.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Bytes& U32(std::uint32_t v) { return U16(v >> 16).U16(v & 0xFFFF); }
  Bytes& Append(const Bytes& more) {
    data.insert(data.end(), more.data.begin(), more.data.end());
    return *this;
  }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(data.size()); }
};

Bytes CoverageList(std::vector<std::uint16_t> glyphs) {
  Bytes b;
  b.U16(1).U16(static_cast<std::uint32_t>(glyphs.size()));
  for (auto g : glyphs) b.U16(g);
  return b;
}

Bytes CoverageRange(std::uint16_t first, std::uint16_t last) { return Bytes().U16(2).U16(1).U16(first).U16(last).U16(0); }

Bytes Lookup(std::uint16_t type, const Bytes& subtable) { return Bytes().U16(type).U16(0).U16(1).U16(8).Append(subtable); }

Bytes Gsub(const std::vector<Bytes>& lookups) {
  Bytes list;
  list.U16(static_cast<std::uint32_t>(lookups.size()));
  std::uint32_t at = 2 + 2 * static_cast<std::uint32_t>(lookups.size());
  for (const Bytes& l : lookups) {
    list.U16(at);
    at += l.Size();
  }
  for (const Bytes& l : lookups) list.Append(l);
  return Bytes().U16(1).U16(0).U16(0).U16(0).U16(10).Append(list);
}

// Single substitution by delta over 5 and 6; glyph 20 ligates 3 4 5; behind an extension, single substitution by
// list over the range 7..8; alternates 40 and 41 of glyph 9; a multiple substitution of 2 into 50 51.
Bytes Fixture() {
  const Bytes delta = Bytes().U16(1).U16(6).U16(100).Append(CoverageList({5, 6}));
  const Bytes ligature = Bytes()
                             .U16(1).U16(20).U16(1).U16(8)        // format, coverage at 20, one set at 8
                             .U16(1).U16(4)                       // the set: one ligature at 4
                             .U16(20).U16(3).U16(4).U16(5)        // glyph 20 of 3 components
                             .Append(CoverageList({3}));
  const Bytes byList = Bytes().U16(2).U16(10).U16(2).U16(30).U16(31).Append(CoverageRange(7, 8));
  const Bytes extension = Bytes().U16(1).U16(1).U32(8).Append(byList);
  const Bytes alternates = Bytes().U16(1).U16(14).U16(1).U16(8).U16(2).U16(40).U16(41).Append(CoverageList({9}));
  const Bytes multiple = Bytes().U16(1).U16(14).U16(1).U16(8).U16(2).U16(50).U16(51).Append(CoverageList({2}));
  return Gsub({Lookup(1, delta), Lookup(4, ligature), Lookup(7, extension), Lookup(3, alternates),
               Lookup(2, multiple)});
}

TEST(GsubSubstitutions, EachKindOfLookupNamesWhatItReplaces) {
  const Bytes table = Fixture();
  const auto read = ReadGsubSubstitutions(table.data.data(), table.data.size());
  std::vector<std::pair<std::uint16_t, std::vector<std::uint16_t>>> got;
  for (const auto& s : read) got.push_back({s.output, s.inputs});
  const decltype(got) expected = {
      {105, {5}}, {106, {6}}, {20, {3, 4, 5}}, {30, {7}}, {31, {8}}, {40, {9}}, {41, {9}}, {50, {2}},
  };
  EXPECT_EQ(got, expected);
}

TEST(GsubSubstitutions, EveryCutOfTheTableReadsInBounds) {
  const Bytes table = Fixture();
  const std::size_t whole = ReadGsubSubstitutions(table.data.data(), table.data.size()).size();
  for (std::size_t size = 0; size < table.data.size(); ++size) {
    // A copy of exactly `size` bytes, so a read past the cut is caught.
    const std::vector<std::uint8_t> cut(table.data.begin(), table.data.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_LE(ReadGsubSubstitutions(cut.data(), cut.size()).size(), whole) << size;
  }
  EXPECT_TRUE(ReadGsubSubstitutions(nullptr, 0).empty());
}

TEST(GlyphText, CharactersComeFromTheMapThenFromTheSubstitutions) {
  const std::unordered_map<std::uint32_t, std::vector<char32_t>> mapped = {
      {1, {U'f'}},
      {2, {U'i'}},
      {3, {0x2F47, 0x65E5}},  // the Kangxi radical and the ideograph share a glyph
      {4, {0xFB01}},          // the fi ligature, reached only through its presentation form
      {5, {0xFE8E}},          // a joined Arabic form
      {8, {0xF900}},          // a compatibility ideograph with no other way to it
      {13, {0xFA10, 0xF905}},
      {21, {0x0627}},
  };
  const std::vector<GlyphSubstitution> substitutions = {
      {10, {6}},        // glyph 6 is only known after two steps, so glyph 10 takes the shorter way below
      {6, {4, 2}},      // a ligature of a ligature
      {4, {1, 2}},
      {10, {1}},
      {5, {21}},        // the base letter is known
      {7, {9}},         // glyph 9 stands for nothing
      {11, {12}},       // a cycle gives nothing
      {12, {11}},
  };
  const GlyphText text(mapped, substitutions);
  const struct {
    std::uint32_t glyph;
    std::u32string expected;
  } cases[] = {
      {1, U"f"}, {3, U"\u65E5"}, {4, U"fi"}, {6, U"fii"}, {10, U"f"}, {5, U"\u0627"},
      {7, U""},  {8, U"\uF900"}, {9, U""},   {11, U""},   {12, U""},  {13, U"\uF905"},
  };
  for (const auto& c : cases) EXPECT_EQ(text.Of(c.glyph), c.expected) << c.glyph;
}

}  // namespace

namespace {

TEST(GlyphText, ATextNeverGrowsPastThirtyTwoCharacters) {
  // Each glyph ligates two of the one before: 2, 4, 8, ... characters.
  std::vector<GlyphSubstitution> doubling;
  for (std::uint16_t g = 1; g < 12; ++g) {
    const auto before = static_cast<std::uint16_t>(g - 1);
    doubling.push_back({g, {before, before}});
  }
  const GlyphText text({{0, {U'a'}}}, doubling);
  EXPECT_EQ(text.Of(5), std::u32string(32, U'a'));
  EXPECT_EQ(text.Of(6), U"");
}

}  // namespace
