// A named font for a face of the symbol charset: one /TrueType resource whose codes are the low bytes of the
// characters, through the face's symbol character map.
#pragma once

#include <array>
#include <cstdint>

#include "pdf/font.h"

class CPDF_SymbolFont final : public CPDF_Font {
 public:
  // Takes the font's object number, its resource number, from the document writer.
  CPDF_SymbolFont(CPDF_DocWriter* writer, kq::WString unique);

  // The widths of codes 0..255 from the glyphs of characters 0xF000 + code in the face's symbol map.
  void Prepare(const IFIMETRICS& ifi) override;
  // One byte, the character's low byte.
  MappedChar MapChar(char32_t ch, HGLYPH glyph, bool vertical) override;
  // The /TrueType dictionary with /Widths, then its descriptor; nothing when no character was mapped (a PDF/A
  // page draws a font that cannot be embedded from its outlines, and names no font).
  void WriteResources() override;

  std::uint32_t objectNumber = 0;
  bool used = false;
  std::array<std::uint16_t, 256> widths{};  // 1/1000 em, index = code
};
