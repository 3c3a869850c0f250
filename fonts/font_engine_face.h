// The font engine (FreeType) behind a font object: one library instance and one face over the font's own copy of
// its file. Only the font room sees it; the font object owns it as its FontEngineFace.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "pdf/font.h"

class FreeTypeFace final : public FontEngineFace {
 public:
  // Opens face 0 of `bytes`; in a file of several faces, the face one of whose full-name records reads
  // `faceName` in the ANSI code page. Null when the engine cannot start, a face cannot be opened or no face of the
  // collection has the name. The bytes must outlive the face.
  static std::unique_ptr<FreeTypeFace> Open(const std::uint8_t* bytes, std::size_t size, std::string_view faceName);
  ~FreeTypeFace() override;
  FreeTypeFace(const FreeTypeFace&) = delete;
  FreeTypeFace& operator=(const FreeTypeFace&) = delete;

  std::uint32_t Index() const { return index_; }
  FT_Face Face() const { return face_; }
  // The horizontal advance of a glyph in font units, loaded unscaled; nothing when the glyph does not load.
  std::optional<std::int64_t> Advance(std::uint32_t glyph) const;

 private:
  FreeTypeFace(FT_Library library, FT_Face face, std::uint32_t index)
      : library_(library), face_(face), index_(index) {}
  FT_Library library_;
  FT_Face face_;
  std::uint32_t index_;
};

// The face a font object holds, null when it has none.
const FreeTypeFace* EngineFaceOf(const CPDF_Font& font);
