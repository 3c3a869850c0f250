#include "fonts/charset_tables.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fonts/glyph_names.h"

namespace {

struct SingleByteCharset {
  UINT charset;
  UINT codePage;
};

constexpr SingleByteCharset kSingleByteCharsets[] = {
    {0, 1252},   {238, 1250}, {204, 1251}, {161, 1253}, {162, 1254},
    {177, 1255}, {178, 1256}, {186, 1257}, {163, 1258}, {222, 874},
};

// The one character that the C library's iconv decodes `b` to, on its own; 0 when iconv rejects the byte.
char32_t DecodeWithIconv(iconv_t cd, unsigned char b) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char in[1] = {static_cast<char>(b)};
  char out[16];
  char* inp = in;
  char* outp = out;
  std::size_t inLeft = sizeof in, outLeft = sizeof out;
  if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  // 1255 and 1258 hold a base letter back in case a combining mark follows; flushing releases it.
  if (iconv(cd, nullptr, nullptr, &outp, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  const std::size_t produced = static_cast<std::size_t>(outp - out);
  EXPECT_EQ(produced, 4u) << "byte 0x" << std::hex << int{b} << " decodes to more than one character";
  char32_t c = 0;
  for (std::size_t i = 0; i < 4; ++i) c |= static_cast<char32_t>(static_cast<unsigned char>(out[i])) << (8 * i);
  return c;
}

std::string Hex(unsigned v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", v);
  return text;
}

std::vector<BYTE> Bytes(UINT code, UINT count) {
  BYTE all[sizeof code];
  std::memcpy(all, &code, sizeof code);
  return std::vector<BYTE>(all, all + count);
}

TEST(CharsetTables, EveryUpperHalfMatchesIconv) {
  for (const auto& [charset, codePage] : kSingleByteCharsets) {
    SCOPED_TRACE("charset " + std::to_string(charset) + ", code page " + std::to_string(codePage));
    const WCHAR* table = CharsetUpperHalfTable(charset);
    ASSERT_NE(table, nullptr);
    const iconv_t cd = iconv_open("UTF-32LE", ("CP" + std::to_string(codePage)).c_str());
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (unsigned b = 0x80; b <= 0xFF; ++b)
      EXPECT_EQ(static_cast<char32_t>(table[b - 0x80]), DecodeWithIconv(cd, static_cast<unsigned char>(b)))
          << "code 0x" << std::hex << b;
    iconv_close(cd);
  }
}

TEST(CharsetTables, OnlyTheTenSingleByteCharsetsHaveTables) {
  for (const UINT charset : {1u, 2u, 77u, 128u, 129u, 130u, 134u, 136u, 255u, 256u, 0x100u + 204u})
    EXPECT_EQ(CharsetUpperHalfTable(charset), nullptr) << charset;
}

TEST(CharsetTables, UnicodeToCharsetCode) {
  struct Case {
    WCHAR ch;
    UINT charset;
    bool converts;
    std::vector<BYTE> bytes;  // the bytes to show
  };
  const Case cases[] = {
      {0x00E9, 0, true, {0xE9}},
      {0x00E9, 238, true, {0xE9}},
      {0x00E9, 204, false, {}},
      {0x0416, 204, true, {0xC6}},  // Cyrillic Zhe
      {0x20AC, 204, true, {0x88}},  // the euro sits apart in 1251
      {0x0E01, 222, true, {0xA1}},  // Thai ko kai
      {0x20AB, 163, true, {0xFE}},  // dong sign
      {0x0041, 2, true, {0x41}},    // below 128 needs no table
      {0x0041, 255, true, {0x41}},
      {0x00E9, 2, false, {}},             // no table, nothing above 127
      {0x0081, 0, false, {}},             // an undefined code holds no character
      {0x0041, 128, true, {0x00, 0x41}},  // CJK: the UTF-16 value, high byte first
      {0x4E00, 128, true, {0x4E, 0x00}},
      {0x4E00, 134, true, {0x4E, 0x00}},
      {0x4E00, 136, true, {0x4E, 0x00}},
      {0x4EEC, 128, false, {}},  // a simplified ideograph that 932 lacks
      {0x4EEC, 134, true, {0x4E, 0xEC}},
      {0xAC00, 129, true, {0xAC, 0x00}},  // Hangul ga
      {0xAC00, 130, true, {0xAC, 0x00}},
      {0xAC00, 128, false, {}},
      {0x0416, 134, true, {0x04, 0x16}},
      {0xD800, 128, false, {}},  // a lone surrogate converts nowhere
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.ch) + " in charset " + std::to_string(c.charset));
    UINT code = 0xDEADBEEF, count = 99;
    ASSERT_EQ(UnicodeToCharsetCode(c.ch, c.charset, code, count), c.converts);
    if (c.converts) {
      EXPECT_EQ(Bytes(code, count), c.bytes);
    } else {
      EXPECT_EQ(code, 0xDEADBEEFu);  // a failed lookup leaves the outputs alone
      EXPECT_EQ(count, 99u);
    }
  }
}

// Every defined code of every table is found again from its character (the first code wins on duplicates).
TEST(CharsetTables, DefinedCodesRoundTrip) {
  for (const auto& [charset, codePage] : kSingleByteCharsets) {
    (void)codePage;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      const WCHAR u = CharsetCodeToUnicode(charset, static_cast<BYTE>(b));
      if (u == 0) continue;
      UINT code = 0, count = 0;
      ASSERT_TRUE(UnicodeToCharsetCode(u, charset, code, count)) << charset << " " << b;
      ASSERT_EQ(count, 1u);
      EXPECT_EQ(CharsetCodeToUnicode(charset, Bytes(code, 1)[0]), u) << charset << " " << b;
    }
  }
}

TEST(CharsetTables, CodeToUnicode) {
  struct Case {
    UINT charset;
    BYTE b;
    WCHAR u;
  };
  const Case cases[] = {
      {161, 0x81, 0},       // undefined in 1253
      {161, 0xE1, 0x03B1},  // alpha
      {0, 0x80, 0x20AC},   {0, 0x81, 0},        {204, 0xC0, 0x0410}, {177, 0xE0, 0x05D0}, {178, 0xC7, 0x0627},
      {186, 0xE2, 0x0101}, {222, 0xA1, 0x0E01}, {163, 0xFE, 0x20AB}, {162, 0xF0, 0x011F}, {238, 0xFB, 0x0171},
      {2, 0xE9, 0x00E9},   {255, 0x80, 0x0080}, {128, 0xA4, 0x00A4},  // no table: the byte itself
      {0, 0x41, 0x0041},   {204, 0x7F, 0x007F}, {204, 0x00, 0x0000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CharsetCodeToUnicode(c.charset, c.b), c.u) << c.charset << " 0x" << std::hex << int{c.b};
}

TEST(CharsetTables, WinAnsiCodes) {
  struct Case {
    WCHAR ch;
    bool found;
    BYTE code;
  };
  const Case cases[] = {
      {0x2022, true, 0x81},  // the first of the bullets
      {0x20AC, true, 0x80}, {0x00E9, true, 0xE9}, {0x0178, true, 0x9F},
      {0x0020, true, 0xA0}, {0x002D, true, 0xAD},  // the space and hyphen of 0xA0 and 0xAD
      {0x00A0, false, 0},   {0x00AD, false, 0},    // which leave no-break space and soft hyphen without a code
      {0x0416, false, 0},   {0x0081, false, 0},   {0x0000, false, 0},
  };
  for (const Case& c : cases) {
    BYTE code = 0;
    EXPECT_EQ(UnicodeToWinAnsiCode(c.ch, code), c.found) << std::hex << int{c.ch};
    if (c.found) {
      EXPECT_EQ(code, c.code) << std::hex << int{c.ch};
    }
  }
}

// The charset routing of a font's character as far as the tables decide it: the current charset, the font's own
// charset, its charsets list (ended by 1); then a character with a glyph name goes to a custom sub-font, and one
// without tries the fallback charsets; none converting, the character is not shown.
constexpr UINT kCustomSubFont = 1000;
constexpr UINT kNotShown = 1001;

struct FontCharsets {
  UINT current;
  UINT own;
  std::vector<UINT> list;
};

UINT RouteCharacter(WCHAR ch, const FontCharsets& font, UINT& code, UINT& count) {
  if (font.current < 255 && UnicodeToCharsetCode(ch, font.current, code, count)) return font.current;
  if (font.own != font.current && font.own < 255 && UnicodeToCharsetCode(ch, font.own, code, count)) return font.own;
  for (const UINT cs : font.list) {
    if (cs == 1) break;
    if (UnicodeToCharsetCode(ch, cs, code, count)) {
      if (cs < 255) return cs;
      break;
    }
  }
  char name[kGlyphNameBufferSize];
  if (GlyphNameFromUnicode(name, ch)) return kCustomSubFont;
  for (const UINT cs : {0u, 238u, 204u, 222u, 161u, 162u, 177u, 178u, 186u, 163u, 134u, 128u, 136u, 129u})
    if (UnicodeToCharsetCode(ch, cs, code, count)) return cs;
  return kNotShown;
}

struct Route {
  const char* what;
  WCHAR ch;
  const FontCharsets* font;
  UINT route;
  std::vector<BYTE> bytes;
};

TEST(CharsetTables, CharacterRouting) {
  const FontCharsets latin{0, 0, {0, 1}};
  const FontCharsets latinCyrillic{0, 0, {0, 204, 1}};
  const FontCharsets japanese{128, 128, {128, 1}};
  const FontCharsets nowCyrillic{204, 0, {0, 204, 1}};
  const Route routes[] = {
      {"ASCII in a Latin font", u'A', &latin, 0, {0x41}},
      {"Latin-1 in a Latin font", u'\u00E9', &latin, 0, {0xE9}},
      {"Cyrillic in a Latin font", u'\u0416', &latin, kCustomSubFont, {}},
      {"Cyrillic in a font that lists 204", u'\u0416', &latinCyrillic, 204, {0xC6}},
      {"ASCII stays in the current charset", u'A', &nowCyrillic, 204, {0x41}},
      {"Thai in a Latin font has a name", u'\u0E01', &latin, kCustomSubFont, {}},
      {"an ideograph in a Latin font", u'\u4E00', &latin, 134, {0x4E, 0x00}},
      {"an ideograph in a Japanese font", u'\u4E00', &japanese, 128, {0x4E, 0x00}},
      {"ASCII in a Japanese font", u'A', &japanese, 128, {0x00, 0x41}},
      {"Hangul in a Japanese font", u'\uAC00', &japanese, 129, {0xAC, 0x00}},
      {"a named character outside every charset", u'\u1E80', &latin, kCustomSubFont, {}},
      {"an unnamed character outside every charset", u'\uF000', &latin, kNotShown, {}},
  };
  for (const Route& r : routes) {
    SCOPED_TRACE(r.what);
    UINT code = 0, count = 0;
    const UINT route = RouteCharacter(r.ch, *r.font, code, count);
    EXPECT_EQ(route, r.route);
    if (route == r.route && route < 255) {
      EXPECT_EQ(Bytes(code, count), r.bytes);
    }
  }
}

}  // namespace
