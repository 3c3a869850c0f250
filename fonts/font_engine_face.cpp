#include "font_engine_face.h"

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <limits>
#include <string>

#include "pdf/text.h"

namespace {

// A full-name record in the ANSI code page: Unicode-platform records of any encoding and records of platform 3
// or above with encoding 1 hold UTF-16 big-endian; other records are never read.
std::optional<std::string> FullNameInAnsi(const FT_SfntName& name) {
  if (name.name_id != TT_NAME_ID_FULL_NAME) return std::nullopt;
  const bool unicode = name.platform_id == TT_PLATFORM_APPLE_UNICODE;
  const bool windowsUnicode = name.platform_id >= TT_PLATFORM_MICROSOFT && name.encoding_id == 1;
  if (!unicode && !windowsUnicode) return std::nullopt;
  kq::WString text;
  for (FT_UInt i = 0; i + 1 < name.string_len; i += 2)
    text.push_back(static_cast<WCHAR>((name.string[i] << 8) | name.string[i + 1]));
  return WideToAnsiString(text);
}

bool HasFullName(FT_Face face, std::string_view faceName) {
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
    if (const auto text = FullNameInAnsi(name); text && *text == faceName) return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<FreeTypeFace> FreeTypeFace::Open(const std::uint8_t* bytes, std::size_t size,
                                                 std::string_view faceName) {
  if (!bytes || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<FT_Long>::max())) return nullptr;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return nullptr;
  const auto length = static_cast<FT_Long>(size);
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(library, bytes, length, 0, &face) != 0) {
    FT_Done_FreeType(library);
    return nullptr;
  }
  // A collection names its faces; the engine realised the one whose full name is the face name.
  const FT_Long faces = face->num_faces;
  FT_Long index = 0;
  if (faces > 1) {
    while (!HasFullName(face, faceName)) {
      FT_Done_Face(face);
      face = nullptr;
      if (++index >= faces || FT_New_Memory_Face(library, bytes, length, index, &face) != 0) {
        FT_Done_FreeType(library);
        return nullptr;
      }
    }
  }
  FT_Set_Pixel_Sizes(face, 10, 10);
  return std::unique_ptr<FreeTypeFace>(new FreeTypeFace(library, face, static_cast<std::uint32_t>(index)));
}

FreeTypeFace::~FreeTypeFace() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

std::optional<std::int64_t> FreeTypeFace::Advance(std::uint32_t glyph) const {
  if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE) != 0) return std::nullopt;
  return static_cast<std::int64_t>(face_->glyph->metrics.horiAdvance);
}

bool CPDF_Font::LoadFace(const void* bytes, std::size_t size) {
  face.reset();
  faceIndex = 0;
  if (!bytes || size == 0) {
    fontFile.clear();
    return false;
  }
  const auto* begin = static_cast<const std::uint8_t*>(bytes);
  fontFile.assign(begin, begin + size);
  auto opened = FreeTypeFace::Open(fontFile.data(), fontFile.size(), faceName);
  if (!opened) return false;
  faceIndex = opened->Index();
  face = std::move(opened);
  return true;
}

const FreeTypeFace* EngineFaceOf(const CPDF_Font& font) {
  // Only this room opens faces, and it opens nothing but FreeType faces.
  return static_cast<const FreeTypeFace*>(font.face.get());
}

std::optional<std::int32_t> CPDF_Font::GlyphWidth(HGLYPH glyph) const {
  const FreeTypeFace* engine = EngineFaceOf(*this);
  if (!engine) return std::nullopt;
  const auto advance = engine->Advance(glyph);
  if (!advance) return std::nullopt;
  return GlyphUnitsToWidth(*advance);
}
