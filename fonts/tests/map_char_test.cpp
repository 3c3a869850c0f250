// Charset routing of named fonts: which sub-font, code and width each character gets.
#include "font_fixture.h"
#include "fonts/charset_tables.h"
#include "fonts/glyph_names.h"
#include "fonts/unicode_font.h"

namespace {

using fonttest::FontTest;
using fonttest::IfiRecord;

std::vector<BYTE> CodeBytes(const MappedChar& mapped) {
  BYTE all[sizeof mapped.code];
  std::memcpy(all, &mapped.code, sizeof all);
  return std::vector<BYTE>(all, all + std::min<std::size_t>(mapped.count, sizeof all));
}

class MapCharTest : public FontTest {
 protected:
  CPDF_UnicodeFont& Select(const std::filesystem::path& file) {
    auto* font = dynamic_cast<CPDF_UnicodeFont*>(writer_.SelectFont(Realize(file)));
    EXPECT_NE(font, nullptr);
    return *font;
  }

  // A font without a face (all widths 0) whose charsets are the test's.
  CPDF_UnicodeFont& Fake(BYTE own, std::vector<BYTE> charsets) {
    IFIMETRICS ifi = IfiRecord::Basic();
    ifi.jWinCharSet = own;
    IfiRecord record(ifi, u"Fake Face", std::move(charsets));
    auto font = std::make_unique<CPDF_UnicodeFont>(&writer_, u"Fake Face 1.0");
    font->SetMetrics(*record);
    font->Prepare(*record);
    return static_cast<CPDF_UnicodeFont&>(*writer_.documentFonts.emplace_back(std::move(font)));
  }


 public:
  // The charset of the sub-font a resource number names; -1 for none.
  static int CharsetOf(const CPDF_UnicodeFont& font, std::uint32_t resource) {
    for (const auto& sub : font.subFonts) {
      const auto* cid = dynamic_cast<const CPDF_CIDSubFont*>(sub.get());
      if (sub->objectNumber == resource || (cid && cid->verticalNumber == resource)) return sub->charset;
    }
    return -1;
  }
};

struct RoutingCase {
  const char* what;
  std::u16string text;  // the last character is checked, the ones before it set the current charset
  int charset;          // of the sub-font the last character goes to; kCustomCharset; -1: not shown
  std::vector<BYTE> bytes;
};

void CheckRouting(CPDF_UnicodeFont& font, const RoutingCase& c) {
  SCOPED_TRACE(c.what);
  font.currentCharset = font.ownCharset;
  MappedChar mapped;
  for (WCHAR ch : c.text) mapped = font.MapChar(ch, 0, false);
  EXPECT_EQ(CodeBytes(mapped), c.bytes);
  if (c.charset < 0) {
    EXPECT_EQ(mapped.count, 0u);
    EXPECT_EQ(mapped.resource, 0u);
  } else {
    EXPECT_EQ(MapCharTest::CharsetOf(font, mapped.resource), c.charset);
  }
}

TEST_F(MapCharTest, ALatinFontRoutesEachCharacterToACharsetOrACustomCode) {
  CPDF_UnicodeFont& font = Select(fonttest::kDejaVuSans);
  ASSERT_EQ(font.ownCharset, ANSI_CHARSET);
  ASSERT_EQ(std::vector<BYTE>(font.charsets.begin(), font.charsets.begin() + 11),
            (std::vector<BYTE>{0, 238, 204, 161, 162, 177, 178, 186, 163, 255, 1}))
      << "the engine's charsets of DejaVu Sans, which the cases below rely on";
  const RoutingCase cases[] = {
      {"ASCII", u"A", ANSI_CHARSET, {0x41}},
      {"Latin-1 in the own charset", u"\u00E9", ANSI_CHARSET, {0xE9}},
      {"Cyrillic in a Latin font: the first listed charset that has it", u"\u0416", RUSSIAN_CHARSET, {0xC6}},
      {"ASCII after Cyrillic stays in the current charset", u"\u0416A", RUSSIAN_CHARSET, {0x41}},
      {"Latin-1 after Cyrillic goes back to the own charset", u"\u0416\u00E9", ANSI_CHARSET, {0xE9}},
      {"an ideograph without a glyph name: the first fallback charset that has it", u"\u4E2D", GB2312_CHARSET,
       {0x4E, 0x2D}},
      {"a named character outside the font's charsets", u"\u2660", kCustomCharset, {0x01}},
      {"a named character takes a custom code even where a fallback charset has it", u"\u0E01", kCustomCharset,
       {0x02}},
      {"no glyph name and no charset: nothing is shown", u"\u0378", -1, {}},
  };
  for (const auto& c : cases) CheckRouting(font, c);
  EXPECT_EQ(font.MapChar(u'\u4E2D', 0, false).width, 1000);
}

TEST_F(MapCharTest, TheFontsOwnCharsetsDecideFirst) {
  const RoutingCase noArabic[] = {
      {"a character without a glyph name in a fallback charset the font does not list", u"\u06A9", ARABIC_CHARSET,
       {0x98}},
  };
  CPDF_UnicodeFont& latin = Fake(ANSI_CHARSET, {ANSI_CHARSET});
  for (const auto& c : noArabic) CheckRouting(latin, c);

  const RoutingCase noList[] = {
      {"an empty charset list: ASCII in the own charset", u"A", ANSI_CHARSET, {0x41}},
      {"an empty charset list: Cyrillic takes a custom code", u"\u0416", kCustomCharset, {0x01}},
  };
  CPDF_UnicodeFont& empty = Fake(ANSI_CHARSET, {});
  for (const auto& c : noList) CheckRouting(empty, c);

  const RoutingCase oem[] = {
      {"in an OEM font ASCII meets the OEM charset first and takes a custom code", u"A", kCustomCharset, {0x01}},
      {"past the OEM charset the list goes on", u"\u00E9", ANSI_CHARSET, {0xE9}},
  };
  CPDF_UnicodeFont& oemFont = Fake(OEM_CHARSET, {OEM_CHARSET, ANSI_CHARSET});
  for (const auto& c : oem) CheckRouting(oemFont, c);
}

TEST_F(MapCharTest, The256thCustomCharacterOpensASecondCustomSubFont) {
  CPDF_UnicodeFont& font = Select(fonttest::kDejaVuSans);
  // Named characters that none of the font's charsets carries.
  std::vector<WCHAR> named;
  for (unsigned ch = 0x100; ch < 0xFFFF && named.size() < 256; ++ch) {
    char name[kGlyphNameBufferSize];
    if (!GlyphNameFromUnicode(name, static_cast<WCHAR>(ch))) continue;
    bool carried = false;
    for (BYTE cs : font.charsets) {
      if (cs == DEFAULT_CHARSET) break;
      UINT code = 0, count = 0;
      carried = carried || UnicodeToCharsetCode(static_cast<WCHAR>(ch), cs, code, count);
    }
    if (!carried) named.push_back(static_cast<WCHAR>(ch));
  }
  ASSERT_EQ(named.size(), 256u);

  const MappedChar first = font.MapChar(named[0], 0, false);
  ASSERT_EQ(first.count, 1u);
  EXPECT_EQ(first.code, 1u);
  for (std::size_t i = 1; i < 255; ++i) {
    const MappedChar mapped = font.MapChar(named[i], 0, false);
    EXPECT_EQ(mapped.code, i + 1);
    EXPECT_EQ(mapped.resource, first.resource);
  }
  const MappedChar last = font.MapChar(named[255], 0, false);
  EXPECT_EQ(last.code, 1u);
  EXPECT_GT(last.resource, first.resource);
  EXPECT_EQ(CharsetOf(font, last.resource), kCustomCharset);
  // Characters keep their codes.
  EXPECT_EQ(font.MapChar(named[254], 0, false).code, 255u);
  EXPECT_EQ(font.MapChar(named[254], 0, false).resource, first.resource);
  EXPECT_EQ(font.MapChar(named[255], 0, false).resource, last.resource);
  EXPECT_EQ(font.subFonts.size(), 2u);
  // The width is the glyph's.
  const auto glyph = font.GlyphHandleOf(named[0]);
  ASSERT_TRUE(glyph);
  EXPECT_EQ(first.width, font.GlyphWidth(*glyph).value_or(-1));
}

TEST_F(MapCharTest, CjkCharactersHaveAVerticalFormOtherCharactersDoNot) {
  CPDF_UnicodeFont& font = Select(fonttest::kWenQuanYi);
  const MappedChar across = font.MapChar(u'\u4E2D', 0, false);
  const MappedChar down = font.MapChar(u'\u4E2D', 0, true);
  EXPECT_EQ(CharsetOf(font, across.resource), SHIFTJIS_CHARSET) << "the first listed CJK charset that has it";
  EXPECT_EQ(CharsetOf(font, down.resource), SHIFTJIS_CHARSET);
  EXPECT_NE(across.resource, down.resource);
  EXPECT_FALSE(across.vertical);
  EXPECT_TRUE(down.vertical);
  EXPECT_EQ(CodeBytes(down), (std::vector<BYTE>{0x4E, 0x2D}));
  // ASCII would stay in the current (Japanese) charset; from the own charset it is a single-byte code.
  font.currentCharset = font.ownCharset;
  const MappedChar latin = font.MapChar(u'A', 0, true);
  EXPECT_FALSE(latin.vertical) << "a single-byte sub-font writes horizontally";
  EXPECT_EQ(latin.count, 1u);
}

}  // namespace
