// Fuzz target of the embedded-font detection: the input is a font file, opened by the font engine and tried as a
// TrueType, Type 1 and CFF program as font selection tries it; a font that is embedded then maps glyphs and writes
// its objects (Type0 and CID fonts, widths, ToUnicode map, the subset program) into a writer that keeps nothing.
// The input is also read as a bare CFF table and as a bare GSUB table. Its last byte picks the embed mode, the licence in the engine's
// record, the face name and which glyphs are mapped.
#include <cstddef>
#include <cstdint>

#include "cff_charset.h"
#include "fonts/cid_embed_font.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "glyph_text.h"
#include "pdf/doc_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  const std::uint8_t pick = data[size - 1];

  if (const auto cids = ReadCffGlyphCids(data, size)) {
    if (cids->cidKeyed && cids->cids.size() != cids->glyphCount) __builtin_trap();
  }

  for (const GlyphSubstitution& s : ReadGsubSubstitutions(data, size))
    if (s.inputs.empty()) __builtin_trap();

  CPDF_DocWriter writer;
  writer.writeError = ERROR_WRITE_FAULT;  // objects are made and serialised, nothing reaches a file
  CPDF_CIDEmbedFont font(&writer, u"fuzz", (pick & 1) ? 3 : 2);
  font.faceName = (pick & 2) ? "Arial" : "Fuzz Face";
  font.unitsPerEm = 1000;
  font.embeddingRights = (pick & 4) ? 0x0002 : 0;
  font.ownCharset = font.currentCharset = (pick & 8) ? SHIFTJIS_CHARSET : ANSI_CHARSET;
  font.charsets.fill(DEFAULT_CHARSET);
  font.LoadFace(data, size);
  if (!font.DetectAndCreate()) return 0;
  if (!font.subFont) __builtin_trap();

  // Glyphs from a start the input picks, a few past the end, each under a character and under none.
  const std::uint32_t first = (pick >> 4) & 7;
  for (std::uint32_t glyph = first; glyph < first + 40; ++glyph) {
    const MappedChar mapped = font.MapChar(static_cast<WCHAR>(u'A' + glyph % 64), glyph, (glyph & 1) != 0);
    if (mapped.count > 2) __builtin_trap();
    font.MapChar(0, glyph, false);
  }
  font.MapChar(0x20AC, 0xFFFFFFFF, false);
  font.MapChar(0x4E2D, 70000, false);
  font.WriteResources();
  return 0;
}
