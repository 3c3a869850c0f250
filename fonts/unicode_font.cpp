#include "fonts/unicode_font.h"

#include <algorithm>
#include <cstring>

#include "font_resources.h"
#include "font_setup.h"
#include "fonts/charset_tables.h"
#include "fonts/glyph_names.h"

namespace {

// Tried, in this order, for a character without a glyph name that none of the font's charsets carries.
constexpr BYTE kFallbackCharsets[] = {
    ANSI_CHARSET,  EASTEUROPE_CHARSET, RUSSIAN_CHARSET, THAI_CHARSET,   GREEK_CHARSET,
    TURKISH_CHARSET, HEBREW_CHARSET,   ARABIC_CHARSET,  BALTIC_CHARSET, VIETNAMESE_CHARSET,
    GB2312_CHARSET, SHIFTJIS_CHARSET,  CHINESEBIG5_CHARSET, HANGUL_CHARSET,
};

bool IsCjkCharset(BYTE charset) {
  return charset == SHIFTJIS_CHARSET || charset == HANGUL_CHARSET || charset == JOHAB_CHARSET ||
         charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

BYTE FirstCodeByte(UINT code) {
  BYTE first;
  std::memcpy(&first, &code, 1);
  return first;
}

}  // namespace

void CPDF_UnicodeFont::Prepare(const IFIMETRICS& ifi) { KeepCharsets(*this, ifi); }

MappedChar CPDF_UnicodeFont::MapChar(char32_t wide, HGLYPH, bool vertical) {
  // No charset and no glyph name reaches beyond U+FFFF: such a character is left out like one outside every
  // charset.
  if (wide > 0xFFFF) return {};
  const auto ch = static_cast<WCHAR>(wide);
  UINT code = 0;
  UINT count = 0;
  const auto converts = [&](BYTE charset) { return UnicodeToCharsetCode(ch, charset, code, count); };

  int charset = -1;
  if (currentCharset < kCustomCharset && converts(currentCharset)) {
    charset = currentCharset;
  } else if (ownCharset != currentCharset && ownCharset < kCustomCharset && converts(ownCharset)) {
    charset = ownCharset;
  } else {
    for (BYTE listed : charsets) {
      if (listed == DEFAULT_CHARSET) break;
      if (!converts(listed)) continue;
      if (listed < kCustomCharset) charset = listed;
      break;  // a custom charset ends the search
    }
  }

  if (charset < 0) {
    char name[kGlyphNameBufferSize];
    if (GlyphNameFromUnicode(name, ch)) {
      // A named character no charset of the font carries gets a custom code.
      for (auto& subFont : subFonts) {
        if (subFont->charset != kCustomCharset) continue;
        if (const std::uint32_t custom = subFont->AddChar(ch))
          return {custom, 1, subFont->GetObjectNumber(false), subFont->GetWidth(ch, static_cast<BYTE>(custom))};
      }
      auto& added = subFonts.emplace_back(std::make_unique<CPDF_CustomSubFont>(*this));
      const std::uint32_t custom = added->AddChar(ch);
      return {custom, 1, added->GetObjectNumber(false), added->GetWidth(ch, static_cast<BYTE>(custom))};
    }
    for (BYTE fallback : kFallbackCharsets) {
      if (converts(fallback)) {
        charset = fallback;
        break;
      }
    }
    if (charset < 0) return {};
  }

  currentCharset = static_cast<BYTE>(charset);
  CPDF_SubFont& subFont = GetCharsetSubFont(currentCharset);
  MappedChar mapped;
  mapped.code = code;
  mapped.count = count;
  mapped.resource = subFont.GetObjectNumber(vertical);
  mapped.width = subFont.GetWidth(ch, FirstCodeByte(code));
  mapped.vertical = vertical && subFont.HasVerticalForm();
  return mapped;
}

CPDF_SubFont& CPDF_UnicodeFont::GetCharsetSubFont(BYTE charset) {
  for (auto& subFont : subFonts)
    if (subFont->charset == charset) return *subFont;
  if (IsCjkCharset(charset)) return *subFonts.emplace_back(std::make_unique<CPDF_CIDSubFont>(*this, charset));
  return *subFonts.emplace_back(std::make_unique<CPDF_PredefinedSubFont>(*this, charset));
}

void CPDF_UnicodeFont::WriteResources() {
  if (subFonts.empty()) return;
  const std::int32_t missingWidth = (flags & 1) ? subFonts.front()->GetMissingWidth() : 0;
  const std::uint32_t descriptor = TakeObjectNumber(owner);
  WriteFontDescriptor(descriptor, missingWidth);
  for (auto& subFont : subFonts) subFont->WriteFontDict(descriptor);
}
