// A named (not embedded) font for every charset but the symbol charset. It shows its characters through
// sub-fonts: one per Windows charset its text needs, and custom ones for named characters no charset carries.
#pragma once

#include <memory>
#include <vector>

#include "fonts/sub_fonts.h"
#include "pdf/font.h"

class CPDF_UnicodeFont final : public CPDF_Font {
 public:
  using CPDF_Font::CPDF_Font;

  // Keeps the font's own charset (also as the current one) and its list of charsets.
  void Prepare(const IFIMETRICS& ifi) override;
  // Routes the character to a charset (the current one, the font's own, its list, then, for a character without a
  // glyph name, the fallback charsets) or, for a named character none of the font's charsets carries, to a custom
  // sub-font. Count 0 for a character without a glyph name that no charset tried carries.
  MappedChar MapChar(char32_t ch, HGLYPH glyph, bool vertical) override;
  // The shared descriptor, then every sub-font's dictionaries; nothing when no text used the font.
  void WriteResources() override;

  // The sub-font of a charset, created on first use.
  CPDF_SubFont& GetCharsetSubFont(BYTE charset);

  std::vector<std::unique_ptr<CPDF_SubFont>> subFonts;  // in creation order
};
