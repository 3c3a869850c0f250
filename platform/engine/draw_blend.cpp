// Averaged stretching and EngAlphaBlend, composited with pixman in 8-bit RGB.
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "blend.h"
#include "blit.h"
#include "clip_object.h"
#include "draw_record.h"

namespace kq::engine {

namespace {

struct ImageDeleter {
  void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using Image = std::unique_ptr<pixman_image_t, ImageDeleter>;

std::uint32_t Argb(ULONG rgb, ULONG alpha) {
  return (alpha << 24) | (ULONG{Red(rgb)} << 16) | (ULONG{Green(rgb)} << 8) | Blue(rgb);
}
ULONG RgbOf(std::uint32_t argb) { return MakeRgb(argb >> 16, argb >> 8, argb); }

// The part of the source rectangle inside the source, as 32-bit pixels made by `pixel(raw)`.
struct SourceImage {
  RECTL area{};
  std::vector<std::uint32_t> bits;
  Image image;
};

template <class Pixel>
bool MakeSource(const Pixels& source, const RECTL& rect, pixman_format_code_t format, Pixel&& pixel,
                SourceImage* out) {
  out->area = RectIntersect(rect, source.Bounds());
  if (RectEmpty(out->area)) return false;
  const LONG w = out->area.right - out->area.left, h = out->area.bottom - out->area.top;
  out->bits.resize(static_cast<std::size_t>(w) * h);
  std::uint32_t* p = out->bits.data();
  for (LONG y = out->area.top; y < out->area.bottom; ++y)
    for (LONG x = out->area.left; x < out->area.right; ++x) *p++ = pixel(source.Get(x, y));
  out->image.reset(pixman_image_create_bits(format, w, h, out->bits.data(), w * 4));
  return out->image != nullptr;
}

// The inverse mapping pixman samples through: from a tile's pixels to the source image's, for a stretch of
// `from` onto `to` (inverted rectangles mirror).
void SetTransform(pixman_image_t* image, const RECTL& to, const RECTL& from, const RECTL& imageArea,
                  const RECTL& tile) {
  bool toFlipX, toFlipY, fromFlipX, fromFlipY;
  const RECTL dst = Ordered(to, &toFlipX, &toFlipY), src = Ordered(from, &fromFlipX, &fromFlipY);
  const double kx = double(src.right - src.left) / (dst.right - dst.left);
  const double ky = double(src.bottom - src.top) / (dst.bottom - dst.top);
  pixman_f_transform f;
  pixman_f_transform_init_identity(&f);
  const double ox = (tile.left - dst.left) * kx, oy = (tile.top - dst.top) * ky;
  const bool flipX = toFlipX != fromFlipX, flipY = toFlipY != fromFlipY;
  f.m[0][0] = flipX ? -kx : kx;
  f.m[0][2] = (flipX ? (src.right - src.left) - ox : ox) - (imageArea.left - src.left);
  f.m[1][1] = flipY ? -ky : ky;
  f.m[1][2] = (flipY ? (src.bottom - src.top) - oy : oy) - (imageArea.top - src.top);
  pixman_transform t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(image, &t);
  pixman_image_set_repeat(image, PIXMAN_REPEAT_PAD);
}

// Composites tile by tile into 8-bit RGB copies of the target and writes the region's pixels back.
template <class Composite>
bool ThroughTiles(const Target& target, const Region& region, Composite&& composite) {
  const Pixels& px = target.pixels;
  std::vector<std::uint32_t> bits;
  return ForEachTile(region.Extents(), [&](const RECTL& tile) {
    Region part = region;
    part.Intersect(tile);
    if (part.Empty()) return true;
    const LONG w = tile.right - tile.left, h = tile.bottom - tile.top;
    bits.assign(static_cast<std::size_t>(w) * h, 0);
    for (const RECTL& r : part.Rects())
      for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x)
          bits[static_cast<std::size_t>(y - tile.top) * w + (x - tile.left)] = Argb(target.colors.ToRgb(px.Get(x, y)), 0xFF);
    Image image(pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, bits.data(), w * 4));
    if (!image) return false;
    composite(image.get(), tile);
    // A 32-bit target keeps its top byte; the others take the nearest value of their format.
    const ULONG keep = px.Bits() == 32 && !target.colors.Indexed() ? 0xFF000000 : 0;
    for (const RECTL& r : part.Rects())
      for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) {
          const ULONG rgb = RgbOf(bits[static_cast<std::size_t>(y - tile.top) * w + (x - tile.left)]);
          px.Set(x, y, (target.colors.FromRgb(rgb) & ~keep) | (px.Get(x, y) & keep));
        }
    return true;
  });
}

}  // namespace

bool Resample(const Target& target, const Region& region, const Pixels& source, const Translator& xlate,
              const RECTL& to, const RECTL& from) {
  SourceImage src;
  const auto pixel = [&](ULONG raw) { return Argb(target.colors.ToRgb(xlate(raw)), 0xFF); };
  if (!MakeSource(source, Ordered(from), PIXMAN_x8r8g8b8, pixel, &src)) return true;
  const RECTL dst = Ordered(to), s = Ordered(from);
  const double kx = double(s.right - s.left) / (dst.right - dst.left);
  const double ky = double(s.bottom - s.top) / (dst.bottom - dst.top);
  if (kx > 1 || ky > 1) {
    // Shrinking averages the source pixels each target pixel covers.
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(std::max(kx, 1.0)), pixman_double_to_fixed(std::max(ky, 1.0)), PIXMAN_KERNEL_BOX,
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 2, 2);
    if (!params) return false;
    pixman_image_set_filter(src.image.get(), PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    std::free(params);
  } else {
    pixman_image_set_filter(src.image.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
  }
  return ThroughTiles(target, region, [&](pixman_image_t* tile, const RECTL& at) {
    SetTransform(src.image.get(), to, from, src.area, at);
    pixman_image_composite32(PIXMAN_OP_SRC, src.image.get(), nullptr, tile, 0, 0, 0, 0, 0, 0,
                             at.right - at.left, at.bottom - at.top);
  });
}

}  // namespace kq::engine

using namespace kq::engine;

BOOL EngAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj) {
  RecordCall call("EngAlphaBlend");
  if (!prclDest || !prclSrc || !pBlendObj) return call.Fail(ERROR_INVALID_PARAMETER);
  const RECTL dst = Ordered(*prclDest);
  call.Bounds(dst);
  const auto target = TargetOf(psoDest);
  const auto source = SourceOf(psoSrc);
  const auto xlate = Translator::Of(pxlo);
  const BLENDFUNCTION blend = pBlendObj->BlendFunction;
  if (!target || !source || !xlate || blend.BlendOp != AC_SRC_OVER) return call.Fail(ERROR_INVALID_PARAMETER);
  if (RectEmpty(dst) || RectEmpty(Ordered(*prclSrc))) return call.Result(TRUE);
  auto region = VisibleRegion(pco, RectIntersect(dst, target->pixels.Bounds()));
  if (!region) return call.Result(FALSE);
  if (region->Empty() || blend.SourceConstantAlpha == 0) return call.Result(TRUE);

  // Premultiplied source colours: a per-pixel alpha source already is; others are opaque.
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) && source->Bits() == 32;
  const auto pixel = [&](ULONG raw) {
    const ULONG alpha = perPixel ? raw >> 24 : 0xFF;
    const ULONG rgb = target->colors.ToRgb(xlate->operator()(raw));
    return Argb(MakeRgb(std::min<ULONG>(Red(rgb), alpha), std::min<ULONG>(Green(rgb), alpha),
                        std::min<ULONG>(Blue(rgb), alpha)),
                alpha);
  };
  SourceImage src;
  if (!MakeSource(*source, Ordered(*prclSrc), PIXMAN_a8r8g8b8, pixel, &src)) return call.Result(TRUE);
  pixman_image_set_filter(src.image.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
  const pixman_color_t constant{0, 0, 0, static_cast<std::uint16_t>(blend.SourceConstantAlpha * 257)};
  Image alpha(pixman_image_create_solid_fill(&constant));
  if (!alpha) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
  return call.Result(ThroughTiles(*target, *region, [&](pixman_image_t* tile, const RECTL& at) {
    SetTransform(src.image.get(), *prclDest, *prclSrc, src.area, at);
    pixman_image_composite32(PIXMAN_OP_OVER, src.image.get(), alpha.get(), tile, 0, 0, 0, 0, 0, 0,
                             at.right - at.left, at.bottom - at.top);
  }));
}
