// The common part of the embedded fonts' sub-fonts: CIDs and widths of the glyphs used, the Type0 fonts, the CID
// font with its /W widths and the ToUnicode map.
#include <string>

#include "font_resources.h"
#include "glyph_text.h"
#include "fonts/cid_embed_sub_fonts.h"
#include "pdf/doc_writer.h"
#include "pdf/encoders.h"
#include "pdf/tokens.h"
#include "to_unicode.h"

namespace {

bool IsCjkCharset(BYTE charset) {
  return charset == SHIFTJIS_CHARSET || charset == HANGUL_CHARSET || charset == JOHAB_CHARSET ||
         charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

std::string Number(std::uint32_t value) { return IntToString(static_cast<std::int32_t>(value)); }

}  // namespace

std::string CIDWidthsToken(const std::vector<CIDEntry>& entries, bool cjk) {
  std::string out = "[";
  if (entries.empty()) return out + "]";
  if (!cjk) {
    out += Number(entries[0].cid);
    out += '[';
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i > 0 && entries[i].cid != entries[i - 1].cid + 1) {
        out += "] ";
        out += Number(entries[i].cid);
        out += '[';
      }
      out += IntToString(entries[i].width);
      out += ' ';
    }
    return out + "]]";
  }
  for (std::size_t first = 0; first < entries.size();) {
    std::size_t last = first;
    while (last + 1 < entries.size() && entries[last + 1].width == entries[first].width &&
           entries[last + 1].cid == entries[last].cid + 1)
      ++last;
    out += Number(entries[first].cid);
    out += ' ';
    out += Number(entries[last].cid);
    out += ' ';
    out += IntToString(entries[first].width);
    out += ' ';
    first = last + 1;
  }
  return out + "]";
}

CPDF_CIDEmbedSubFont::CPDF_CIDEmbedSubFont(CPDF_CIDEmbedFont& font, CPDF_DocWriter* docWriter)
    : owner(&font),
      writer(docWriter),
      horizontalNumber(TakeObjectNumber(docWriter)),
      verticalNumber(TakeObjectNumber(docWriter)),
      fontFileNumber(TakeObjectNumber(docWriter)) {
  entries.push_back({0, 0, 0, WidthOf(0)});
}

std::int32_t CPDF_CIDEmbedSubFont::WidthOf(std::uint32_t glyph) const { return owner->GlyphWidth(glyph).value_or(0); }

void CPDF_CIDEmbedSubFont::NoteCharset() {
  if (IsCjkCharset(owner->currentCharset)) cjk = 1;
}

std::uint32_t CPDF_CIDEmbedSubFont::GetCID(char32_t unicode, std::uint32_t glyph, std::uint32_t& byteCount,
                                           std::int32_t& width) {
  byteCount = 2;
  // Fibonacci hashing: glyph numbers often run parallel to the characters, so both are spread before they meet.
  const std::uint32_t hash = static_cast<std::uint32_t>(unicode) * 2654435761u ^ glyph * 2246822519u;
  RecentCharacter& recent = recentCharacters[(hash >> 24) % recentCharacters.size()];
  if (recent.index != 0 && recent.unicode == unicode && recent.glyph == glyph) {
    const CIDEntry& entry = entries[recent.index];
    width = entry.width;
    return SwapCodeBytes(entry.cid);
  }
  if (const auto found = characterMap.find({unicode, glyph}); found != characterMap.end()) {
    recent = {unicode, glyph, found->second};
    const CIDEntry& entry = entries[found->second];
    width = entry.width;
    return SwapCodeBytes(entry.cid);
  }
  if (static_cast<std::int32_t>(glyph) < 0) return kNoGlyph;
  NoteCharset();
  width = WidthOf(glyph);
  const std::uint16_t id = AddGlyph(glyph);
  if (id == 0) return 0;
  entries.push_back({glyph, id, unicode, width});
  characterMap[{unicode, glyph}] = entries.size() - 1;
  return SwapCodeBytes(id);
}

std::uint32_t CPDF_CIDEmbedSubFont::GetObjectNumber(bool vertical) {
  if (vertical) {
    verticalUsed = 1;
    return verticalNumber;
  }
  horizontalUsed = 1;
  return horizontalNumber;
}

void CPDF_CIDEmbedSubFont::WriteFontDict() {
  const std::uint32_t descriptor = TakeObjectNumber(writer);
  const std::uint32_t toUnicode = TakeObjectNumber(writer);
  const std::uint32_t cidFont = TakeObjectNumber(writer);
  owner->WriteFontDescriptor(descriptor, 0);

  const std::string name = SubsetFontName(*owner);
  const auto writeType0 = [&](std::uint32_t number, const char* encoding) {
    CPDF_Dictionary type0;
    type0.SetAt("/Type", "/Font");
    type0.SetAt("/BaseFont", name);
    type0.SetAt("/Subtype", "/Type0");
    std::string descendants = "[";
    descendants += Number(cidFont);
    descendants += " 0 R]";
    type0.SetAt("/DescendantFonts", descendants);
    type0.SetAt("/Encoding", encoding);
    type0.SetAtReference("/ToUnicode", toUnicode);
    WriteFontObject(*owner, number, type0);
  };
  if (horizontalUsed) writeType0(horizontalNumber, "/Identity-H");
  if (verticalUsed) writeType0(verticalNumber, "/Identity-V");

  CPDF_Dictionary cid;
  cid.SetAt("/CIDSystemInfo", "<</Registry (Adobe) /Ordering (Identity) /Supplement 0>>");
  cid.SetAt("/Type", "/Font");
  cid.SetAt("/Subtype", subtype);
  cid.SetAt("/BaseFont", name);
  cid.SetAtReference("/FontDescriptor", descriptor);
  cid.SetAt("/CIDToGIDMap", "/Identity");
  cid.SetAt("/W", CIDWidthsToken(entries, cjk != 0));
  WriteFontObject(*owner, cidFont, cid);

  WriteToUnicode(toUnicode);
  WriteFontFile();
}

void CPDF_CIDEmbedSubFont::FillGlyphText(std::vector<CIDEntry>& list) {
  for (std::size_t i = 1; i < list.size(); ++i) {
    CIDEntry& entry = list[i];
    if (entry.unicode != 0 || !entry.text.empty()) continue;
    const std::u32string& text = owner->GlyphTexts().Of(entry.glyph);
    if (text.size() == 1)
      entry.unicode = text[0];
    else
      entry.text = text;
  }
}

void CPDF_CIDEmbedSubFont::WriteToUnicode(std::uint32_t number) {
  FillGlyphText(entries);
  CPDF_Stream stream;
  stream.Data() = BuildToUnicodeCMap(entries);
  WriteCompressed(number, stream);
}

void CPDF_CIDEmbedSubFont::WriteCompressed(std::uint32_t number, CPDF_Stream& stream) {
  // Without compression the stream still says what it holds.
  if (auto packed = FlateEncode(stream.Data().data(), stream.Data().size())) {
    stream.Data() = std::move(*packed);
    stream.Dictionary().SetAt("/Filter", "/FlateDecode");
  }
  WriteFontObject(*owner, number, stream);
}
