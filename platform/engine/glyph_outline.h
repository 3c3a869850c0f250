// Glyph outlines as PATHOBJs: FreeType's outline of a glyph in device space, relative to the glyph's origin.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <vector>

#include "path_data.h"
#include "win/enginepath.h"

namespace kq::engine {

struct GlyphEntry {
  PathObject path;
  GLYPHDATA data{};
  GLYPHDEF def{};
};

// The outline at `scale` device pixels per font unit, y down, with simulated bold (widened by 2% of the em) and
// italic (slanted by 0.342 of the height); the data's advance and ink box too. An empty outline for a glyph
// that cannot be loaded or has none (a space).
void BuildGlyphOutline(FT_Face face, HGLYPH glyph, double scale, bool bold, bool italic, PathData* outline,
                       GLYPHDATA* data);

// The cached outline entry of a glyph of an engine font, its gdf pointing to its path; null with
// ERROR_INVALID_PARAMETER for anything but an engine font.
GlyphEntry* GlyphOf(FONTOBJ* pfo, HGLYPH glyph);

// The glyph positions of an engine string; null with ERROR_INVALID_PARAMETER for anything else.
const std::vector<GLYPHPOS>* StringPositions(STROBJ* pstro);

}  // namespace kq::engine
