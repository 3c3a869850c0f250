// The embedded font object: detection of its font program, the charset it maps under, its descriptor.
#include "fonts/cid_embed_font.h"

#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#include "cff_charset.h"
#include "font_engine_face.h"
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include "font_resources.h"
#include "font_setup.h"
#include "glyph_text.h"
#include "fonts/charset_tables.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "fonts/standard_faces.h"
#include "pdf/doc_writer.h"
#include "pdf/tokens.h"
#include "printer_settings/setting_values.h"

namespace {

// Tried in this order when neither the current, the own nor a listed charset has a code for the character.
constexpr BYTE kFallbackCharsets[] = {
    ANSI_CHARSET,    EASTEUROPE_CHARSET, RUSSIAN_CHARSET, THAI_CHARSET,   GREEK_CHARSET,
    TURKISH_CHARSET, HEBREW_CHARSET,     ARABIC_CHARSET,  BALTIC_CHARSET, VIETNAMESE_CHARSET,
    GB2312_CHARSET,  SHIFTJIS_CHARSET,   CHINESEBIG5_CHARSET, HANGUL_CHARSET,
};

constexpr BYTE kNoCharset = 255;

bool Converts(char32_t ch, BYTE charset) {
  // Characters below 128 are themselves in every charset but the CJK ones, whose code pages are asked.
  const bool cjk = charset == SHIFTJIS_CHARSET || charset == HANGUL_CHARSET || charset == JOHAB_CHARSET ||
                   charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
  if (ch < 0x80 && !cjk) return true;
  UINT code = 0;
  UINT count = 0;
  return ch <= 0xFFFF && UnicodeToCharsetCode(static_cast<WCHAR>(ch), charset, code, count);
}

// Whether the program can be cut at all: a subset of glyph 0 alone, built on a subsetter of its own. A program
// whose tables cannot be written again is not embedded, so its text falls back to a named font instead of naming
// a font program that the document end could not write.
bool TrueTypeSubsetBuilds(std::uint32_t faceIndex, FontBuffer& buffer) {
  TTSubsetter trial;
  TTSubsetter_Open(&trial, faceIndex, &FontBuffer_Read, &buffer);
  TTSubsetter_SetTableFlags(&trial, TT_TABLES_HORIZONTAL | TT_TABLES_VERTICAL);
  const bool built = trial.status == TT_OK && TTSubsetter_Build(&trial) == TT_OK;
  TTSubsetter_Close(&trial);
  return built;
}

bool Type1SubsetBuilds(FontBuffer& buffer) {
  T1Subsetter trial;
  T1Subsetter_Open(&trial, &FontBuffer_Read, &FontBuffer_GetSize, &buffer);
  T1Subsetter_SetMode(&trial, kT1ModeFontFile);
  const bool built = trial.status == 0 && T1Subsetter_Build(&trial) == 0;
  T1Subsetter_Close(&trial);
  return built;
}

}  // namespace

int FontBuffer_Read(void* context, std::uint32_t offset, void* destination, std::uint32_t length) {
  const auto* buffer = static_cast<const FontBuffer*>(context);
  if (!buffer || !buffer->data || offset > buffer->size || length > buffer->size - offset) return -1;
  if (length) std::memcpy(destination, buffer->data + offset, length);
  return 0;
}

std::uint32_t FontBuffer_GetSize(void* context) {
  const auto* buffer = static_cast<const FontBuffer*>(context);
  return buffer ? buffer->size : 0;
}

bool EmbeddingAllowed(std::uint16_t fsType) {
  constexpr std::uint16_t kRestricted = 0x02, kPreviewPrint = 0x04, kEditable = 0x08;
  const std::uint16_t licence = fsType & (kRestricted | kPreviewPrint | kEditable);
  return licence == 0 || (licence & (kPreviewPrint | kEditable)) != 0;
}

CPDF_CIDEmbedFont::CPDF_CIDEmbedFont(CPDF_DocWriter* writer, kq::WString unique, std::uint32_t mode)
    : CPDF_Font(writer, std::move(unique)), embedMode(mode) {}

CPDF_CIDEmbedFont::~CPDF_CIDEmbedFont() {
  // The sub-font refers to the subsetters, so it goes first.
  subFont.reset();
  if (ttSubsetter) TTSubsetter_Close(ttSubsetter.get());
  if (t1Subsetter) T1Subsetter_Close(t1Subsetter.get());
}

void CPDF_CIDEmbedFont::Prepare(const IFIMETRICS& ifi) { KeepCharsets(*this, ifi); }

bool CPDF_CIDEmbedFont::DetectAndCreate() {
  // A program the font engine cannot read is not embedded: readers would fail on it too.
  const FreeTypeFace* engine = EngineFaceOf(*this);
  if (!engine || fontFile.empty() || fontFile.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  fontBuffer = {fontFile.data(), static_cast<std::uint32_t>(fontFile.size())};

  ttSubsetter = std::make_unique<TTSubsetter>();
  TTSubsetter_Open(ttSubsetter.get(), faceIndex, &FontBuffer_Read, &fontBuffer);
  if (ttSubsetter->status == TT_OK && EmbeddingAllowed(TTSubsetter_GetFsType(ttSubsetter.get())) &&
      TrueTypeSubsetBuilds(faceIndex, fontBuffer)) {
    TTSubsetter_SetTableFlags(ttSubsetter.get(), TT_TABLES_HORIZONTAL | TT_TABLES_VERTICAL);
    if (embedMode == setting_value::kEmbedNonStandard && IsStandardFace(faceName.c_str()))
      subFont = std::make_unique<CPDF_CIDEmbedStandardFont>(*this, owner, *ttSubsetter);
    else
      subFont = std::make_unique<CPDF_CIDEmbedTTFont>(*this, owner, *ttSubsetter);
    return true;
  }
  TTSubsetter_Close(ttSubsetter.get());
  ttSubsetter.reset();

  t1Subsetter = std::make_unique<T1Subsetter>();
  T1Subsetter_Open(t1Subsetter.get(), &FontBuffer_Read, &FontBuffer_GetSize, &fontBuffer);
  if (t1Subsetter->status == 0 && Type1SubsetBuilds(fontBuffer)) {
    // PDF wants the private part in binary, its length as /Length2.
    T1Subsetter_SetMode(t1Subsetter.get(), kT1ModeFontFile);
    subFont = std::make_unique<CPDF_CIDEmbedT1Font>(*this, owner, *t1Subsetter);
    return true;
  }
  T1Subsetter_Close(t1Subsetter.get());
  t1Subsetter.reset();

  // The CFF data of an OpenType font, under the same licence rule as a TrueType program.
  if (!EmbeddingAllowed(embeddingRights)) return false;
  FT_Face engineFace = engine->Face();
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(engineFace, TTAG_CFF, 0, nullptr, &length) != 0 || length == 0) return false;
  std::vector<std::uint8_t> cff(length);
  if (FT_Load_Sfnt_Table(engineFace, TTAG_CFF, 0, cff.data(), &length) != 0) return false;
  auto cids = ReadCffGlyphCids(cff.data(), cff.size());
  if (!cids) return false;
  subFont = std::make_unique<CPDF_CIDEmbedOTFont>(*this, owner, std::move(cff), cids->glyphCount,
                                                  std::move(cids->cids));
  return true;
}

const GlyphText& CPDF_CIDEmbedFont::GlyphTexts() {
  if (!glyphText) glyphText = std::make_unique<GlyphText>(GlyphText::OfFont(*this));
  return *glyphText;
}

MappedChar CPDF_CIDEmbedFont::MapChar(char32_t ch, HGLYPH glyph, bool vertical) {
  if (!subFont) return {};
  if (currentCharset != SYMBOL_CHARSET) {
    BYTE found = kNoCharset;
    if (currentCharset < kNoCharset && Converts(ch, currentCharset)) {
      found = currentCharset;
    } else if (ownCharset != currentCharset && Converts(ch, ownCharset)) {
      found = ownCharset;
    } else {
      // The first of the listed charsets that has the character, else of the fallback ones: the same answer each
      // time, since the list is the font's, so it is worked out once a character.
      const auto [known, fresh] = fallbackCharsets.try_emplace(ch, kNoCharset);
      if (fresh) {
        for (BYTE listed : charsets) {
          if (listed == DEFAULT_CHARSET) break;
          if (Converts(ch, listed)) {
            known->second = listed;
            break;
          }
        }
        for (std::size_t i = 0; known->second == kNoCharset && i < std::size(kFallbackCharsets); ++i)
          if (Converts(ch, kFallbackCharsets[i])) known->second = kFallbackCharsets[i];
      }
      found = known->second;
    }
    currentCharset = found;
  }

  std::uint32_t count = 0;
  std::int32_t width = 0;
  const std::uint32_t code = subFont->GetCID(ch, glyph, count, width);
  if (code == kNoGlyph) return {};
  MappedChar mapped;
  mapped.code = code;
  mapped.count = count;
  mapped.width = width;
  mapped.resource = subFont->GetObjectNumber(vertical);
  // Only the two-byte codes of the Type0 fonts have a vertical form.
  mapped.vertical = vertical && count == 2 && mapped.resource == subFont->verticalNumber;
  return mapped;
}

void CPDF_CIDEmbedFont::WriteResources() {
  if (subFont) subFont->WriteFontDict();
}

void CPDF_CIDEmbedFont::WriteFontDescriptor(std::uint32_t number, std::int32_t missingWidth) {
  const std::uint32_t program = subFont ? subFont->GetFontFileNumber() : 0;
  WriteDescriptorFor(number, missingWidth, program ? subFont->GetFontFileKind() : kFontFileNone, program);
}

void CPDF_CIDEmbedFont::WriteDescriptorFor(std::uint32_t number, std::int32_t missingWidth, std::uint32_t kind,
                                           std::uint32_t program) {
  const char* programKey = nullptr;
  switch (kind) {
    case kFontFileTrueType: programKey = "/FontFile2"; break;
    case kFontFileType1: programKey = "/FontFile"; break;
    case kFontFileCff: programKey = "/FontFile3"; break;
    default: break;
  }
  WriteDescriptor(number, missingWidth, SubsetFontName(*this), programKey, program);
}
