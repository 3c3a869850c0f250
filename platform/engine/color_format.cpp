#include "color_format.h"

#include <bit>

namespace kq::engine {

namespace {

ULONG Channel8(ULONG pixel, ULONG mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  const ULONGLONG v = (pixel & mask) >> shift;
  if (width >= 8) return static_cast<ULONG>(v >> (width - 8));
  const ULONGLONG max = (1ull << width) - 1;
  return static_cast<ULONG>((v * 255 + max / 2) / max);
}

ULONG FromChannel8(ULONG c, ULONG mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  const ULONGLONG max = width >= 32 ? 0xFFFFFFFFull : (1ull << width) - 1;
  return static_cast<ULONG>(((c * max + 127) / 255) << shift) & mask;
}

std::vector<ULONG> StandardSixteen() {
  return {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
          0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
}

std::vector<ULONG> CubeAndGreys() {
  std::vector<ULONG> colors;
  for (ULONG r = 0; r < 6; ++r)
    for (ULONG g = 0; g < 6; ++g)
      for (ULONG b = 0; b < 6; ++b) colors.push_back(MakeRgb(r * 51, g * 51, b * 51));
  for (ULONG i = 0; colors.size() < 256; ++i) colors.push_back(MakeRgb(i * 255 / 39, i * 255 / 39, i * 255 / 39));
  return colors;
}

}  // namespace

ColorFormat ColorFormat::Of(const PaletteInfo& palette) {
  ColorFormat f;
  f.palette_ = palette;
  if (f.palette_.mode == PAL_INDEXED && f.palette_.colors.empty()) f.palette_.colors.push_back(0);
  return f;
}

ColorFormat ColorFormat::Default(ULONG bitmapFormat) {
  PaletteInfo p;
  switch (bitmapFormat) {
    case BMF_1BPP: p.mode = PAL_INDEXED; p.colors = {0x000000, 0xFFFFFF}; break;
    case BMF_4BPP: p.mode = PAL_INDEXED; p.colors = StandardSixteen(); break;
    case BMF_8BPP: p.mode = PAL_INDEXED; p.colors = CubeAndGreys(); break;
    case BMF_16BPP:
      p.mode = PAL_BITFIELDS;
      p.red = 0x7C00;
      p.green = 0x03E0;
      p.blue = 0x001F;
      break;
    default: p.mode = PAL_RGB; break;
  }
  return Of(p);
}

ColorFormat ColorFormat::Rgb() {
  PaletteInfo p;
  p.mode = PAL_RGB;
  return Of(p);
}

ULONG ColorFormat::ToRgb(ULONG pixel) const {
  switch (palette_.mode) {
    case PAL_INDEXED: return pixel < palette_.colors.size() ? palette_.colors[pixel] & 0xFFFFFF : 0;
    case PAL_BITFIELDS:
      return MakeRgb(Channel8(pixel, palette_.red), Channel8(pixel, palette_.green), Channel8(pixel, palette_.blue));
    case PAL_BGR: return MakeRgb(pixel >> 16, pixel >> 8, pixel);
    default: return pixel & 0xFFFFFF;
  }
}

ULONG ColorFormat::FromRgb(ULONG rgb) const {
  switch (palette_.mode) {
    case PAL_INDEXED: {
      ULONG best = 0;
      LONG bestDistance = -1;
      for (ULONG i = 0; i < palette_.colors.size(); ++i) {
        const ULONG c = palette_.colors[i];
        const LONG dr = LONG{Red(c)} - Red(rgb), dg = LONG{Green(c)} - Green(rgb), db = LONG{Blue(c)} - Blue(rgb);
        const LONG distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
          best = i;
          bestDistance = distance;
          if (distance == 0) break;
        }
      }
      return best;
    }
    case PAL_BITFIELDS:
      return FromChannel8(Red(rgb), palette_.red) | FromChannel8(Green(rgb), palette_.green) |
             FromChannel8(Blue(rgb), palette_.blue);
    case PAL_BGR: return (ULONG{Red(rgb)} << 16) | (ULONG{Green(rgb)} << 8) | Blue(rgb);
    default: return rgb & 0xFFFFFF;
  }
}

bool ColorFormat::SameAs(const ColorFormat& other) const {
  const PaletteInfo& a = palette_;
  const PaletteInfo& b = other.palette_;
  if (a.mode != b.mode) return false;
  if (a.mode == PAL_INDEXED) return a.colors == b.colors;
  if (a.mode == PAL_BITFIELDS) return a.red == b.red && a.green == b.green && a.blue == b.blue;
  return true;
}

}  // namespace kq::engine
