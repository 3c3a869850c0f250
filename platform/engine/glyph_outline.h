// Glyph outlines as PATHOBJs: FreeType's outline of a glyph in device space, relative to the glyph's origin.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <optional>
#include <vector>

#include "glyph_spans.h"
#include "path_data.h"
#include "win/enginefont.h"
#include "win/enginepath.h"

namespace kq::engine {

struct GlyphEntry {
  PathObject path;
  GLYPHDATA data{};
  GLYPHDEF def{};
  // The pixels, once text has drawn the glyph (see SpansOf).
  std::unique_ptr<GlyphSpans> spans;
  bool rasterised = false;
};

// The entry's pixels, rasterised on first use and kept with the entry; null for a glyph that is filled as an
// outline each time. The entry's font is used by one thread at a time, as its outlines are.
const GlyphSpans* SpansOf(GlyphEntry& entry);

// How an outline is laid into device space: font units (y up) at `scale` pixels per unit, slanted for simulated
// italic, for the vertical form of an "@" face turned a quarter to the left and moved by (turnX, turnY) pixels,
// then rotated by the font's escapement (counter-clockwise on the page).
struct GlyphLayout {
  double scale = 1;
  double slant = 0;
  bool turned = false;
  double turnX = 0, turnY = 0;
  double cosA = 1, sinA = 0;

  // Device offset (y down) of a point in font units.
  void Map(double x, double y, double* dx, double* dy) const;
};

// The outline laid out as `layout` says, with simulated bold (widened by 2% of the em); `advance` (font units)
// along the rotated baseline is the data's advance; the ink box too. An empty outline for a glyph that cannot be
// loaded or has none (a space).
void BuildGlyphOutline(FT_Face face, HGLYPH glyph, const GlyphLayout& layout, double advance, bool bold,
                       PathData* outline, GLYPHDATA* data);

// The cached outline entry of a glyph of an engine font (its vertical form when `turned`), its gdf pointing to its
// path; null with ERROR_INVALID_PARAMETER for anything but an engine font.
GlyphEntry* GlyphOf(FONTOBJ* pfo, HGLYPH glyph, bool turned = false);

// The glyph entries of an engine font, found once for the many glyphs of a string.
class FontGlyphs {
 public:
  // Empty with ERROR_INVALID_PARAMETER for anything but an engine font.
  static std::optional<FontGlyphs> Of(FONTOBJ* pfo);
  // As GlyphOf.
  GlyphEntry& Get(HGLYPH glyph, bool turned = false) const;

 private:
  explicit FontGlyphs(RealizedFont::Impl* font) : font_(font) {}
  RealizedFont::Impl* font_;
};

// The glyph positions of an engine string; null with ERROR_INVALID_PARAMETER for anything else.
const std::vector<GLYPHPOS>* StringPositions(STROBJ* pstro);
// Whether each glyph of an engine string takes its vertical form; null with ERROR_INVALID_PARAMETER for anything
// else.
const std::vector<bool>* StringTurns(STROBJ* pstro);

}  // namespace kq::engine
