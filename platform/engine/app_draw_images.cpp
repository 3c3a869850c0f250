// A program's bitmaps and gradients as the engine hands them to the driver: a bitmap surface of the program's
// pixels with a translation from its palette to the device's (DrvBitBlt, DrvStretchBlt, DrvStretchBltROP,
// DrvAlphaBlend, DrvTransparentBlt), JPEG files passed through, and DrvGradientFill.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "app_drawing.h"
#include "pixels.h"
#include "win/enginedraw.h"

namespace kq {

using appgdi::DrawCall;

namespace {

// Far beyond any program's gradient; keeps the copies of a call small enough.
constexpr std::size_t kMaxMesh = 1 << 24;

bool Invalid() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

ULONG FormatOf(ULONG bits) {
  switch (bits) {
    case 1: return BMF_1BPP;
    case 4: return BMF_4BPP;
    case 8: return BMF_8BPP;
    case 16: return BMF_16BPP;
    case 24: return BMF_24BPP;
    case 32: return BMF_32BPP;
    default: return 0;
  }
}

// The program's bitmap as an engine bitmap with its colours, for one call.
class SourceBitmap {
 public:
  // Null with the last error set: ERROR_INVALID_PARAMETER for a malformed bitmap, the engine's error when the
  // bitmap cannot be made.
  static std::unique_ptr<SourceBitmap> Make(const BitmapBits& bitmap) {
    const ULONG format = FormatOf(bitmap.bitsPerPixel);
    if (format == 0 || bitmap.width <= 0 || bitmap.height <= 0 || bitmap.stride < 0) return Fail();
    const ULONGLONG rowBytes = (ULONGLONG{static_cast<ULONG>(bitmap.width)} * bitmap.bitsPerPixel + 7) / 8;
    const ULONGLONG stride = bitmap.stride
                                 ? static_cast<ULONGLONG>(bitmap.stride)
                                 : (ULONGLONG{static_cast<ULONG>(bitmap.width)} * bitmap.bitsPerPixel + 31) / 32 * 4;
    // The last row must end within the bits: (height - 1) strides and one row.
    const ULONGLONG size = bitmap.bits.size();
    if (stride < rowBytes || rowBytes > size || static_cast<ULONGLONG>(bitmap.height - 1) > (size - rowBytes) / stride)
      return Fail();
    PaletteInfo palette;
    if (bitmap.bitsPerPixel <= 8) {
      if (bitmap.palette.empty() || bitmap.palette.size() > (std::size_t{1} << bitmap.bitsPerPixel)) return Fail();
      palette.mode = PAL_INDEXED;
      for (COLORREF c : bitmap.palette) palette.colors.push_back(c & 0xFFFFFF);
    } else if (bitmap.bitsPerPixel == 16) {
      const bool given = bitmap.masks[0] || bitmap.masks[1] || bitmap.masks[2];
      palette.mode = PAL_BITFIELDS;
      palette.red = given ? bitmap.masks[0] : 0x7C00;
      palette.green = given ? bitmap.masks[1] : 0x03E0;
      palette.blue = given ? bitmap.masks[2] : 0x001F;
      // Each mask a run of bits within the pixel's 16, none overlapping another.
      for (ULONG m : {palette.red, palette.green, palette.blue})
        if (m == 0 || m > 0xFFFF || ((m >> std::countr_zero(m)) & ((m >> std::countr_zero(m)) + 1)) != 0) return Fail();
      if ((palette.red & palette.green) || (palette.red & palette.blue) || (palette.green & palette.blue)) return Fail();
    } else {
      palette.mode = PAL_BGR;  // blue, green, red in memory: the value is 0x00RRGGBB
    }

    auto source = std::unique_ptr<SourceBitmap>(new SourceBitmap);
    source->palette_ = palette;
    HBITMAP hbm = EngCreateBitmap(SIZEL{bitmap.width, bitmap.height}, 0, format, BMF_TOPDOWN, nullptr);
    if (!hbm) return nullptr;
    source->hsurf_ = reinterpret_cast<HSURF>(hbm);
    source->so_ = EngLockSurface(source->hsurf_);
    if (!source->so_) return nullptr;
    for (LONG y = 0; y < bitmap.height; ++y) {
      BYTE* row = static_cast<BYTE*>(source->so_->pvScan0) + static_cast<std::ptrdiff_t>(y) * source->so_->lDelta;
      std::memcpy(row, bitmap.bits.data() + stride * static_cast<ULONGLONG>(y), rowBytes);
    }
    const HPALETTE hpal = EngCreatePalette(palette.mode, static_cast<ULONG>(palette.colors.size()),
                                           palette.colors.empty() ? nullptr : palette.colors.data(), 0, 0, 0);
    if (hpal) {
      SetSurfacePalette(source->hsurf_, hpal);
      EngDeletePalette(hpal);
    }
    return source;
  }

  ~SourceBitmap() {
    if (so_) EngUnlockSurface(so_);
    if (hsurf_) EngDeleteSurface(hsurf_);
  }

  SURFOBJ* Surface() const { return so_; }
  const PaletteInfo& Palette() const { return palette_; }
  RECTL All() const { return RECTL{0, 0, so_->sizlBitmap.cx, so_->sizlBitmap.cy}; }

  // The source rectangle of a call: the whole bitmap, or a well-ordered rectangle within it.
  bool Area(const std::optional<RECTL>& source, RECTL* area) const {
    *area = source.value_or(All());
    const RECTL all = All();
    if (area->left < 0 || area->top < 0 || area->right > all.right || area->bottom > all.bottom ||
        area->left >= area->right || area->top >= area->bottom)
      return Invalid();
    return true;
  }

 private:
  SourceBitmap() = default;
  static std::unique_ptr<SourceBitmap> Fail() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  HSURF hsurf_ = nullptr;
  SURFOBJ* so_ = nullptr;
  PaletteInfo palette_;
};

// In 64 bits: a destination may span the whole coordinate range.
LONGLONG Width(const RECTL& r) { return LONGLONG{r.right} - r.left; }
LONGLONG Height(const RECTL& r) { return LONGLONG{r.bottom} - r.top; }

}  // namespace

bool DeviceContext::DrawBitmap(const BitmapBits& bitmap, const RECTL& dest, std::optional<RECTL> source, DWORD rop) {
  if (!CanDraw()) return false;
  const BYTE rop3 = static_cast<BYTE>(rop >> 16);
  if (engine::RopUsesPattern(rop3)) return Invalid();
  if (!appgdi::InDeviceSpace(dest)) return false;
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  auto src = SourceBitmap::Make(bitmap);
  if (!src) return false;
  RECTL from;
  if (!src->Area(source, &from)) return false;
  RECTL to = dest;
  const RECTL bounds = appgdi::OrderedRect(to);
  if (appgdi::EmptyRect(bounds)) return true;
  CLIPOBJ* clip = call.Clip(bounds);
  if (!clip) return true;
  XLATEOBJ* xlate = call.Xlate(src->Palette());
  const bool unscaled =
      to.left < to.right && to.top < to.bottom && Width(to) == Width(from) && Height(to) == Height(from);
  DrawCall::Begin();
  if (unscaled) {
    POINTL at{from.left, from.top};
    return DrawCall::Done(DdiBitBlt(call.Surface(), src->Surface(), nullptr, clip, xlate, &to, &at, nullptr, nullptr,
                                    nullptr, ROP4{rop3} | (ROP4{rop3} << 8)));
  }
  POINTL halftone{0, 0};
  if (rop3 == 0xCC) {
    return DrawCall::Done(DdiStretchBlt(call.Surface(), src->Surface(), nullptr, clip, xlate, nullptr, &halftone, &to,
                                        &from, nullptr, COLORONCOLOR));
  }
  return DrawCall::Done(DdiStretchBltROP(call.Surface(), src->Surface(), nullptr, clip, xlate, nullptr, &halftone, &to,
                                         &from, nullptr, COLORONCOLOR, nullptr, DWORD{rop3} | (DWORD{rop3} << 8)));
}

bool DeviceContext::DrawJpeg(std::span<const BYTE> jpeg, SIZEL size, const RECTL& dest) {
  if (!CanDraw()) return false;
  // A JPEG file starts with its start-of-image marker.
  if (size.cx <= 0 || size.cy <= 0 || jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 ||
      jpeg.size() > std::numeric_limits<ULONG>::max() || !appgdi::InDeviceSpace(dest))
    return Invalid();
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  RECTL to = dest;
  const bool unscaled = to.left < to.right && to.top < to.bottom && Width(to) == size.cx && Height(to) == size.cy;
  const FLONG hook = unscaled ? HOOK_BITBLT : HOOK_STRETCHBLT;
  if (!(device_->DevInfo().flGraphicsCaps2 & GCAPS2_JPEGSRC) || !(call.Hooks() & hook)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  const RECTL bounds = appgdi::OrderedRect(to);
  if (appgdi::EmptyRect(bounds)) return true;
  CLIPOBJ* clip = call.Clip(bounds);
  if (!clip) return true;

  // The file is the source's bits; the driver reads them, nothing else of the surface.
  std::vector<BYTE> file(jpeg.begin(), jpeg.end());
  SURFOBJ source{};
  source.sizlBitmap = size;
  source.cjBits = static_cast<ULONG>(file.size());
  source.pvBits = source.pvScan0 = file.data();
  source.iBitmapFormat = BMF_JPEG;
  source.iType = STYPE_BITMAP;
  source.fjBitmap = BMF_TOPDOWN;
  auto identity = XlateObject::Identity();
  RECTL from{0, 0, size.cx, size.cy};
  DrawCall::Begin();
  if (unscaled) {
    POINTL at{0, 0};
    return DrawCall::Done(DdiBitBlt(call.Surface(), &source, nullptr, clip, identity->Object(), &to, &at, nullptr,
                                    nullptr, nullptr, 0xCCCC));
  }
  POINTL halftone{0, 0};
  return DrawCall::Done(DdiStretchBlt(call.Surface(), &source, nullptr, clip, identity->Object(), nullptr, &halftone,
                                      &to, &from, nullptr, COLORONCOLOR));
}

bool DeviceContext::AlphaBlend(const BitmapBits& bitmap, const RECTL& dest, std::optional<RECTL> source,
                               BLENDFUNCTION blend) {
  if (!CanDraw()) return false;
  if (blend.BlendOp != AC_SRC_OVER || blend.BlendFlags != 0 || (blend.AlphaFormat & ~AC_SRC_ALPHA) != 0 ||
      ((blend.AlphaFormat & AC_SRC_ALPHA) && bitmap.bitsPerPixel != 32) || dest.left > dest.right ||
      dest.top > dest.bottom || !appgdi::InDeviceSpace(dest))
    return Invalid();
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  auto src = SourceBitmap::Make(bitmap);
  if (!src) return false;
  RECTL from;
  if (!src->Area(source, &from)) return false;
  RECTL to = dest;
  if (appgdi::EmptyRect(to)) return true;
  CLIPOBJ* clip = call.Clip(to);
  if (!clip) return true;
  BLENDOBJ blendObject{blend};
  DrawCall::Begin();
  return DrawCall::Done(
      DdiAlphaBlend(call.Surface(), src->Surface(), clip, call.Xlate(src->Palette()), &to, &from, &blendObject));
}

bool DeviceContext::TransparentBlt(const BitmapBits& bitmap, const RECTL& dest, std::optional<RECTL> source,
                                   COLORREF transparent) {
  if (!CanDraw()) return false;
  if (dest.left > dest.right || dest.top > dest.bottom || !appgdi::InDeviceSpace(dest)) return Invalid();
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  auto src = SourceBitmap::Make(bitmap);
  if (!src) return false;
  RECTL from;
  if (!src->Area(source, &from)) return false;
  RECTL to = dest;
  if (appgdi::EmptyRect(to)) return true;
  CLIPOBJ* clip = call.Clip(to);
  if (!clip) return true;
  // The colour key is a pixel value of the bitmap: its palette's nearest entry, or the colour in its own order.
  const ULONG key = engine::ColorFormat::Of(src->Palette()).FromRgb(transparent & 0xFFFFFF);
  DrawCall::Begin();
  return DrawCall::Done(
      DdiTransparentBlt(call.Surface(), src->Surface(), clip, call.Xlate(src->Palette()), &to, &from, key, 0));
}

bool DeviceContext::PlgBlt(const BitmapBits& bitmap, const std::array<POINTL, 3>& corners, std::optional<RECTL> source) {
  if (!CanDraw()) return false;
  // The corners go to the driver in 28.4 fixed point.
  constexpr LONG kLimit = (1 << 26) - 1;
  for (const POINTL& p : corners)
    if (p.x < -kLimit || p.x > kLimit || p.y < -kLimit || p.y > kLimit) return Invalid();
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  auto src = SourceBitmap::Make(bitmap);
  if (!src) return false;
  RECTL from;
  if (!src->Area(source, &from)) return false;
  const POINTL d{corners[1].x + corners[2].x - corners[0].x, corners[1].y + corners[2].y - corners[0].y};
  RECTL bounds{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (const POINTL& p : {corners[1], corners[2], d}) {
    bounds.left = std::min(bounds.left, p.x);
    bounds.top = std::min(bounds.top, p.y);
    bounds.right = std::max(bounds.right, p.x);
    bounds.bottom = std::max(bounds.bottom, p.y);
  }
  if (appgdi::EmptyRect(bounds)) return true;
  CLIPOBJ* clip = call.Clip(bounds);
  if (!clip) return true;
  POINTFIX fixed[3];
  for (int i = 0; i < 3; ++i) fixed[i] = POINTFIX{corners[i].x * 16, corners[i].y * 16};
  POINTL halftone{0, 0};
  DrawCall::Begin();
  return DrawCall::Done(DdiPlgBlt(call.Surface(), src->Surface(), nullptr, clip, call.Xlate(src->Palette()), nullptr,
                                  &halftone, fixed, &from, nullptr, COLORONCOLOR));
}

bool DeviceContext::GradientFill(std::span<const TRIVERTEX> vertices, std::span<const GRADIENT_RECT> rects,
                                 bool vertical) {
  return Gradient(vertices, rects.data(), rects.size(), vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

bool DeviceContext::GradientFill(std::span<const TRIVERTEX> vertices, std::span<const GRADIENT_TRIANGLE> triangles) {
  return Gradient(vertices, triangles.data(), triangles.size(), GRADIENT_FILL_TRIANGLE);
}

bool DeviceContext::Gradient(std::span<const TRIVERTEX> vertices, const void* mesh, std::size_t count, ULONG mode) {
  if (!CanDraw()) return false;
  if (vertices.empty() || count == 0 || vertices.size() > kMaxMesh || count > kMaxMesh) return Invalid();
  // Every corner or vertex a mesh element names must be one of the vertices.
  const std::size_t n = vertices.size();
  const bool triangles = mode == GRADIENT_FILL_TRIANGLE;
  const std::size_t meshBytes = count * (triangles ? sizeof(GRADIENT_TRIANGLE) : sizeof(GRADIENT_RECT));
  std::vector<ULONG> indices(meshBytes / sizeof(ULONG));
  std::memcpy(indices.data(), mesh, meshBytes);
  if (std::any_of(indices.begin(), indices.end(), [n](ULONG i) { return i >= n; })) return Invalid();
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  RECTL extents{vertices[0].x, vertices[0].y, vertices[0].x, vertices[0].y};
  for (const TRIVERTEX& v : vertices) {
    extents.left = std::min(extents.left, v.x);
    extents.top = std::min(extents.top, v.y);
    extents.right = std::max(extents.right, v.x);
    extents.bottom = std::max(extents.bottom, v.y);
  }
  // A flat mesh covers nothing.
  if (appgdi::EmptyRect(extents)) return true;
  // Triangles may touch the pixels of their last row and column.
  CLIPOBJ* clip = call.Clip(triangles ? appgdi::Grow(extents, 1) : extents);
  if (!clip) return true;
  std::vector<TRIVERTEX> points(vertices.begin(), vertices.end());
  PaletteInfo rgb;
  rgb.mode = PAL_RGB;
  POINTL dither{0, 0};
  DrawCall::Begin();
  return DrawCall::Done(DdiGradientFill(call.Surface(), clip, call.Xlate(rgb), points.data(),
                                        static_cast<ULONG>(points.size()), indices.data(), static_cast<ULONG>(count),
                                        &extents, &dither, mode));
}

}  // namespace kq
