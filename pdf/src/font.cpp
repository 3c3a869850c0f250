// The base of the font objects: construction, metrics, the width rule, the glyph set copy and the descriptor of
// a named font. The font engine's part (LoadFace, GlyphWidth) is the font room's.
#include "pdf/font.h"

#include <algorithm>
#include <limits>
#include <cstring>

#include "pdf/doc_writer.h"
#include "pdf/object.h"
#include "pdf/text.h"
#include "pdf/tokens.h"

namespace {

constexpr std::uint32_t kFlagFixedPitch = 1;
constexpr std::uint32_t kFlagSerif = 2;
constexpr std::uint32_t kFlagSymbolic = 4;
constexpr std::uint32_t kFlagScript = 8;
constexpr std::uint32_t kFlagNonsymbolic = 32;
constexpr std::uint32_t kFlagItalic = 64;

}  // namespace

CPDF_Font::CPDF_Font(CPDF_DocWriter* writer, kq::WString unique) : uniqueName(std::move(unique)), owner(writer) {}

CPDF_Font::~CPDF_Font() = default;

kq::WString IfiMetricsString(const IFIMETRICS& ifi, PTRDIFF offset) {
  kq::WString text;
  if (offset <= 0 || static_cast<ULONG>(offset) >= ifi.cjThis) return text;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&ifi);
  for (std::size_t at = static_cast<std::size_t>(offset); at + sizeof(WCHAR) <= ifi.cjThis; at += sizeof(WCHAR)) {
    WCHAR unit;
    std::memcpy(&unit, bytes + at, sizeof unit);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

void CPDF_Font::SetMetrics(const IFIMETRICS& ifi) {
  unitsPerEm = ifi.fwdUnitsPerEm;
  kq::WString name = IfiMetricsString(ifi, ifi.dpwszFaceName);
  if (!name.empty() && name.front() == u'@') name.erase(0, 1);
  faceName = WideToAnsiString(name);

  flags = ifi.jWinCharSet == SYMBOL_CHARSET ? kFlagSymbolic : kFlagNonsymbolic;
  if ((ifi.jWinPitchAndFamily & 3) == FIXED_PITCH) flags |= kFlagFixedPitch;
  switch (ifi.jWinPitchAndFamily & 0xF0) {
    case FF_ROMAN: flags |= kFlagSerif; break;
    case FF_MODERN: flags |= kFlagFixedPitch; break;
    case FF_SCRIPT: flags |= kFlagScript; break;
    default: break;
  }
  if (ifi.fsSelection & FM_SEL_ITALIC) flags |= kFlagItalic;

  italicAngle = ifi.lItalicAngle;
  ascent = GlyphUnitsToWidth(ifi.fwdTypoAscender);
  descent = GlyphUnitsToWidth(ifi.fwdTypoDescender);
  capHeight = GlyphUnitsToWidth(ifi.fwdCapHeight);
  stem = static_cast<std::int32_t>(static_cast<std::uint32_t>(ifi.usWinWeight) * 100u / 500u);
  fontBox = {GlyphUnitsToWidth(ifi.rclFontBox.left), GlyphUnitsToWidth(ifi.rclFontBox.top),
             GlyphUnitsToWidth(ifi.rclFontBox.right), GlyphUnitsToWidth(ifi.rclFontBox.bottom)};
  embeddingRights = ifi.fsType;
}

std::int32_t CPDF_Font::GlyphUnitsToWidth(std::int64_t advance) const {
  if (unitsPerEm <= 0) return 0;
  // Font units come as 16- or 32-bit values; the clamp only keeps a damaged record from overflowing.
  constexpr std::int64_t kLimit = std::int64_t{1} << 40;
  advance = std::clamp(advance, -kLimit, kLimit);
  const std::int64_t width = (advance * 1000 + unitsPerEm / 2) / unitsPerEm;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(width, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void CPDF_Font::CopyGlyphSet(const FD_GLYPHSET* set) {
  glyphRuns.clear();
  glyphHandles.clear();
  if (!set) return;
  constexpr std::size_t kHeader = offsetof(FD_GLYPHSET, awcrun);
  const std::size_t size = set->cjThis;
  if (size < kHeader || set->cRuns > (size - kHeader) / sizeof(WCRUN)) return;

  // Handle lists lie inside the same block; each is checked against the block's size before it is copied.
  const auto* bytes = reinterpret_cast<const unsigned char*>(set);
  const auto base = reinterpret_cast<std::uintptr_t>(set);
  std::vector<GlyphRun> runs;
  std::vector<HGLYPH> handles;
  runs.reserve(set->cRuns);
  for (ULONG r = 0; r < set->cRuns; ++r) {
    WCRUN run;
    std::memcpy(&run, bytes + kHeader + r * sizeof(WCRUN), sizeof run);
    if (std::uint32_t{run.wcLow} + run.cGlyphs > 0x10000) return;
    GlyphRun copy{run.wcLow, run.cGlyphs, run.phg != nullptr, handles.size()};
    if (run.phg) {
      const auto at = reinterpret_cast<std::uintptr_t>(run.phg);
      if (at < base || at - base > size || (size - (at - base)) / sizeof(HGLYPH) < run.cGlyphs) return;
      const std::size_t first = handles.size();
      handles.resize(first + run.cGlyphs);
      if (run.cGlyphs) std::memcpy(handles.data() + first, bytes + (at - base), run.cGlyphs * sizeof(HGLYPH));
    }
    runs.push_back(copy);
  }
  glyphRuns = std::move(runs);
  glyphHandles = std::move(handles);
}

std::optional<HGLYPH> CPDF_Font::GlyphHandleOf(WCHAR ch) const {
  for (const GlyphRun& run : glyphRuns) {
    if (ch < run.wcLow || ch - run.wcLow >= run.count) continue;
    return run.hasHandles ? glyphHandles[run.firstHandle + (ch - run.wcLow)] : HGLYPH{ch};
  }
  return std::nullopt;
}

bool IsCompatibilityCharacter(char32_t ch) {
  return (ch >= 0x2E80 && ch <= 0x2FDF) ||    // CJK radicals supplement, Kangxi radicals
         (ch >= 0xF900 && ch <= 0xFAFF) ||    // CJK compatibility ideographs
         (ch >= 0xFB00 && ch <= 0xFDFF) ||    // alphabetic and Arabic presentation forms
         (ch >= 0xFE10 && ch <= 0xFE1F) ||    // vertical forms
         (ch >= 0xFE30 && ch <= 0xFE4F) ||    // CJK compatibility forms
         (ch >= 0xFE70 && ch <= 0xFEFF) ||    // Arabic presentation forms B
         (ch >= 0x2F800 && ch <= 0x2FA1F);    // CJK compatibility ideographs supplement
}

WCHAR CPDF_Font::GlyphToUnicode(HGLYPH glyph) const {
  WCHAR compatibility = 0;
  for (const GlyphRun& run : glyphRuns) {
    WCHAR found = 0;
    if (run.hasHandles) {
      for (USHORT i = 0; i < run.count && !found; ++i)
        if (glyphHandles[run.firstHandle + i] == glyph) found = static_cast<WCHAR>(run.wcLow + i);
    } else if (glyph >= run.wcLow && glyph - run.wcLow < run.count) {
      found = static_cast<WCHAR>(glyph);
    }
    if (!found) continue;
    if (!IsCompatibilityCharacter(found)) return found;
    if (!compatibility) compatibility = found;
  }
  return compatibility;
}

void CPDF_Font::WriteFontDescriptor(std::uint32_t number, std::int32_t missingWidth) {
  std::string name = "/";
  name += faceName;
  WriteDescriptor(number, missingWidth, EscapePdfName(name));
}

void CPDF_Font::WriteDescriptor(std::uint32_t number, std::int32_t missingWidth, const std::string& fontName,
                                const char* programKey, std::uint32_t program) {
  if (!owner) return;
  CPDF_Dictionary descriptor;
  descriptor.SetAt("/Type", "/FontDescriptor");
  descriptor.SetAt("/FontName", fontName);
  std::string box = "[";
  for (const std::int32_t value : {fontBox[0], fontBox[3], fontBox[2], fontBox[1]}) {  // left, bottom, right, top
    if (box.size() > 1) box += ' ';
    box += IntToString(value);
  }
  box += ']';
  descriptor.SetAt("/FontBBox", box);
  descriptor.SetAtNumber("/Flags", flags);
  descriptor.SetAtNumber("/ItalicAngle", italicAngle / 10.0);  // the engine gives tenths of a degree
  descriptor.SetAtNumber("/Ascent", ascent);
  descriptor.SetAtNumber("/Descent", descent);
  descriptor.SetAtNumber("/CapHeight", capHeight);
  descriptor.SetAtNumber("/StemV", stem);
  if (missingWidth != 0) descriptor.SetAtNumber("/MissingWidth", missingWidth);
  if (programKey && program) descriptor.SetAtReference(programKey, program);
  owner->WriteIndirectObject(static_cast<std::int32_t>(number), descriptor);
}
