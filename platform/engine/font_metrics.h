// The IFIMETRICS of a face, with its names and charset list in the same block, as the platform's TrueType font
// driver describes a face: names from the naming table, charsets from the OS/2 code-page bits, metrics from the
// OS/2, head, hhea and post tables in font units. A Type 1 face has no such tables: its FontInfo and FreeType's
// metrics of it stand in, as the platform's Type 1 driver reads them.
#pragma once

#include "aligned_block.h"
#include "font_face.h"
#include "glyph_set.h"

namespace kq::engine {

struct FaceNames {
  WString family;
  WString style;
  WString face;  // the full name
  WString unique;
};

FaceNames ReadFaceNames(const FontFace& face);

// `ansiCodePage` breaks ties between a face's charsets as the machine's locale would.
AlignedBlock BuildIfiMetrics(const FontFace& face, const GlyphSet& glyphs, const FaceNames& names, bool vertical,
                             UINT ansiCodePage);

}  // namespace kq::engine
