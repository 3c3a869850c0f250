#include "font_face.h"

#include <algorithm>

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

namespace kq::engine {

namespace {

constexpr FT_UShort kPlatformUnicode = 0;
constexpr FT_UShort kPlatformMacintosh = 1;
constexpr FT_UShort kPlatformWindows = 3;
constexpr FT_UShort kLanguageEnglishUs = 0x409;

WString DecodeName(const FT_SfntName& name) {
  WString text;
  if (name.platform_id == kPlatformMacintosh) {
    // Macintosh Roman read as Latin-1: the last resort of a face with no Windows or Unicode name.
    for (FT_UInt i = 0; i < name.string_len; ++i) text.push_back(name.string[i]);
  } else {
    for (FT_UInt i = 0; i + 1 < name.string_len; i += 2)
      text.push_back(static_cast<WCHAR>((name.string[i] << 8) | name.string[i + 1]));
  }
  if (auto nul = text.find(u'\0'); nul != WString::npos) text.resize(nul);
  return text;
}

// Lower is better; -1: not a record whose text can be read.
int Rank(const FT_SfntName& name) {
  switch (name.platform_id) {
    case kPlatformWindows:
      if (name.encoding_id != 0 && name.encoding_id != 1 && name.encoding_id != 10) return -1;
      return name.language_id == kLanguageEnglishUs ? 0 : 1;
    case kPlatformUnicode: return 2;
    case kPlatformMacintosh: return name.encoding_id == 0 && name.language_id == 0 ? 3 : -1;
    default: return -1;
  }
}

WString NameOf(FT_Face face, FT_UShort id) {
  int bestRank = -1;
  WString best;
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != id) continue;
    const int rank = Rank(name);
    if (rank < 0 || (bestRank >= 0 && rank >= bestRank)) continue;
    WString text = DecodeName(name);
    if (text.empty()) continue;
    bestRank = rank;
    best = std::move(text);
  }
  return best;
}

}  // namespace

std::unique_ptr<FontFace> FontFace::Open(const MappedFile& file, UINT index) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  FT_Face face = nullptr;
  if (index > 0xFFFF) {
    FT_Done_FreeType(library);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const FT_Error error = FT_New_Memory_Face(library, file.Data(), static_cast<FT_Long>(file.Size()),
                                            static_cast<FT_Long>(index), &face);
  if (error != 0 || !FT_IS_SFNT(face) || !FT_Get_Sfnt_Table(face, FT_SFNT_HEAD)) {
    // A valid face 0 says the file is a font without this face.
    FT_Face probe = nullptr;
    const bool fontWithoutFace =
        error != 0 && index > 0 && FT_New_Memory_Face(library, file.Data(), static_cast<FT_Long>(file.Size()), 0, &probe) == 0;
    if (probe) FT_Done_Face(probe);
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    SetLastError(fontWithoutFace ? ERROR_FILE_NOT_FOUND : ERROR_BAD_FORMAT);
    return nullptr;
  }
  return std::unique_ptr<FontFace>(new FontFace(library, face));
}

std::optional<UINT> FontFace::FindFace(const MappedFile& file, WStringView fullName) {
  auto first = Open(file, 0);
  if (!first) return std::nullopt;
  // One library for the whole search: a collection may claim many faces.
  FT_Library library = first->library_;
  const FT_Long count = std::min<FT_Long>(first->Face()->num_faces, 0x10000);
  for (FT_Long i = 0; i < count; ++i) {
    FT_Face face = first->face_;
    if (i > 0 && FT_New_Memory_Face(library, file.Data(), static_cast<FT_Long>(file.Size()), i, &face) != 0) continue;
    const bool match = EqualsIgnoreAsciiCase(NameOf(face, TT_NAME_ID_FULL_NAME), fullName);
    if (i > 0) FT_Done_Face(face);
    if (match) return static_cast<UINT>(i);
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return std::nullopt;
}

FontFace::~FontFace() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

WString FontFace::Name(FT_UShort id) const { return NameOf(face_, id); }

bool FontFace::HasTable(FT_ULong tag) const {
  FT_ULong length = 0;
  return FT_Load_Sfnt_Table(face_, tag, 0, nullptr, &length) == 0 && length > 0;
}

}  // namespace kq::engine
