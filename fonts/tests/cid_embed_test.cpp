// The byte-exact pieces of embedded fonts: the ToUnicode CMap, the /W widths, the licence rule, and what is read of
// a CFF program.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_CID_H

#include "cff_builder.h"
#include "cff_charset.h"
#include "fonts/cid_embed_font.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "to_unicode.h"

namespace {

constexpr const char* kHeader =
    "/CIDInit /ProcSet findresource begin \n12 dict begin \nbegincmap \n"
    "/CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>> def \n"
    "/CMapName /Adobe-Identity-UCS def \n/CMapType 2 def \n1 begincodespacerange \n<0000> <FFFF> \n"
    "endcodespacerange \n";
constexpr const char* kTrailer = "endcmap \nCMapName currentdict /CMap defineresource pop \nend \nend \n";

struct Mapping {
  std::uint32_t cid;
  std::uint32_t unicode;
  std::u32string text = {};
};

// Entry 0, then one entry per mapping.
std::vector<CIDEntry> Entries(const std::vector<Mapping>& mappings) {
  std::vector<CIDEntry> entries = {{0, 0, 0, 500}};
  for (const Mapping& m : mappings) entries.push_back({m.cid, m.cid, m.unicode, 500, m.text});
  return entries;
}

TEST(ToUnicodeMap, SingleMappingsAndRangesOfNeighbouringEntries) {
  struct Case {
    const char* what;
    std::vector<Mapping> entries;
    const char* body;
  } cases[] = {
      {"entry 0 alone", {}, ""},
      {"A B C in order", {{1, 'A'}, {2, 'B'}, {3, 'C'}}, "1 beginbfrange \n<0001><0003><0041> \nendbfrange \n"},
      {"A C", {{1, 'A'}, {2, 'C'}}, "2 beginbfchar \n<0001><0041> \n<0002><0043> \nendbfchar \n"},
      {"B before A", {{1, 'B'}, {2, 'A'}}, "2 beginbfchar \n<0001><0042> \n<0002><0041> \nendbfchar \n"},
      {"no Unicode value", {{1, 0}}, "1 beginbfchar \n<0001><0000> \nendbfchar \n"},
      {"a range and the singles around it", {{1, 'x'}, {2, 'a'}, {3, 'b'}, {5, 'c'}},
       "2 beginbfchar \n<0001><0078> \n<0005><0063> \nendbfchar \n1 beginbfrange \n<0002><0003><0061> \nendbfrange \n"},
      {"the CID's low byte would wrap", {{0xFE, 0x41}, {0xFF, 0x42}, {0x100, 0x43}, {0x101, 0x44}},
       "2 beginbfrange \n<00FE><00FF><0041> \n<0100><0101><0043> \nendbfrange \n"},
      {"the Unicode value's low byte would wrap", {{1, 0xFE}, {2, 0xFF}, {3, 0x100}},
       "1 beginbfchar \n<0003><0100> \nendbfchar \n1 beginbfrange \n<0001><0002><00FE> \nendbfrange \n"},
      {"beyond U+FFFF: surrogate pairs", {{5, 0x1F600}, {6, 0x1F601}, {9, 0x1D400}},
       "1 beginbfchar \n<0009><D835DC00> \nendbfchar \n1 beginbfrange \n<0005><0006><D83DDE00> \nendbfrange \n"},
      {"from U+FFFF to U+10000", {{1, 0xFFFF}, {2, 0x10000}},
       "2 beginbfchar \n<0001><FFFF> \n<0002><D800DC00> \nendbfchar \n"},
      {"a ligature reads as its letters and breaks the range", {{1, 'e'}, {2, 0, U"ffi"}, {3, 'g'}},
       "3 beginbfchar \n<0001><0065> \n<0002><006600660069> \n<0003><0067> \nendbfchar \n"},
      {"letters beyond U+FFFF", {{4, 0, U"a\U0001F600"}}, "1 beginbfchar \n<0004><0061D83DDE00> \nendbfchar \n"},
      {"a CID keeps its first value", {{1, 'A'}, {2, 'B'}, {1, 'X'}, {3, 'C'}},
       "1 beginbfrange \n<0001><0003><0041> \nendbfrange \n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildToUnicodeCMap(Entries(c.entries)), std::string(kHeader) + c.body + kTrailer) << c.what;
  }
  EXPECT_EQ(std::string(kHeader).size(), 250u);
  EXPECT_EQ(std::string(kTrailer).size(), 66u);
}

TEST(ToUnicodeMap, BlocksHoldAtMostAHundredMappings) {
  std::vector<Mapping> singles, ranges;
  for (std::uint32_t i = 0; i < 250; ++i) singles.push_back({i + 1, 0x4E00 + 2 * i});  // never neighbours
  for (std::uint32_t i = 0; i < 101; ++i) {
    ranges.push_back({3 * i + 1, 0x100 * (i + 1)});
    ranges.push_back({3 * i + 2, 0x100 * (i + 1) + 1});
  }
  const auto count = [](const std::string& text, const std::string& what) {
    std::vector<std::string> opens;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
      const std::size_t line = text.rfind('\n', at) + 1;
      opens.push_back(text.substr(line, at + what.size() - line));
    }
    return opens;
  };
  EXPECT_EQ(count(BuildToUnicodeCMap(Entries(singles)), " beginbfchar \n"),
            (std::vector<std::string>{"100 beginbfchar \n", "100 beginbfchar \n", "50 beginbfchar \n"}));
  EXPECT_EQ(count(BuildToUnicodeCMap(Entries(ranges)), " beginbfrange \n"),
            (std::vector<std::string>{"100 beginbfrange \n", "1 beginbfrange \n"}));
}

TEST(WidthsToken, GroupsEndWhereTheCidsStopBeingConsecutive) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::uint32_t, std::int32_t>> entries;  // CID, width
    bool cjk;
    const char* expected;
  } cases[] = {
      {"Latin", {{0, 500}, {1, 600}, {2, 600}, {5, 250}}, false, "[0[500 600 600 ] 5[250 ]]"},
      {"Latin, entry 0 alone", {{0, 500}}, false, "[0[500 ]]"},
      {"Latin, one glyph under two characters", {{0, 0}, {1, 600}, {1, 600}}, false, "[0[0 600 ] 1[600 ]]"},
      {"CJK", {{0, 1000}, {1, 500}, {2, 500}, {3, 1000}}, true, "[0 0 1000 1 2 500 3 3 1000 ]"},
      {"CJK, equal widths across a gap", {{0, 1000}, {1, 1000}, {5, 1000}, {6, 1000}}, true, "[0 1 1000 5 6 1000 ]"},
      {"CJK, CIDs going down", {{0, 1000}, {7, 1000}, {6, 1000}}, true, "[0 0 1000 7 7 1000 6 6 1000 ]"},
      {"a negative advance", {{0, -20}}, false, "[0[-20 ]]"},
  };
  for (const auto& c : cases) {
    std::vector<CIDEntry> entries;
    for (const auto& [cid, width] : c.entries) entries.push_back({cid, cid, 0, width});
    EXPECT_EQ(CIDWidthsToken(entries, c.cjk), c.expected) << c.what;
  }
}

TEST(EmbeddingRule, TheLicenceBitsOfTheLowByte) {
  struct Case {
    std::uint16_t fsType;
    bool allowed;
  } cases[] = {
      {0x0000, true},  {0x0002, false}, {0x0004, true},  {0x0008, true},  {0x000C, true}, {0x0006, true},
      {0x0202, false}, {0x0102, false}, {0x0302, false}, {0x0100, true},  {0x0200, true}, {0x0001, true},
      {0x0003, false}, {0x0010, true},  {0x0012, false}, {0x020A, true},
  };
  for (const auto& c : cases) EXPECT_EQ(EmbeddingAllowed(c.fsType), c.allowed) << std::hex << c.fsType;
}

TEST(FontBuffer, ReadsOnlyInsideTheProgram) {
  const std::uint8_t bytes[] = {1, 2, 3, 4};
  FontBuffer buffer{bytes, 4};
  std::uint8_t out[4] = {};
  EXPECT_EQ(FontBuffer_Read(&buffer, 1, out, 3), 0);
  EXPECT_EQ(out[2], 4);
  EXPECT_EQ(FontBuffer_Read(&buffer, 4, out, 0), 0);
  EXPECT_EQ(FontBuffer_Read(&buffer, 2, out, 3), -1);
  EXPECT_EQ(FontBuffer_Read(&buffer, 0xFFFFFFFF, out, 2), -1) << "offset + length wraps";
  EXPECT_EQ(FontBuffer_Read(nullptr, 0, out, 1), -1);
  FontBuffer empty;
  EXPECT_EQ(FontBuffer_Read(&empty, 0, out, 1), -1);
  EXPECT_EQ(FontBuffer_GetSize(&buffer), 4u);
}

std::vector<cfftest::Bytes> Glyphs(int count) {
  std::vector<cfftest::Bytes> glyphs;
  for (int i = 0; i < count; ++i) glyphs.push_back(cfftest::Square(500 + i, 100));
  return glyphs;
}

TEST(CffProgram, CidsComeFromTheCharset) {
  using cfftest::Format0;
  using cfftest::RangeFormat;
  struct Case {
    const char* what;
    cfftest::Program program;
    std::optional<std::vector<std::uint16_t>> cids;  // nothing: not readable; empty: name-keyed
  } cases[] = {
      {"name-keyed", {false, std::nullopt, std::nullopt, Glyphs(3)}, std::vector<std::uint16_t>{}},
      {"format 0", {true, Format0({5, 9, 7}), std::nullopt, Glyphs(4)}, std::vector<std::uint16_t>{0, 5, 9, 7}},
      {"format 1", {true, RangeFormat(1, {{100, 2}}), std::nullopt, Glyphs(4)},
       std::vector<std::uint16_t>{0, 100, 101, 102}},
      {"format 2, a range longer than the glyphs left", {true, RangeFormat(2, {{300, 1}, {10, 600}}), std::nullopt,
                                                          Glyphs(5)},
       std::vector<std::uint16_t>{0, 300, 301, 10, 11}},
      {"glyph 0 alone", {true, Format0({}), std::nullopt, Glyphs(1)}, std::vector<std::uint16_t>{0}},
      {"no charset", {true, std::nullopt, std::nullopt, Glyphs(3)}, std::nullopt},
      {"a predefined charset", {true, std::nullopt, 1, Glyphs(3)}, std::nullopt},
      {"a charset past the table", {true, std::nullopt, 100000, Glyphs(3)}, std::nullopt},
      {"two glyphs under one CID", {true, Format0({5, 5}), std::nullopt, Glyphs(3)}, std::nullopt},
      {"a glyph under CID 0", {true, Format0({0, 5}), std::nullopt, Glyphs(3)}, std::nullopt},
      {"a range past CID 65535", {true, RangeFormat(1, {{65535, 3}}), std::nullopt, Glyphs(3)}, std::nullopt},
      {"an unknown format", {true, cfftest::Bytes{3, 0, 1}, std::nullopt, Glyphs(2)}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const cfftest::Bytes table = cfftest::Build(c.program);
    const auto read = ReadCffGlyphCids(table.data(), table.size());
    ASSERT_EQ(read.has_value(), c.cids.has_value());
    if (!read) continue;
    EXPECT_EQ(read->glyphCount, c.program.charStrings.size());
    EXPECT_EQ(read->cidKeyed, c.program.cidKeyed);
    EXPECT_EQ(read->cids, *c.cids);
  }
}

TEST(CffProgram, EveryCutOfATableIsReadInBoundsOrRefused) {
  const cfftest::Bytes table = cfftest::Build({true, cfftest::RangeFormat(2, {{7, 30}}), std::nullopt, Glyphs(20)});
  ASSERT_TRUE(ReadCffGlyphCids(table.data(), table.size()));
  for (std::size_t length = 0; length < table.size(); ++length) {
    // A copy of exactly `length` bytes, so the sanitizer sees any read past it.
    const cfftest::Bytes cut(table.begin(), table.begin() + static_cast<long>(length));
    const auto read = ReadCffGlyphCids(cut.empty() ? nullptr : cut.data(), cut.size());
    if (read) {
      EXPECT_EQ(read->cids.size(), 20u) << length;
    }
  }
  // Bytes flipped one at a time: the answer may change, the reads stay inside.
  for (std::size_t at = 0; at < table.size(); ++at) {
    cfftest::Bytes flipped = table;
    flipped[at] ^= 0xFF;
    ReadCffGlyphCids(flipped.data(), flipped.size());
  }
  EXPECT_FALSE(ReadCffGlyphCids(nullptr, 10));
}

TEST(CffProgram, AnInstalledOpenTypeFontIsNameKeyed) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Face(library, "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", 0, &face), 0);
  FT_ULong length = 0;
  ASSERT_EQ(FT_Load_Sfnt_Table(face, TTAG_CFF, 0, nullptr, &length), 0);
  std::vector<std::uint8_t> cff(length);
  ASSERT_EQ(FT_Load_Sfnt_Table(face, TTAG_CFF, 0, cff.data(), &length), 0);
  const auto read = ReadCffGlyphCids(cff.data(), cff.size());
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->cidKeyed);
  EXPECT_EQ(read->glyphCount, static_cast<std::uint32_t>(face->num_glyphs));
  FT_Done_Face(face);

  // The synthetic CID-keyed font opens in FreeType with the CIDs of its charset.
  const cfftest::Bytes font = cfftest::CidKeyedOpenType({1000, 1001, 500});
  ASSERT_EQ(FT_New_Memory_Face(library, font.data(), static_cast<FT_Long>(font.size()), 0, &face), 0);
  EXPECT_EQ(face->num_glyphs, 4);
  EXPECT_EQ(FT_Get_Char_Index(face, 'C'), 3u);
  FT_Bool isCid = 0;
  FT_UInt cid = 0;
  EXPECT_EQ(FT_Get_CID_Is_Internally_CID_Keyed(face, &isCid), 0);
  EXPECT_TRUE(isCid);
  EXPECT_EQ(FT_Get_CID_From_Glyph_Index(face, 3, &cid), 0);
  EXPECT_EQ(cid, 500u);
  ASSERT_EQ(FT_Load_Glyph(face, 2, FT_LOAD_NO_SCALE), 0);
  EXPECT_EQ(face->glyph->metrics.horiAdvance, 700);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace
