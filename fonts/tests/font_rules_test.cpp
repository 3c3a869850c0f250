// The base of the font objects: the width rule, descriptor flags and metrics, the glyph set copy and the
// descriptor of a named font.
#include <cstddef>

#include "font_fixture.h"
#include "fonts/unicode_font.h"

namespace {

using fonttest::FontTest;
using fonttest::IfiRecord;

TEST(WidthRule, RoundsHalfUpThenTruncatesTowardZero) {
  struct Case {
    std::int64_t advance;
    std::int32_t unitsPerEm;
    std::int32_t width;
  } cases[] = {
      {1000, 1000, 1000}, {1229, 2048, 600}, {1, 2048, 0},   {2, 2048, 1},    {1556, 2048, 760},
      {-492, 2048, -239}, {-1, 1000, 0},     {-2, 1000, -1}, {3, 3, 1000},    {65535, 16, 4095938},
      {500, 0, 0},        {500, -1000, 0},   {0, 2048, 0},
  };
  for (const auto& c : cases) {
    fonttest::TableFont font;
    font.unitsPerEm = c.unitsPerEm;
    EXPECT_EQ(font.GlyphUnitsToWidth(c.advance), c.width) << c.advance << " / " << c.unitsPerEm;
  }
}

TEST(DescriptorFlags, FollowCharsetPitchFamilyAndItalic) {
  struct Case {
    BYTE charset;
    BYTE pitchAndFamily;
    USHORT selection;
    std::uint32_t flags;
  } cases[] = {
      {ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS, 0, 32},
      {SYMBOL_CHARSET, VARIABLE_PITCH | FF_SWISS, 0, 4},
      {ANSI_CHARSET, FIXED_PITCH | FF_MODERN, 0, 33},
      {ANSI_CHARSET, FIXED_PITCH | FF_DONTCARE, 0, 33},
      {ANSI_CHARSET, VARIABLE_PITCH | FF_MODERN, 0, 33},
      {ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN, FM_SEL_ITALIC, 98},
      {ANSI_CHARSET, VARIABLE_PITCH | FF_SCRIPT, 0, 40},
      {ANSI_CHARSET, VARIABLE_PITCH | FF_DECORATIVE, FM_SEL_BOLD, 32},
      {SYMBOL_CHARSET, FIXED_PITCH | FF_ROMAN, FM_SEL_ITALIC | FM_SEL_BOLD, 71},
      {RUSSIAN_CHARSET, 3 | FF_SWISS, 0, 32},
  };
  for (const auto& c : cases) {
    IFIMETRICS ifi = IfiRecord::Basic();
    ifi.jWinCharSet = c.charset;
    ifi.jWinPitchAndFamily = c.pitchAndFamily;
    ifi.fsSelection = c.selection;
    fonttest::TableFont font;
    font.SetMetrics(*IfiRecord(ifi));
    EXPECT_EQ(font.flags, c.flags) << int{c.charset} << " " << int{c.pitchAndFamily} << " " << c.selection;
  }
}

TEST(FontMetrics, ComeInThousandthsOfAnEmAndWithoutTheVerticalMark) {
  IFIMETRICS ifi = IfiRecord::Basic();
  ifi.fwdUnitsPerEm = 2048;
  ifi.fwdTypoAscender = 1556;
  ifi.fwdTypoDescender = -492;
  ifi.fwdCapHeight = 1493;
  ifi.usWinWeight = 700;
  ifi.lItalicAngle = -115;
  ifi.fsType = 0x0208;
  ifi.rclFontBox = {-2090, 2524, 3673, -948};
  fonttest::TableFont font;
  font.SetMetrics(*IfiRecord(ifi, u"@Vertical Face"));
  EXPECT_EQ(font.faceName, "Vertical Face");
  EXPECT_EQ(font.ascent, 760);
  EXPECT_EQ(font.descent, -239);
  EXPECT_EQ(font.capHeight, 729);
  EXPECT_EQ(font.stem, 140);
  EXPECT_EQ(font.italicAngle, -115);
  EXPECT_EQ(font.embeddingRights, 0x0208);
  EXPECT_EQ(font.fontBox, (std::array<std::int32_t, 4>{-1020, 1232, 1793, -462}));

  ifi.fwdUnitsPerEm = 0;  // a broken record: every metric is 0, nothing divides by zero
  font.SetMetrics(*IfiRecord(ifi));
  EXPECT_EQ(font.ascent, 0);
  EXPECT_EQ(font.fontBox, (std::array<std::int32_t, 4>{}));
  EXPECT_EQ(font.GlyphUnitsToWidth(1000), 0);
}

TEST(FontMetrics, StringsAreReadWithinTheRecord) {
  IfiRecord record(IfiRecord::Basic(), u"Face", {0}, u"Family", u"Unique");
  const IFIMETRICS& ifi = *record;
  EXPECT_EQ(IfiMetricsString(ifi, ifi.dpwszFamilyName), u"Family");
  EXPECT_EQ(IfiMetricsString(ifi, 0), u"");
  EXPECT_EQ(IfiMetricsString(ifi, -4), u"");
  EXPECT_EQ(IfiMetricsString(ifi, static_cast<PTRDIFF>(ifi.cjThis)), u"");
  // A last string without its zero stops at the record's end.
  IfiRecord cut(IfiRecord::Basic(), u"Face", {}, u"Family", u"Unique");
  (*cut).cjThis -= 4;
  EXPECT_EQ(IfiMetricsString(*cut, (*cut).dpwszUniqueName), u"Uniqu");
}

// A glyph set block as the engine lays it out: the header, the runs, then the handle lists.
class GlyphSetBlock {
 public:
  struct Run {
    WCHAR low;
    std::vector<HGLYPH> handles;  // empty: the handles are the characters, `count` of them
    USHORT count = 0;
  };
  explicit GlyphSetBlock(const std::vector<Run>& runs) {
    const std::size_t header = offsetof(FD_GLYPHSET, awcrun);
    std::size_t handles = 0;
    for (const auto& run : runs) handles += run.handles.size();
    const std::size_t size = header + runs.size() * sizeof(WCRUN) + handles * sizeof(HGLYPH);
    storage_.resize((std::max(size, sizeof(FD_GLYPHSET)) + 7) / 8);
    auto* bytes = reinterpret_cast<unsigned char*>(storage_.data());
    FD_GLYPHSET set{};
    set.cjThis = static_cast<ULONG>(size);
    set.cRuns = static_cast<ULONG>(runs.size());
    std::memcpy(bytes, &set, header);
    auto* list = reinterpret_cast<HGLYPH*>(bytes + header + runs.size() * sizeof(WCRUN));
    for (std::size_t r = 0; r < runs.size(); ++r) {
      WCRUN run{runs[r].low, runs[r].count, nullptr};
      if (!runs[r].handles.empty()) {
        run.cGlyphs = static_cast<USHORT>(runs[r].handles.size());
        run.phg = list;
        for (HGLYPH h : runs[r].handles) *list++ = h;
      }
      std::memcpy(bytes + header + r * sizeof(WCRUN), &run, sizeof run);
    }
  }
  FD_GLYPHSET* Get() { return reinterpret_cast<FD_GLYPHSET*>(storage_.data()); }
  WCRUN* RunAt(std::size_t r) {
    return reinterpret_cast<WCRUN*>(reinterpret_cast<unsigned char*>(storage_.data()) + offsetof(FD_GLYPHSET, awcrun) +
                                    r * sizeof(WCRUN));
  }

 private:
  std::vector<std::uint64_t> storage_;
};

TEST(GlyphSetCopy, MapsCharactersAndHandlesBothWays) {
  GlyphSetBlock block({{u'A', {36, 37, 38}}, {u'a', {}, 3}, {0x4E2D, {900}}});
  fonttest::TableFont font;
  font.CopyGlyphSet(block.Get());
  block = GlyphSetBlock({});  // the copy stands alone
  EXPECT_EQ(font.GlyphHandleOf(u'B'), HGLYPH{37});
  EXPECT_EQ(font.GlyphHandleOf(u'b'), HGLYPH{u'b'});
  EXPECT_EQ(font.GlyphHandleOf(0x4E2D), HGLYPH{900});
  EXPECT_EQ(font.GlyphHandleOf(u'D'), std::nullopt);
  EXPECT_EQ(font.GlyphHandleOf(u'd'), std::nullopt);
  EXPECT_EQ(font.GlyphToUnicode(38), u'C');
  EXPECT_EQ(font.GlyphToUnicode(u'c'), u'c');
  EXPECT_EQ(font.GlyphToUnicode(900), 0x4E2D);
  EXPECT_EQ(font.GlyphToUnicode(1234), 0) << "a handle in no run is character 0";
}

TEST(GlyphSetCopy, AGlyphSharedWithARadicalOrCompatibilityFormReadsAsItsOwnCharacter) {
  // The Kangxi radical sun and the ideograph share glyph 500, and the fi ligature is only a presentation form.
  GlyphSetBlock block({{0x2F47, {500}}, {0x65E5, {500}}, {0xF900, {501}}, {0xFB01, {502}}});
  fonttest::TableFont font;
  font.CopyGlyphSet(block.Get());
  EXPECT_EQ(font.GlyphToUnicode(500), 0x65E5);
  EXPECT_EQ(font.GlyphToUnicode(501), 0xF900) << "a compatibility character with no other is kept";
  EXPECT_EQ(font.GlyphToUnicode(502), 0xFB01);
}

TEST(GlyphSetCopy, AMissingOrMalformedSetIsEmpty) {
  struct Case {
    const char* what;
    void (*spoil)(GlyphSetBlock&);
  } cases[] = {
      {"more runs than the block holds", [](GlyphSetBlock& b) { b.Get()->cRuns = 1000; }},
      {"a size below the header", [](GlyphSetBlock& b) { b.Get()->cjThis = 8; }},
      {"a handle list before the block", [](GlyphSetBlock& b) { b.RunAt(0)->phg -= 64; }},
      {"a handle list running past the block", [](GlyphSetBlock& b) { b.RunAt(0)->cGlyphs = 40; }},
      {"a handle list after the block", [](GlyphSetBlock& b) { b.RunAt(1)->phg += 1000; }},
      {"a run past U+FFFF", [](GlyphSetBlock& b) { b.RunAt(2)->wcLow = 0xFFFF; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GlyphSetBlock block({{u'A', {36, 37, 38}}, {u'a', {70, 71}}, {u'0', {}, 10}});
    c.spoil(block);
    fonttest::TableFont font;
    font.CopyGlyphSet(block.Get());
    EXPECT_TRUE(font.glyphRuns.empty());
    EXPECT_EQ(font.GlyphHandleOf(u'A'), std::nullopt);
    EXPECT_EQ(font.GlyphToUnicode(36), 0);
  }
  fonttest::TableFont font;
  font.CopyGlyphSet(nullptr);
  EXPECT_TRUE(font.glyphRuns.empty());
}

using FontDescriptor = FontTest;

TEST_F(FontDescriptor, IsWrittenWithItsMetricsAndTheItalicAngleInDegrees) {
  // Metrics go through the width rule: -200 font units of 1000 per em are (-200000 + 500) / 1000 = -199.
  IFIMETRICS ifi = IfiRecord::Basic();
  ifi.jWinPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  ifi.fsSelection = FM_SEL_ITALIC;
  ifi.lItalicAngle = -120;
  ifi.usWinWeight = 700;
  CPDF_UnicodeFont font(&writer_, u"Test Face 1.0");
  font.SetMetrics(*IfiRecord(ifi, u"Test Face(1)"));
  writer_.lastObjectNumber = 2;
  font.WriteFontDescriptor(1, 0);
  font.italicAngle = -115;
  font.WriteFontDescriptor(2, 602);
  EXPECT_EQ(Output(),
            "1 0 obj\n<<\n/Ascent 800 \n/CapHeight 700 \n/Descent -199 \n/Flags 98 \n/FontBBox [-99 -299 1100 900] \n"
            "/FontName /Test#20Face#281#29 \n/ItalicAngle -12 \n/StemV 140 \n/Type /FontDescriptor \n>>\nendobj\n"
            "2 0 obj\n<<\n/Ascent 800 \n/CapHeight 700 \n/Descent -199 \n/Flags 98 \n/FontBBox [-99 -299 1100 900] \n"
            "/FontName /Test#20Face#281#29 \n/ItalicAngle -11.5 \n/MissingWidth 602 \n/StemV 140 \n"
            "/Type /FontDescriptor \n>>\nendobj\n");
}

}  // namespace
