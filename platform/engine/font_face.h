// A FreeType face over a mapped font file, with the sfnt reads the realisation needs.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <optional>

#include "font_file.h"

namespace kq::engine {

class FontFace {
 public:
  // Face `index` of the file; null with the last error set (ERROR_BAD_FORMAT when FreeType cannot read it as an
  // sfnt font or a Type 1 font, PFB or PFA; ERROR_FILE_NOT_FOUND when the file has no such face).
  static std::unique_ptr<FontFace> Open(const MappedFile& file, UINT index);
  // The index of the face whose full name (name 4) is `fullName`, ignoring ASCII case.
  static std::optional<UINT> FindFace(const MappedFile& file, WStringView fullName);
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  FT_Face Face() const { return face_; }
  // The name record `id`, preferring Windows English (US), then any Windows record, then Unicode, then
  // Macintosh; empty when there is none. A Type 1 face answers from its font dictionary: family and full name
  // from FontInfo, the style, and its PostScript name as the unique and PostScript names.
  WString Name(FT_UShort id) const;
  bool HasTable(FT_ULong tag) const;
  // A PostScript Type 1 font rather than an sfnt one.
  bool IsType1() const { return !FT_IS_SFNT(face_); }

 private:
  FontFace(FT_Library library, FT_Face face) : library_(library), face_(face) {}
  FT_Library library_;
  FT_Face face_;
};

}  // namespace kq::engine
