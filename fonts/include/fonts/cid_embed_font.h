// An embedded font: its text goes out as two-byte codes of a Type0 font (/Identity-H or /Identity-V) whose CID
// font carries the font program, cut down to the glyphs the document used (TrueType and Type 1) or whole (the CFF
// data of an OpenType font). DetectAndCreate finds out which program the engine handed over and whether its
// embedding rights allow it, and makes the sub-font that keeps the CIDs, widths and Unicode values.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "pdf/font.h"
#include "truetype_subset.h"
#include "type1_subset.h"

class CPDF_CIDEmbedSubFont;
class GlyphText;

// The font program as the subsetters read it: the font object's own copy of the file.
struct FontBuffer {
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
};

// Copies `length` bytes at `offset` of the FontBuffer `context`: 0, or -1 without a buffer or past its end.
int FontBuffer_Read(void* context, std::uint32_t offset, void* destination, std::uint32_t length);
std::uint32_t FontBuffer_GetSize(void* context);

// Whether OS/2 embedding flags (fsType) allow embedding: none of the licence bits 0x02, 0x04, 0x08 in the low
// byte, or 0x04 (preview and print) or 0x08 (editable) among them; 0x02 (restricted) without those forbids it.
bool EmbeddingAllowed(std::uint16_t fsType);

class CPDF_CIDEmbedFont final : public CPDF_Font {
 public:
  // `embedMode` is the job's "FontEmbed" value. No subsetter and no sub-font yet.
  CPDF_CIDEmbedFont(CPDF_DocWriter* writer, kq::WString unique, std::uint32_t embedMode);
  ~CPDF_CIDEmbedFont() override;

  // Own and current charset from jWinCharSet, the charset list from dpCharSets.
  void Prepare(const IFIMETRICS& ifi) override;
  // Settles the current charset (as a named font would choose it), then asks the sub-font for the code; count 0
  // when the sub-font has no glyph for it.
  MappedChar MapChar(char32_t ch, HGLYPH glyph, bool vertical) override;
  // The sub-font's dictionaries, descriptor, ToUnicode map and font program.
  void WriteResources() override;
  // The descriptor of the subset, /FontName "<face>+TROV", with the key of the sub-font's font program.
  void WriteFontDescriptor(std::uint32_t number, std::int32_t missingWidth) override;
  // The same descriptor naming the font program `program` of kind `kind` (kFontFile...; none with 0).
  void WriteDescriptorFor(std::uint32_t number, std::int32_t missingWidth, std::uint32_t kind, std::uint32_t program);

  // Once the face is loaded and Prepare has run: true when the font program is TrueType with embedding allowed,
  // Type 1, or an OpenType font whose "CFF " table can be read and embedded; the sub-font then exists. False when
  // the font cannot be embedded: the caller falls back to a named font. A failed allocation throws.
  bool DetectAndCreate();
  // What each glyph of the face stands for, read from the face on first need.
  const GlyphText& GlyphTexts();

  // ---- Fields ----
  std::unique_ptr<TTSubsetter> ttSubsetter;  // at most one of the two lives after detection
  std::unique_ptr<T1Subsetter> t1Subsetter;
  FontBuffer fontBuffer;
  std::unique_ptr<CPDF_CIDEmbedSubFont> subFont;
  std::uint32_t embedMode;
  // The charset found for a character that neither the current nor the font's own charset has (the first listed
  // one that has it, else the first fallback one), or 255 for none: a page of characters outside every charset asks
  // for each of them again and again.
  std::unordered_map<char32_t, BYTE> fallbackCharsets;
  std::unique_ptr<GlyphText> glyphText;
};
