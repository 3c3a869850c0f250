#include "fonts/symbol_font.h"

#include "font_engine_face.h"
#include "font_resources.h"

CPDF_SymbolFont::CPDF_SymbolFont(CPDF_DocWriter* writer, kq::WString unique)
    : CPDF_Font(writer, std::move(unique)), objectNumber(TakeObjectNumber(writer)) {}

void CPDF_SymbolFont::Prepare(const IFIMETRICS&) {
  const FreeTypeFace* engine = EngineFaceOf(*this);
  if (!engine || FT_Select_Charmap(engine->Face(), FT_ENCODING_MS_SYMBOL) != 0) return;
  for (unsigned code = 0; code < 256; ++code) {
    const FT_UInt glyph = FT_Get_Char_Index(engine->Face(), 0xF000 + code);
    if (glyph == 0) continue;
    if (const auto width = GlyphWidth(glyph)) widths[code] = StoredWidth(*width);
  }
}

MappedChar CPDF_SymbolFont::MapChar(char32_t ch, HGLYPH, bool) {
  // Symbol codes are single bytes of the BMP's private area; nothing beyond it is one of them.
  if (ch > 0xFFFF) return {};
  used = true;
  const BYTE code = static_cast<BYTE>(ch & 0xFF);
  return {code, 1, objectNumber, widths[code], false};
}

void CPDF_SymbolFont::WriteResources() {
  if (objectNumber == 0 || !used) return;
  const std::uint32_t descriptor = TakeObjectNumber(owner);
  CPDF_Dictionary font;
  font.SetAt("/Type", "/Font");
  font.SetAt("/BaseFont", BaseFontName(*this));
  font.SetAt("/Subtype", "/TrueType");
  font.SetAtReference("/FontDescriptor", descriptor);
  SetWidthEntries(font, widths);
  WriteFontObject(*this, objectNumber, font);
  WriteFontDescriptor(descriptor, 0);
}
