#include "color_glyphs.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "font_face.h"
#include "font_file.h"

namespace kq::engine {

namespace {

// The strike closest to `emPixels` from above, else the largest.
int PickStrike(FT_Face face, double emPixels) {
  int best = -1;
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    const double ppem = face->available_sizes[i].y_ppem / 64.0;
    if (ppem <= 0) continue;
    if (best < 0) {
      best = i;
      continue;
    }
    const double chosen = face->available_sizes[best].y_ppem / 64.0;
    const bool fits = ppem >= emPixels, chosenFits = chosen >= emPixels;
    if ((fits && (!chosenFits || ppem < chosen)) || (!fits && !chosenFits && ppem > chosen)) best = i;
  }
  return best;
}

LONG Place(double v) {
  constexpr double kLimit = std::numeric_limits<LONG>::max() / 2;
  return static_cast<LONG>(std::lround(std::fmax(-kLimit, std::fmin(kLimit, v))));
}

}  // namespace

std::optional<std::vector<ColorGlyphImage>> LayOutColorGlyphs(const FontRequest& request, WStringView text,
                                                               bool glyphIndices, POINTL origin) {
  const double emPixels = request.pointSize * request.dpi / 72.0;
  if (!std::isfinite(emPixels) || emPixels <= 0) return std::nullopt;
  const auto path = FindFontFile(request.file);
  if (!path) return std::nullopt;
  const auto mapped = MappedFile::Open(*path);
  if (!mapped) return std::nullopt;
  UINT index = request.faceIndex;
  if (!request.faceName.empty()) {
    const auto found = FontFace::FindFace(*mapped, request.faceName);
    if (!found) return std::nullopt;
    index = *found;
  }
  const auto face = FontFace::Open(*mapped, index);
  if (!face) return std::nullopt;
  FT_Face ft = face->Face();
  if (FT_IS_SCALABLE(ft) || !FT_HAS_COLOR(ft)) return std::nullopt;
  const int strike = PickStrike(ft, emPixels);
  if (strike < 0 || FT_Select_Size(ft, strike) != 0) return std::nullopt;
  const double scale = emPixels / (ft->available_sizes[strike].y_ppem / 64.0);

  std::vector<ColorGlyphImage> images;
  double pen = origin.x;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t ch = text[i];
    if (!glyphIndices && ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      ch = 0x10000 + ((ch - 0xD800) << 10) + (text[++i] - 0xDC00);
    const FT_UInt glyph = glyphIndices ? ch : FT_Get_Char_Index(ft, ch);
    if (glyph == 0 || FT_Load_Glyph(ft, glyph, FT_LOAD_COLOR) != 0) continue;
    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_BGRA && bitmap.width > 0 && bitmap.rows > 0 &&
        static_cast<unsigned>(std::abs(bitmap.pitch)) >= bitmap.width * 4u) {
      ColorGlyphImage image;
      image.width = static_cast<LONG>(bitmap.width);
      image.height = static_cast<LONG>(bitmap.rows);
      image.bgra.resize(std::size_t{bitmap.width} * bitmap.rows * 4);
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* from = bitmap.pitch >= 0 ? bitmap.buffer + std::size_t{row} * bitmap.pitch
                                                      : bitmap.buffer + std::size_t{bitmap.rows - 1 - row} * -bitmap.pitch;
        std::memcpy(image.bgra.data() + std::size_t{row} * bitmap.width * 4, from, std::size_t{bitmap.width} * 4);
      }
      const double left = pen + slot->bitmap_left * scale, top = origin.y - slot->bitmap_top * scale;
      image.dest = {Place(left), Place(top), Place(left + bitmap.width * scale), Place(top + bitmap.rows * scale)};
      images.push_back(std::move(image));
    }
    pen += slot->advance.x / 64.0 * scale;
  }
  return images;
}

}  // namespace kq::engine
