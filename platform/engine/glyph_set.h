// The FD_GLYPHSET of a face: its Unicode characters (UTF-16 units) in runs, each with its list of glyph handles,
// the handles being the face's glyph indices. The lists lie in the same block, after the runs.
#pragma once

#include "aligned_block.h"
#include "font_face.h"
#include "win/winddi.h"

namespace kq::engine {

class GlyphSet {
 public:
  // From the face's Unicode character map, else its symbol character map (whose codes U+F0xx also answer as
  // U+00xx). A face with neither has a glyph set of no runs. A Type 1 face maps its glyph names to Unicode, unless
  // its own encoding names mostly symbols: then its codes are symbol codes.
  static GlyphSet Build(FT_Face face);

  FD_GLYPHSET* Get() { return block_.As<FD_GLYPHSET>(); }
  const FD_GLYPHSET* Get() const { return block_.As<FD_GLYPHSET>(); }
  bool FromSymbolMap() const { return symbol_; }
  // 0 when no run holds the character.
  HGLYPH Lookup(WCHAR ch) const;
  // The first and last character of the set; 0 and 0 when it is empty.
  WCHAR First() const;
  WCHAR Last() const;

 private:
  AlignedBlock block_;
  bool symbol_ = false;
};

}  // namespace kq::engine
