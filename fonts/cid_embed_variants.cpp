// The four sub-font variants: TrueType and Type 1 subsets, whole CFF data, and standard faces through named fonts.
#include <cstring>
#include <string>

#include "font_engine_face.h"
#include "font_resources.h"
#include "fonts/charset_tables.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "fonts/standard_faces.h"
#include "pdf/tokens.h"

namespace {

// Unicode values a ToUnicode map can carry.
bool IsUnicodeScalar(FT_ULong code) { return code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF); }

}  // namespace

// ---- TrueType ----

CPDF_CIDEmbedTTFont::CPDF_CIDEmbedTTFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter, TTSubsetter& subsetter)
    : CPDF_CIDEmbedSubFont(font, docWriter), tt(&subsetter) {
  subtype = "/CIDFontType2";
}

std::uint16_t CPDF_CIDEmbedTTFont::AddGlyph(std::uint32_t glyph) {
  if (glyph > 0xFFFF) return 0;
  return TTSubsetter_AddGlyph(tt, static_cast<std::uint16_t>(glyph));
}

void CPDF_CIDEmbedTTFont::WriteFontFile() {
  if (TTSubsetter_Build(tt) != TT_OK) return;
  CPDF_Stream stream;
  stream.Data().assign(reinterpret_cast<const char*>(tt->output.start), tt->output.position);
  stream.Dictionary().SetAtNumber("/Length1", tt->output.position);
  WriteCompressed(fontFileNumber, stream);
}

// ---- Type 1 ----

CPDF_CIDEmbedT1Font::CPDF_CIDEmbedT1Font(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter, T1Subsetter& subsetter)
    : CPDF_CIDEmbedSubFont(font, docWriter), t1(&subsetter) {
  subtype = "/CIDFontType0";
}

std::uint16_t CPDF_CIDEmbedT1Font::AddGlyph(std::uint32_t glyph) {
  // The engine and the subsetter both keep the CharStrings order with ".notdef" first; the name settles it.
  std::uint32_t index = glyph;
  const FreeTypeFace* engine = EngineFaceOf(*owner);
  char name[128];
  if (engine && FT_HAS_GLYPH_NAMES(engine->Face()) &&
      FT_Get_Glyph_Name(engine->Face(), glyph, name, sizeof name) == 0 && name[0] != '\0') {
    const auto count = static_cast<std::uint32_t>(t1->glyphs.size());
    if (glyph >= count || t1->glyphs[glyph].name != name) {
      index = 0;
      for (std::uint32_t i = 1; i < count; ++i) {
        if (t1->glyphs[i].name == name) {
          index = i;
          break;
        }
      }
    }
  }
  return static_cast<std::uint16_t>(T1Subsetter_AddGlyph(t1, index));
}

void CPDF_CIDEmbedT1Font::WriteFontFile() {
  if (T1Subsetter_Build(t1) != 0) return;
  CPDF_Stream stream;
  stream.Data().assign(reinterpret_cast<const char*>(t1->output.get()), t1->outputUsed);
  stream.Dictionary().SetAtNumber("/Length1", t1->length1);
  stream.Dictionary().SetAtNumber("/Length2", t1->length2);
  stream.Dictionary().SetAtNumber("/Length3", static_cast<std::int32_t>(t1->length3));
  WriteCompressed(fontFileNumber, stream);
}

// ---- CFF data of an OpenType font ----

CPDF_CIDEmbedOTFont::CPDF_CIDEmbedOTFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter,
                                         std::vector<std::uint8_t> cffData, std::uint32_t glyphs,
                                         std::vector<std::uint16_t> cids)
    : CPDF_CIDEmbedSubFont(font, docWriter), cff(std::move(cffData)), glyphCount(glyphs), glyphCids(std::move(cids)) {
  subtype = "/CIDFontType0";
}

std::uint32_t CPDF_CIDEmbedOTFont::CidOf(std::uint32_t glyph) const {
  if (glyph >= glyphCount) return 0;
  return glyphCids.empty() ? glyph : glyphCids[glyph];
}

std::uint32_t CPDF_CIDEmbedOTFont::GetCID(WCHAR, std::uint32_t glyph, std::uint32_t& byteCount, std::int32_t& width) {
  byteCount = 2;
  if (static_cast<std::int32_t>(glyph) < 0) return kNoGlyph;
  NoteCharset();
  width = WidthOf(glyph);
  return SwapCodeBytes(CidOf(glyph));
}

void CPDF_CIDEmbedOTFont::WriteFontDict() {
  if (entries.size() == 1) {
    entries.reserve(glyphCount);
    for (std::uint32_t glyph = 1; glyph < glyphCount; ++glyph) entries.push_back({glyph, CidOf(glyph), 0, WidthOf(glyph)});
    // The face's character map gives each glyph its Unicode value; the lowest code of a glyph wins.
    if (const FreeTypeFace* engine = EngineFaceOf(*owner)) {
      FT_Face face = engine->Face();
      FT_UInt glyph = 0;
      for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0; code = FT_Get_Next_Char(face, code, &glyph)) {
        if (glyph < glyphCount && entries[glyph].unicode == 0 && IsUnicodeScalar(code))
          entries[glyph].unicode = static_cast<std::uint32_t>(code);
      }
    }
  }
  CPDF_CIDEmbedSubFont::WriteFontDict();
}

void CPDF_CIDEmbedOTFont::WriteFontFile() {
  CPDF_Stream stream;
  stream.Data().assign(reinterpret_cast<const char*>(cff.data()), cff.size());
  stream.Dictionary().SetAt("/Subtype", "/CIDFontType0C");
  WriteCompressed(fontFileNumber, stream);
}

// ---- Standard faces ----

CPDF_CIDEmbedStandardFont::CPDF_CIDEmbedStandardFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter,
                                                     TTSubsetter& subsetter)
    : CPDF_CIDEmbedSubFont(font, docWriter), objectNumber(TakeObjectNumber(docWriter)), tt(&subsetter) {}

std::uint32_t CPDF_CIDEmbedStandardFont::GetCID(WCHAR unicode, std::uint32_t glyph, std::uint32_t& byteCount,
                                                std::int32_t& width) {
  byteCount = 1;
  if (const auto found = standardEntries.find(unicode); found != standardEntries.end()) {
    width = found->second.width;
    currentNumber = found->second.objectNumber;
    return found->second.code;
  }
  if (static_cast<std::int32_t>(glyph) < 0) return kNoGlyph;
  width = WidthOf(glyph);
  if (unicode != 0) {
    BYTE winAnsi = 0;
    const bool ascii = unicode < 128;
    if (ascii || UnicodeToWinAnsiCode(unicode, winAnsi)) {
      const std::uint32_t code = ascii ? unicode : winAnsi;
      currentNumber = objectNumber;
      used = 1;
      standardEntries[unicode] = {code, width, objectNumber};
      return code;
    }
  }
  if (!inner) inner = std::make_unique<CPDF_CIDEmbedTTFont>(*owner, writer, *tt);
  currentNumber = inner->GetObjectNumber(false);
  return inner->GetCID(unicode, glyph, byteCount, width);
}

std::uint32_t CPDF_CIDEmbedStandardFont::GetObjectNumber(bool) { return currentNumber; }

void CPDF_CIDEmbedStandardFont::WriteFontDict() {
  if (used) {
    CPDF_Dictionary font;
    font.SetAt("/Type", "/Font");
    font.SetAt("/Subtype", "/Type1");
    std::string name = "/";
    name += StandardFaceBaseName(owner->faceName.c_str());
    font.SetAt("/BaseFont", EscapePdfName(name));
    font.SetAt("/Encoding", "/WinAnsiEncoding");
    WriteFontObject(*owner, objectNumber, font);
  }
  if (inner) inner->WriteFontDict();
}
