// Stock objects, device capabilities, blits between contexts, regions and frames.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "gdi_state.h"
#include "win/enginebrush.h"
#include "win/paint.h"
#include "win/user.h"

namespace {

using kq::gdi::AsHandle;
using kq::gdi::GdiState;
using kq::gdi::HandleValue;

// Whether a ternary raster operation reads the source or the pattern.
bool ReadsSource(BYTE rop3) { return ((rop3 >> 2) & 0x33) != (rop3 & 0x33); }
bool ReadsPattern(BYTE rop3) { return ((rop3 >> 4) & 0x0F) != (rop3 & 0x0F); }

int RegionKind(const kq::gdi::Region& region) {
  const int count = pixman_region32_n_rects(region.Get());
  return count == 0 ? NULLREGION : count == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

HGDIOBJ GetStockObject(int object) {
  switch (object) {
    case WHITE_BRUSH: return AsHandle<HGDIOBJ>(GdiState::kStockBrush);
    case BLACK_BRUSH: return AsHandle<HGDIOBJ>(GdiState::kStockBlackBrush);
    case BLACK_PEN: return AsHandle<HGDIOBJ>(GdiState::kStockPen);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

int GetDeviceCaps(HDC dc, int index) {
  {
    auto& state = GdiState::Current();
    std::lock_guard lock(state.Mutex());
    if (!state.Find<kq::gdi::Context>(HandleValue(dc))) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
  }
  switch (index) {
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    case BITSPIXEL: return kScreenBitsPerPixel;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int x1, int y1, DWORD rop) {
  const BYTE rop3 = static_cast<BYTE>(rop >> 16);
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* to = state.Find<kq::gdi::Context>(HandleValue(dest));
  const auto* from = source ? state.Find<kq::gdi::Context>(HandleValue(source)) : nullptr;
  if (!to || (source && !from)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (ReadsSource(rop3) && !from) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (width <= 0 || height <= 0) return TRUE;
  const kq::gdi::Target target(state, *to);
  SURFOBJ* trg = target.Surface();
  if (!trg) return TRUE;  // the screen and the stock bitmap take nothing

  // Only what lies on the target, and on the source where one is read, is painted; worked out in 64 bits, since
  // a position near the end of the int range and a width would overflow.
  std::int64_t left = x, top = y, right = std::int64_t{x} + width, bottom = std::int64_t{y} + height;
  std::int64_t sx = x1, sy = y1;  // the source pixel painted at (left, top)
  std::optional<kq::gdi::Target> read;
  SURFOBJ* src = nullptr;
  if (ReadsSource(rop3)) {
    read.emplace(state, *from, &target);
    src = read->Surface();
    if (!src) return TRUE;
  }
  const auto clipLow = [](std::int64_t& edge, std::int64_t& other, std::int64_t low) {
    if (edge < low) {
      other += low - edge;
      edge = low;
    }
  };
  clipLow(left, sx, 0);
  clipLow(top, sy, 0);
  right = std::min<std::int64_t>(right, trg->sizlBitmap.cx);
  bottom = std::min<std::int64_t>(bottom, trg->sizlBitmap.cy);
  if (src) {
    clipLow(sx, left, 0);
    clipLow(sy, top, 0);
    right = std::min(right, left + (src->sizlBitmap.cx - sx));
    bottom = std::min(bottom, top + (src->sizlBitmap.cy - sy));
  }
  if (left >= right || top >= bottom) return TRUE;
  RECTL rect{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
  POINTL at{static_cast<LONG>(sx), static_cast<LONG>(sy)};
  COLORREF color = 0xFFFFFF;
  state.BrushColor(to->brush, &color);
  const auto brush = kq::BrushObject::Solid(kq::gdi::ScreenValue(color));
  const auto identity = kq::XlateObject::Identity();
  POINTL brushOrigin{0, 0};
  return EngBitBlt(trg, src, nullptr, nullptr, src ? identity->Object() : nullptr, &rect, src ? &at : nullptr,
                   nullptr, ReadsPattern(rop3) ? brush->Object() : nullptr, &brushOrigin,
                   static_cast<ROP4>(rop3) | (static_cast<ROP4>(rop3) << 8));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  kq::gdi::Region region;
  pixman_region32_init_rect(region.Get(), left, top, static_cast<unsigned>(std::int64_t{right} - left),
                            static_cast<unsigned>(std::int64_t{bottom} - top));
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  return AsHandle<HRGN>(state.Add(std::move(region)));
}

int CombineRgn(HRGN dest, HRGN first, HRGN second, int mode) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  auto* out = state.Find<kq::gdi::Region>(HandleValue(dest));
  const auto* a = state.Find<kq::gdi::Region>(HandleValue(first));
  const auto* b = mode == RGN_COPY ? a : state.Find<kq::gdi::Region>(HandleValue(second));
  if (!out || !a || !b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  // Worked on a copy, since the destination may be one of the two.
  kq::gdi::Region result;
  switch (mode) {
    case RGN_AND: pixman_region32_intersect(result.Get(), a->Get(), b->Get()); break;
    case RGN_OR: pixman_region32_union(result.Get(), a->Get(), b->Get()); break;
    case RGN_DIFF: pixman_region32_subtract(result.Get(), a->Get(), b->Get()); break;
    case RGN_COPY: pixman_region32_copy(result.Get(), a->Get()); break;
    case RGN_XOR: {
      kq::gdi::Region both, either;
      pixman_region32_intersect(both.Get(), a->Get(), b->Get());
      pixman_region32_union(either.Get(), a->Get(), b->Get());
      pixman_region32_subtract(result.Get(), either.Get(), both.Get());
      break;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return RGN_ERROR;
  }
  *out = result;
  return RegionKind(*out);
}

int GetRgnBox(HRGN region, RECT* box) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* found = state.Find<kq::gdi::Region>(HandleValue(region));
  if (!found || !box) {
    SetLastError(found ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  const pixman_box32_t* extents = pixman_region32_extents(found->Get());
  *box = RegionKind(*found) == NULLREGION ? RECT{0, 0, 0, 0}
                                          : RECT{extents->x1, extents->y1, extents->x2, extents->y2};
  return RegionKind(*found);
}

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* context = state.Find<kq::gdi::Context>(HandleValue(dc));
  const auto* found = state.Find<kq::gdi::Region>(HandleValue(region));
  COLORREF color = 0;
  if (!context || !found || !state.BrushColor(HandleValue(brush), &color)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const kq::gdi::Target target(state, *context);
  if (SURFOBJ* so = target.Surface()) {
    int count = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(found->Get(), &count);
    for (int i = 0; i < count; ++i) kq::gdi::FillPixels(so, boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2, color);
  }
  return TRUE;
}

namespace {

// A rectangle painted with a brush: `paint` gets the target's surface, the rectangle (not empty) and the colour.
template <class Paint>
BOOL PaintRect(HDC dc, const RECT* rect, HBRUSH brush, Paint paint) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* context = state.Find<kq::gdi::Context>(HandleValue(dc));
  COLORREF color = 0;
  if (!context || !state.BrushColor(HandleValue(brush), &color)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RECT r = *rect;
  const kq::gdi::Target target(state, *context);
  if (SURFOBJ* so = target.Surface(); so && r.right > r.left && r.bottom > r.top) paint(so, r, color);
  return TRUE;
}

}  // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  return PaintRect(dc, rect, brush, [](SURFOBJ* so, const RECT& r, COLORREF color) {
    kq::gdi::FillPixels(so, r.left, r.top, r.right, r.bottom, color);
  });
}

BOOL FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  return PaintRect(dc, rect, brush, [](SURFOBJ* so, const RECT& r, COLORREF color) {
    kq::gdi::FillPixels(so, r.left, r.top, r.right, r.top + 1, color);
    kq::gdi::FillPixels(so, r.left, r.bottom - 1, r.right, r.bottom, color);
    kq::gdi::FillPixels(so, r.left, r.top, r.left + 1, r.bottom, color);
    kq::gdi::FillPixels(so, r.right - 1, r.top, r.right, r.bottom, color);
  });
}
