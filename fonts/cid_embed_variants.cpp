// The four sub-font variants: TrueType and Type 1 subsets, whole CFF data, and standard faces through named fonts.
#include <array>
#include <cstring>
#include <string>

#include "font_engine_face.h"
#include "font_resources.h"
#include "fonts/charset_tables.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "fonts/standard_faces.h"
#include "pdf/tokens.h"
#include "to_unicode.h"

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
    : CPDF_CIDEmbedSubFont(font, docWriter) {
  Piece& first = pieces.emplace_back();
  first.subsetter = &subsetter;
  first.fontNumber = horizontalNumber;
  first.fontFileNumber = fontFileNumber;
  first.entries.push_back(entries.front());
}

CPDF_CIDEmbedT1Font::~CPDF_CIDEmbedT1Font() {
  for (Piece& piece : pieces)
    if (piece.own) T1Subsetter_Close(piece.own.get());
}

std::uint32_t CPDF_CIDEmbedT1Font::SubsetIndexOf(std::uint32_t glyph) const {
  // The engine and the subsetter both keep the CharStrings order with ".notdef" first; the name settles it.
  const T1Subsetter& t1 = *pieces.front().subsetter;
  const FreeTypeFace* engine = EngineFaceOf(*owner);
  char name[128];
  if (!engine || !FT_HAS_GLYPH_NAMES(engine->Face()) ||
      FT_Get_Glyph_Name(engine->Face(), glyph, name, sizeof name) != 0 || name[0] == '\0')
    return glyph;
  const auto count = static_cast<std::uint32_t>(t1.glyphs.size());
  if (glyph < count && t1.glyphs[glyph].name == name) return glyph;
  for (std::uint32_t i = 1; i < count; ++i)
    if (t1.glyphs[i].name == name) return i;
  return 0;
}

std::uint16_t CPDF_CIDEmbedT1Font::AddGlyph(std::uint32_t glyph) {
  return static_cast<std::uint16_t>(T1Subsetter_AddGlyph(pieces.front().subsetter, SubsetIndexOf(glyph)));
}

CPDF_CIDEmbedT1Font::Piece& CPDF_CIDEmbedT1Font::OpenPiece() {
  Piece piece;
  piece.own = std::make_unique<T1Subsetter>();
  piece.subsetter = piece.own.get();
  T1Subsetter_Open(piece.subsetter, &FontBuffer_Read, &FontBuffer_GetSize, &owner->fontBuffer);
  T1Subsetter_SetMode(piece.subsetter, kT1ModeFontFile);
  piece.fontNumber = TakeObjectNumber(writer);
  piece.fontFileNumber = TakeObjectNumber(writer);
  piece.entries.push_back(entries.front());
  return pieces.emplace_back(std::move(piece));
}

std::uint32_t CPDF_CIDEmbedT1Font::GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount,
                                          std::int32_t& width) {
  byteCount = 1;
  if (const auto found = placed.find({unicode, glyph}); found != placed.end()) {
    current = found->second.first;
    const CIDEntry& entry = pieces[current].entries[found->second.second];
    width = entry.width;
    return entry.cid;
  }
  if (static_cast<std::int32_t>(glyph) < 0) return kNoGlyph;
  NoteCharset();
  width = WidthOf(glyph);
  const std::uint32_t index = SubsetIndexOf(glyph);
  std::uint32_t code = 0;
  std::size_t at = 0;
  // Every piece opened so far is full but the last, yet a glyph kept in an earlier one answers its code there.
  for (; at < pieces.size() && code == 0 && index != 0; ++at) code = T1Subsetter_AddGlyph(pieces[at].subsetter, index);
  if (code == 0 && index != 0) {
    OpenPiece();
    at = pieces.size();
    code = T1Subsetter_AddGlyph(pieces.back().subsetter, index);
  }
  if (code == 0) {
    // The missing glyph, in the piece of the text around it.
    return 0;
  }
  current = at - 1;
  Piece& piece = pieces[current];
  piece.entries.push_back({glyph, code, unicode, width});
  placed[{unicode, glyph}] = {current, piece.entries.size() - 1};
  return code;
}

std::uint32_t CPDF_CIDEmbedT1Font::GetObjectNumber(bool) {
  Piece& piece = pieces[current];
  piece.used = true;
  horizontalUsed = 1;
  return piece.fontNumber;
}

void CPDF_CIDEmbedT1Font::WriteFontDict() {
  for (Piece& piece : pieces)
    if (piece.used) WritePiece(piece);
}

void CPDF_CIDEmbedT1Font::WritePiece(Piece& piece) {
  const std::uint32_t descriptor = TakeObjectNumber(writer);
  const std::uint32_t toUnicode = TakeObjectNumber(writer);
  T1Subsetter& t1 = *piece.subsetter;
  const bool built = T1Subsetter_Build(&t1) == 0;
  owner->WriteDescriptorFor(descriptor, 0, kFontFileType1, piece.fontFileNumber);

  // Every kept glyph has its code, seac components too: each gets its name and width.
  std::array<std::uint16_t, 256> widths{};
  std::string differences = "[";
  const FreeTypeFace* engine = EngineFaceOf(*owner);
  for (std::uint32_t code = 1; code < t1.kept.size() && code < widths.size(); ++code) {
    const std::string& name = t1.glyphs[t1.kept[code]].name;
    if (engine) {
      const FT_UInt glyph = FT_Get_Name_Index(engine->Face(), name.c_str());
      if (glyph != 0) widths[code] = StoredWidth(WidthOf(glyph));
    }
    if (code == 1) differences += '1';
    differences += ' ';
    differences += EscapePdfName("/" + name);
  }
  differences += "]";
  for (const CIDEntry& entry : piece.entries)
    if (entry.cid != 0) widths[entry.cid & 0xFF] = StoredWidth(entry.width);

  CPDF_Dictionary font;
  font.SetAt("/Type", "/Font");
  font.SetAt("/Subtype", "/Type1");
  font.SetAt("/BaseFont", SubsetFontName(*owner));
  SetWidthEntries(font, widths);
  std::string encoding = "<</Type /Encoding /Differences ";
  encoding += differences;
  encoding += ">>";
  font.SetAt("/Encoding", encoding);
  font.SetAtReference("/FontDescriptor", descriptor);
  font.SetAtReference("/ToUnicode", toUnicode);
  WriteFontObject(*owner, piece.fontNumber, font);

  CPDF_Stream map;
  FillGlyphText(piece.entries);
  map.Data() = BuildToUnicodeCMap(piece.entries, 1);
  WriteCompressed(toUnicode, map);

  if (!built) return;
  CPDF_Stream program;
  program.Data().assign(reinterpret_cast<const char*>(t1.output.get()), t1.outputUsed);
  program.Dictionary().SetAtNumber("/Length1", t1.length1);
  program.Dictionary().SetAtNumber("/Length2", t1.length2);
  program.Dictionary().SetAtNumber("/Length3", static_cast<std::int32_t>(t1.length3));
  WriteCompressed(piece.fontFileNumber, program);
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

std::uint32_t CPDF_CIDEmbedOTFont::GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount,
                                          std::int32_t& width) {
  byteCount = 2;
  if (static_cast<std::int32_t>(glyph) < 0) return kNoGlyph;
  if (unicode != 0 && glyph < glyphCount) printed.try_emplace(glyph, unicode);
  NoteCharset();
  width = WidthOf(glyph);
  return SwapCodeBytes(CidOf(glyph));
}

void CPDF_CIDEmbedOTFont::WriteFontDict() {
  if (entries.size() == 1) {
    entries.reserve(glyphCount);
    for (std::uint32_t glyph = 1; glyph < glyphCount; ++glyph) {
      const auto seen = printed.find(glyph);
      entries.push_back({glyph, CidOf(glyph), seen == printed.end() ? 0 : seen->second, WidthOf(glyph)});
    }
    // The rest from the face: its character map, then its substitutions.
    FillGlyphText(entries);
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

std::uint32_t CPDF_CIDEmbedStandardFont::GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount,
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
    if (ascii || (unicode <= 0xFFFF && UnicodeToWinAnsiCode(static_cast<WCHAR>(unicode), winAnsi))) {
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
