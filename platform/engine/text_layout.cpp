#include "text_layout.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <memory>

namespace kq::engine {

namespace {

template <class T, void (*Destroy)(T*)>
struct Deleter {
  void operator()(T* p) const { Destroy(p); }
};
using Blob = std::unique_ptr<hb_blob_t, Deleter<hb_blob_t, hb_blob_destroy>>;
using Face = std::unique_ptr<hb_face_t, Deleter<hb_face_t, hb_face_destroy>>;
using Font = std::unique_ptr<hb_font_t, Deleter<hb_font_t, hb_font_destroy>>;
using Buffer = std::unique_ptr<hb_buffer_t, Deleter<hb_buffer_t, hb_buffer_destroy>>;

bool IsComplex(char32_t c) {
  return (c >= 0x0590 && c <= 0x08FF) ||  // Hebrew, Arabic, Syriac, Thaana, NKo and their supplements
         (c >= 0x0900 && c <= 0x0DFF) ||  // the Indic scripts
         (c >= 0x0E00 && c <= 0x0FFF) ||  // Thai, Lao, Tibetan
         (c >= 0x1000 && c <= 0x109F) ||  // Myanmar
         (c >= 0x1780 && c <= 0x17FF) ||  // Khmer
         (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);  // presentation forms
}

std::u32string CodePoints(WStringView text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    out += c;
  }
  return out;
}

struct Run {
  std::size_t start = 0, length = 0;
  FriBidiLevel level = 0;
};

}  // namespace

bool NeedsComplexLayout(WStringView text) {
  return std::any_of(text.begin(), text.end(), [](char16_t c) { return IsComplex(c); });
}

std::optional<LaidOutText> LayOutComplexText(const RealizedFont& font, WStringView text) {
  if (!NeedsComplexLayout(text)) return std::nullopt;
  const std::u32string chars = CodePoints(text);
  const auto count = static_cast<FriBidiStrIndex>(chars.size());

  // Embedding levels by the bidirectional algorithm, the paragraph's direction from its first strong character.
  std::vector<FriBidiCharType> types(chars.size());
  std::vector<FriBidiBracketType> brackets(chars.size());
  std::vector<FriBidiLevel> levels(chars.size());
  const auto* input = reinterpret_cast<const FriBidiChar*>(chars.data());
  fribidi_get_bidi_types(input, count, types.data());
  fribidi_get_bracket_types(input, count, types.data(), brackets.data());
  FriBidiParType direction = FRIBIDI_PAR_ON;
  if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), count, &direction, levels.data()) == 0)
    return std::nullopt;

  // Runs of one level, then reversed from the highest level down to the lowest odd one.
  std::vector<Run> runs;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    if (runs.empty() || runs.back().level != levels[i]) runs.push_back({i, 0, levels[i]});
    ++runs.back().length;
  }
  int highest = 0, lowestOdd = 255;
  for (const Run& run : runs) {
    highest = std::max<int>(highest, run.level);
    if (run.level % 2) lowestOdd = std::min<int>(lowestOdd, run.level);
  }
  for (int level = highest; level >= lowestOdd && level > 0; --level) {
    for (std::size_t i = 0; i < runs.size();) {
      if (runs[i].level < level) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < runs.size() && runs[end].level >= level) ++end;
      std::reverse(runs.begin() + static_cast<std::ptrdiff_t>(i), runs.begin() + static_cast<std::ptrdiff_t>(end));
      i = end;
    }
  }

  Blob blob(hb_blob_create_from_file(font.File().c_str()));
  Face face(hb_face_create(blob.get(), font.FaceIndex()));
  if (hb_face_get_glyph_count(face.get()) == 0) return std::nullopt;
  Font shaper(hb_font_create(face.get()));
  const unsigned unitsPerEm = hb_face_get_upem(face.get());
  if (unitsPerEm == 0) return std::nullopt;
  hb_font_set_scale(shaper.get(), static_cast<int>(unitsPerEm), static_cast<int>(unitsPerEm));
  const double pixelsPerUnit = font.EmPixels() / unitsPerEm;

  LaidOutText out;
  for (const Run& run : runs) {
    Buffer buffer(hb_buffer_create());
    // The whole line is the context, so letters join across the run's ends as they do in the text.
    hb_buffer_add_utf32(buffer.get(), reinterpret_cast<const std::uint32_t*>(chars.data()), count,
                        static_cast<unsigned>(run.start), static_cast<int>(run.length));
    hb_buffer_guess_segment_properties(buffer.get());
    hb_buffer_set_direction(buffer.get(), run.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_shape(shaper.get(), buffer.get(), nullptr, 0);
    unsigned glyphs = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &glyphs);
    const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(buffer.get(), &glyphs);
    for (unsigned g = 0; g < glyphs; ++g) {
      // Glyph handles of the platform are 16-bit.
      out.glyphs += static_cast<char16_t>(info[g].codepoint <= 0xFFFF ? info[g].codepoint : 0);
      out.advances.push_back(position[g].x_advance * pixelsPerUnit);
    }
  }
  return out;
}

}  // namespace kq::engine
