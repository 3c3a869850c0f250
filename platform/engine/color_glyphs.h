// A face whose glyphs are colour bitmaps only (a colour emoji font): it has no outlines to hand a driver, so the
// engine draws its glyphs as images, scaled from the face's strike to the device's resolution.
#pragma once

#include <optional>
#include <vector>

#include "win/enginefont.h"

namespace kq::engine {

// One glyph as an image: premultiplied BGRA rows, top-down, and where it goes on the device.
struct ColorGlyphImage {
  LONG width = 0;
  LONG height = 0;
  std::vector<BYTE> bgra;
  RECTL dest{0, 0, 0, 0};
};

// The glyphs of `text` (characters, or glyph indices with `glyphIndices`) in the bitmap-only colour face `request`
// names, laid left to right from `origin` on the baseline at `request.dpi`; glyphs without an image (a blank) only
// move the pen, characters the face lacks are left out. Nothing when the face is not of
// that kind (or cannot be read): the caller realises it as an outline font.
std::optional<std::vector<ColorGlyphImage>> LayOutColorGlyphs(const FontRequest& request, WStringView text,
                                                               bool glyphIndices, POINTL origin);

}  // namespace kq::engine
