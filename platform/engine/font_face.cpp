#include "font_face.h"

#include <algorithm>
#include <string_view>

#include FT_SFNT_NAMES_H
#include FT_TYPE1_TABLES_H
#include FT_FONT_FORMATS_H
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

// PostScript strings are Latin-1 text.
WString FromLatin1(const char* text) {
  WString out;
  for (const char* p = text; p && *p; ++p) out.push_back(static_cast<unsigned char>(*p));
  return out;
}

WString Type1NameOf(FT_Face face, FT_UShort id) {
  PS_FontInfoRec info{};
  const bool hasInfo = FT_Get_PS_Font_Info(face, &info) == 0;
  switch (id) {
    case TT_NAME_ID_FONT_FAMILY: return FromLatin1(hasInfo && info.family_name ? info.family_name : face->family_name);
    case TT_NAME_ID_FONT_SUBFAMILY: return FromLatin1(face->style_name);
    case TT_NAME_ID_FULL_NAME: return hasInfo ? FromLatin1(info.full_name) : WString();
    case TT_NAME_ID_UNIQUE_ID:
    case TT_NAME_ID_PS_NAME: return FromLatin1(FT_Get_Postscript_Name(face));
    default: return {};
  }
}

WString NameOf(FT_Face face, FT_UShort id) {
  if (!FT_IS_SFNT(face)) return Type1NameOf(face, id);
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

bool IsType1Format(FT_Face face) {
  const char* format = FT_Get_Font_Format(face);
  return format && std::string_view(format) == "Type 1";
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
  // An sfnt font with its header, or a Type 1 font (not a CID-keyed one, not a bitmap or bare CFF font).
  const bool readable = error == 0 && (FT_IS_SFNT(face) ? FT_Get_Sfnt_Table(face, FT_SFNT_HEAD) != nullptr
                                                         : IsType1Format(face) &&
                                                               FT_IS_SCALABLE(face));
  if (!readable) {
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
