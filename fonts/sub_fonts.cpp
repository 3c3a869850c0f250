// The single-byte sub-fonts (predefined code pages and custom codes) and the base of every sub-font.
#include "fonts/sub_fonts.h"

#include <cstring>

#include "font_resources.h"
#include "fonts/charset_tables.h"
#include "fonts/glyph_names.h"
#include "pdf/tokens.h"

namespace {

// The width of a character's glyph through the font's glyph set, 0 when it has none or the glyph does not load.
std::uint16_t CharWidth(const CPDF_Font& font, WCHAR ch) {
  const auto glyph = font.GlyphHandleOf(ch);
  if (!glyph || *glyph == HGLYPH_INVALID) return 0;
  const auto width = font.GlyphWidth(*glyph);
  return width ? StoredWidth(*width) : 0;
}

}  // namespace

CPDF_SubFont::CPDF_SubFont(CPDF_Font& font, BYTE charsetOfSubFont)
    : owner(&font), charset(charsetOfSubFont), objectNumber(TakeObjectNumber(font.owner)) {}

std::uint32_t CPDF_SubFont::AddChar(WCHAR) { return 0; }

std::uint32_t CPDF_SubFont::GetObjectNumber(bool) { return objectNumber; }

void CPDF_SingleByteSubFont::WriteFontDict(std::uint32_t descriptor) {
  CPDF_Dictionary font;
  font.SetAt("/Type", "/Font");
  font.SetAt("/BaseFont", BaseFontName(*owner));
  font.SetAt("/Subtype", "/TrueType");
  font.SetAt("/Encoding", WriteEncoding());
  font.SetAtReference("/FontDescriptor", descriptor);
  SetWidthEntries(font, widths);
  WriteFontObject(*owner, objectNumber, font);
}

std::int32_t CPDF_SingleByteSubFont::GetWidth(WCHAR, BYTE code) const { return widths[code]; }

std::int32_t CPDF_SingleByteSubFont::GetMissingWidth() const {
  for (std::uint16_t width : widths)
    if (width != 0) return width;
  return 0;
}

CPDF_PredefinedSubFont::CPDF_PredefinedSubFont(CPDF_Font& font, BYTE charsetOfSubFont)
    : CPDF_SingleByteSubFont(font, charsetOfSubFont) {
  for (int code = 0; code < 256; ++code)
    widths[code] = CharWidth(font, CharsetCodeToUnicode(charset, static_cast<BYTE>(code)));
}

std::string CPDF_PredefinedSubFont::WriteEncoding() const {
  // A charset without a code-page table shows its codes as WinAnsi does.
  if (charset == ANSI_CHARSET || !CharsetUpperHalfTable(charset)) return "/WinAnsiEncoding";
  std::string encoding = "<</BaseEncoding /WinAnsiEncoding /Differences [";
  int last = -1;
  for (int code = 128; code < 256; ++code) {
    const WCHAR ch = CharsetCodeToUnicode(charset, static_cast<BYTE>(code));
    if (ch == 0 || ch == CharsetCodeToUnicode(ANSI_CHARSET, static_cast<BYTE>(code))) continue;
    char name[kGlyphNameBufferSize];
    if (!GlyphNameFromUnicode(name, ch)) continue;  // an empty name is no PDF name: the code keeps WinAnsi's
    if (code != last + 1) {
      encoding += ' ';
      encoding += IntToString(code);
    }
    encoding += " /";
    encoding += name;
    last = code;
  }
  encoding += "] >>";
  return encoding;
}

CPDF_CustomSubFont::CPDF_CustomSubFont(CPDF_Font& font) : CPDF_SingleByteSubFont(font, kCustomCharset) {}

std::uint32_t CPDF_CustomSubFont::AddChar(WCHAR ch) {
  for (std::int32_t code = 1; code < nextCode; ++code)
    if (characters[code] == ch) return static_cast<std::uint32_t>(code);
  if (nextCode >= 256) return 0;
  const std::int32_t code = nextCode++;
  characters[code] = ch;
  widths[code] = CharWidth(*owner, ch);
  return static_cast<std::uint32_t>(code);
}

std::string CPDF_CustomSubFont::WriteEncoding() const {
  std::string encoding = "<</BaseEncoding /WinAnsiEncoding /Differences [1 ";
  bool gap = false;
  for (std::int32_t code = 1; code < nextCode; ++code) {
    char name[kGlyphNameBufferSize];
    if (!GlyphNameFromUnicode(name, characters[code])) {
      gap = true;
      continue;
    }
    if (gap) {
      encoding += ' ';
      encoding += IntToString(code);
    }
    gap = false;
    encoding += " /";
    encoding += name;
  }
  encoding += "] >>";
  return encoding;
}
