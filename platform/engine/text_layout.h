// The platform's text layout for complex scripts, as a program that uses it lays out a run before it prints: the
// run is put into visual order by the bidirectional algorithm (FriBidi) and each directional run is shaped
// (HarfBuzz), giving the glyphs to hand over by index with their advances.
#pragma once

#include <optional>
#include <vector>

#include "win/enginefont.h"

namespace kq::engine {

struct LaidOutText {
  WString glyphs;                // glyph indices, left to right on the line
  std::vector<double> advances;  // device pixels, one per glyph
};

// Whether the text holds a character of a script that reads right to left or needs shaping.
bool NeedsComplexLayout(WStringView text);

// The glyphs of the text in visual order with their advances; nothing when the text needs no such layout or the
// font's file cannot be shaped (a Type 1 font), so the program prints it as plain characters.
std::optional<LaidOutText> LayOutComplexText(const RealizedFont& font, WStringView text);

}  // namespace kq::engine
