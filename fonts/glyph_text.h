// What each glyph of a face stands for, for the ToUnicode map of a glyph the program did not name a character
// for: the face's character map, then the font's own substitutions read backwards (a ligature stands for its
// components, a single, alternate or contextual form for its base), so that shaped text keeps its characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "pdf/font.h"

// One substitution of a GSUB lookup: `output` replaces the sequence `inputs`.
struct GlyphSubstitution {
  std::uint16_t output = 0;
  std::vector<std::uint16_t> inputs;
};

// The substitutions of a GSUB table's single, multiple, alternate, ligature and reverse-chaining lookups (also
// behind extension lookups), in lookup order; a multiple substitution names its first output glyph. Contextual
// lookups only call other lookups of the list, so theirs are among these. A damaged table gives what could be
// read up to the damage.
std::vector<GlyphSubstitution> ReadGsubSubstitutions(const std::uint8_t* data, std::size_t size);

class GlyphText {
 public:
  // `mapped`: each glyph's character-map codes. A glyph gets its lowest code outside the compatibility
  // characters; else the characters of the first substitution (in the fewest steps) whose inputs all have
  // theirs; else its lowest compatibility code.
  GlyphText(const std::unordered_map<std::uint32_t, std::vector<char32_t>>& mapped,
            const std::vector<GlyphSubstitution>& substitutions);
  // From the character map and the GSUB table of the font's face; empty for a font without a face.
  static GlyphText OfFont(const CPDF_Font& font);

  // The characters of a glyph; empty when nothing says.
  const std::u32string& Of(std::uint32_t glyph) const;

 private:
  std::unordered_map<std::uint32_t, std::u32string> text_;
};
