#include "glyph_set.h"

#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace kq::engine {

namespace {

using Entry = std::pair<WCHAR, HGLYPH>;

// The map's characters that fit a UTF-16 unit, in ascending order; glyphs outside the face are left out.
std::vector<Entry> ReadMap(FT_Face face) {
  std::vector<Entry> entries;
  FT_UInt glyph = 0;
  for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0 && code <= 0xFFFF;
       code = FT_Get_Next_Char(face, code, &glyph)) {
    if (code >= 0xD800 && code <= 0xDFFF) continue;
    if (static_cast<FT_Long>(glyph) < face->num_glyphs) entries.emplace_back(static_cast<WCHAR>(code), glyph);
  }
  return entries;
}

// The font's own map of this encoding: FreeType also makes maps up from glyph names, which the platform does not.
// Windows maps first (full repertoire before BMP), then Unicode-platform ones.
bool SelectFontMap(FT_Face face, FT_Encoding encoding) {
  FT_CharMap best = nullptr;
  int bestRank = 0;
  for (FT_Int i = 0; i < face->num_charmaps; ++i) {
    FT_CharMap map = face->charmaps[i];
    if (map->encoding != encoding || FT_Get_CMap_Format(map) < 0) continue;
    const int rank = map->platform_id == 3 ? (map->encoding_id == 10 ? 3 : 2) : 1;
    if (rank > bestRank) {
      best = map;
      bestRank = rank;
    }
  }
  return best && FT_Set_Charmap(face, best) == 0;
}

// Symbol codes U+F0xx also answer as U+00xx, where the face has nothing of its own.
void AddLowSymbolRange(std::vector<Entry>& entries) {
  std::vector<Entry> low;
  for (const auto& [code, glyph] : entries)
    if (code >= 0xF000 && code <= 0xF0FF) low.emplace_back(static_cast<WCHAR>(code & 0xFF), glyph);
  for (const auto& e : low) {
    auto at = std::lower_bound(entries.begin(), entries.end(), e,
                               [](const Entry& a, const Entry& b) { return a.first < b.first; });
    if (at == entries.end() || at->first != e.first) entries.insert(at, e);
  }
}

// A Type 1 font has no character map of its own: its characters come from its glyph names, as the platform maps
// them. A font whose own encoding is an array of names that mostly have no Unicode value (pictures, dingbats) is
// a symbol font: its codes answer at U+F000 + code and U+00xx.
std::vector<Entry> Type1Entries(FT_Face face, bool& symbol) {
  std::vector<Entry> unicode;
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) unicode = ReadMap(face);
  symbol = false;
  if (FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM) != 0) return unicode;
  std::vector<Entry> encoded;
  for (FT_ULong code = 0; code < 256; ++code) {
    const FT_UInt glyph = FT_Get_Char_Index(face, code);
    if (glyph != 0 && static_cast<FT_Long>(glyph) < face->num_glyphs)
      encoded.emplace_back(static_cast<WCHAR>(0xF000 + code), glyph);
  }
  if (unicode.size() * 2 >= encoded.size()) {
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    return unicode;
  }
  symbol = true;
  AddLowSymbolRange(encoded);
  return encoded;
}

}  // namespace

GlyphSet GlyphSet::Build(FT_Face face) {
  GlyphSet set;
  std::vector<Entry> entries;
  if (!FT_IS_SFNT(face)) {
    entries = Type1Entries(face, set.symbol_);
  } else if (SelectFontMap(face, FT_ENCODING_UNICODE)) {
    entries = ReadMap(face);
  } else if (SelectFontMap(face, FT_ENCODING_MS_SYMBOL)) {
    set.symbol_ = true;
    entries = ReadMap(face);
    AddLowSymbolRange(entries);
  }

  // Runs of consecutive characters, each at most 0xFFFF long.
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // first entry, count
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!runs.empty()) {
      auto& run = runs.back();
      const auto& last = entries[run.first + run.second - 1];
      if (entries[i].first == last.first + 1 && run.second < 0xFFFF) {
        ++run.second;
        continue;
      }
    }
    runs.emplace_back(i, 1);
  }

  const std::size_t header = offsetof(FD_GLYPHSET, awcrun);
  const std::size_t handles = header + runs.size() * sizeof(WCRUN);
  const std::size_t total = handles + entries.size() * sizeof(HGLYPH);
  set.block_ = AlignedBlock(std::max(total, sizeof(FD_GLYPHSET)));
  FD_GLYPHSET* gs = set.block_.As<FD_GLYPHSET>();
  gs->cjThis = static_cast<ULONG>(total);
  gs->flAccel = GS_16BIT_HANDLES;
  gs->cGlyphsSupported = static_cast<ULONG>(entries.size());
  gs->cRuns = static_cast<ULONG>(runs.size());
  auto* list = reinterpret_cast<HGLYPH*>(set.block_.Data() + handles);
  WCRUN* const firstRun = gs->awcrun;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    WCRUN& run = firstRun[r];
    run.wcLow = entries[runs[r].first].first;
    run.cGlyphs = static_cast<USHORT>(runs[r].second);
    run.phg = list;
    for (std::size_t k = 0; k < runs[r].second; ++k) *list++ = entries[runs[r].first + k].second;
  }
  return set;
}

HGLYPH GlyphSet::Lookup(WCHAR ch) const {
  const FD_GLYPHSET* gs = Get();
  const WCRUN* begin = gs->awcrun;
  const WCRUN* end = begin + gs->cRuns;
  const WCRUN* run = std::upper_bound(begin, end, ch, [](WCHAR c, const WCRUN& r) { return c < r.wcLow; });
  if (run == begin) return 0;
  --run;
  if (ch >= run->wcLow + run->cGlyphs) return 0;
  return run->phg[ch - run->wcLow];
}

WCHAR GlyphSet::First() const {
  const FD_GLYPHSET* gs = Get();
  return gs->cRuns ? gs->awcrun[0].wcLow : 0;
}

WCHAR GlyphSet::Last() const {
  const FD_GLYPHSET* gs = Get();
  if (!gs->cRuns) return 0;
  const WCRUN* const firstRun = gs->awcrun;
  const WCRUN& run = firstRun[gs->cRuns - 1];
  return static_cast<WCHAR>(run.wcLow + run.cGlyphs - 1);
}

}  // namespace kq::engine
