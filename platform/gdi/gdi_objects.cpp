// Contexts, bitmaps, brushes and pens, and the rectangles and ellipses drawn with them.
#include <algorithm>
#include <cmath>
#include <utility>

#include "gdi_state.h"
#include "win/paint.h"
#include "win/user.h"

namespace kq::gdi {

GdiState& GdiState::Current() { return CurrentMachine().Service<GdiState>(); }

GdiState::~GdiState() {
  for (auto& [handle, object] : objects_) {
    if (auto* bitmap = std::get_if<Bitmap>(&object)) {
      EngUnlockSurface(bitmap->so);
      EngDeleteSurface(bitmap->surface);
    }
  }
}

ULONG_PTR GdiState::Add(Object object) {
  const ULONG_PTR handle = next_ += 4;
  objects_.emplace(handle, std::move(object));
  return handle;
}

Object* GdiState::Find(ULONG_PTR handle) {
  auto it = objects_.find(handle);
  return it == objects_.end() ? nullptr : &it->second;
}

bool GdiState::Selected(ULONG_PTR handle) const {
  return std::any_of(objects_.begin(), objects_.end(), [handle](const auto& entry) {
    const auto* dc = std::get_if<Context>(&entry.second);
    return dc && (dc->bitmap == handle || dc->brush == handle || dc->pen == handle);
  });
}

bool GdiState::BrushColor(ULONG_PTR handle, COLORREF* color) {
  if (handle == kStockBrush || handle == kStockBlackBrush) {
    *color = handle == kStockBrush ? 0xFFFFFF : 0;
    return true;
  }
  const Brush* brush = Find<Brush>(handle);
  if (brush) *color = brush->color;
  return brush != nullptr;
}

RealizedFont* GdiState::GuiFont() {
  if (!guiFont_) {
    // The platform's dialog face at 8 points on the screen's 96 pixels an inch.
    FontRequest request;
    request.file = "DejaVuSans.ttf";
    request.pointSize = 8;
    request.dpi = 96;
    guiFont_ = RealizedFont::Realize(request);
  }
  return guiFont_.get();
}

Target::Target(GdiState& state, const Context& dc, const Target* shared) {
  if (const Bitmap* bitmap = state.Find<Bitmap>(dc.bitmap)) {
    so_ = bitmap->so;
    return;
  }
  if (!dc.window) return;
  if (shared && shared->window_ == dc.window) {
    so_ = shared->so_;
    return;
  }
  window_ = dc.window;
  lock_ = std::unique_lock(window_->mutex);
  // The window's pixels, seen by the engine as a bitmap of the screen's format for as long as this target lives.
  HBITMAP bitmap = EngCreateBitmap(SIZEL{window_->width, window_->height}, window_->width * 4, BMF_32BPP,
                                   BMF_TOPDOWN, window_->pixels.data());
  wrapped_ = reinterpret_cast<HSURF>(bitmap);
  so_ = wrapped_ ? EngLockSurface(wrapped_) : nullptr;
}

Target::~Target() {
  if (!wrapped_) return;
  EngUnlockSurface(so_);
  EngDeleteSurface(wrapped_);
}

void FillPixels(SURFOBJ* so, LONG left, LONG top, LONG right, LONG bottom, COLORREF color) {
  left = std::max<LONG>(left, 0);
  top = std::max<LONG>(top, 0);
  right = std::min<LONG>(right, so->sizlBitmap.cx);
  bottom = std::min<LONG>(bottom, so->sizlBitmap.cy);
  const ULONG value = ScreenValue(color);
  for (LONG y = top; y < bottom; ++y) {
    auto* row = reinterpret_cast<ULONG*>(static_cast<BYTE*>(so->pvScan0) + static_cast<std::ptrdiff_t>(y) * so->lDelta);
    std::fill(row + left, row + std::max(left, right), value);
  }
}

}  // namespace kq::gdi

std::size_t kq::GdiObjectCount(Machine& machine) {
  auto& state = machine.Service<kq::gdi::GdiState>();
  std::lock_guard lock(state.Mutex());
  return state.Count();
}

using kq::gdi::AsHandle;
using kq::gdi::GdiState;
using kq::gdi::HandleValue;

// A window's context draws into the window's pixels; the screen's stands for the headless screen, where nothing
// drawn shows. Each call gives a context of its own, which ReleaseDC gives back once.
HDC GetDC(HWND window) {
  if (window && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::shared_ptr<kq::WindowSurface> surface = window ? kq::WindowSurfaceOf(window) : nullptr;
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  return AsHandle<HDC>(state.Add(kq::gdi::Context{true, GdiState::kStockBitmap, GdiState::kStockBrush,
                                                  GdiState::kStockPen, std::move(surface)}));
}

int ReleaseDC(HWND, HDC dc) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* context = state.Find<kq::gdi::Context>(HandleValue(dc));
  if (!context || !context->screen) return 0;
  state.Remove(HandleValue(dc));
  return 1;
}

HDC CreateCompatibleDC(HDC dc) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  if (dc && !state.Find<kq::gdi::Context>(HandleValue(dc))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return AsHandle<HDC>(
      state.Add(kq::gdi::Context{false, GdiState::kStockBitmap, GdiState::kStockBrush, GdiState::kStockPen}));
}

BOOL DeleteDC(HDC dc) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  if (!state.Find<kq::gdi::Context>(HandleValue(dc))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  state.Remove(HandleValue(dc));
  return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 1 || height < 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HBITMAP engineBitmap = EngCreateBitmap(SIZEL{width, height}, 0, BMF_32BPP, BMF_TOPDOWN, nullptr);
  if (!engineBitmap) return nullptr;
  const auto surface = reinterpret_cast<HSURF>(engineBitmap);
  SURFOBJ* so = EngLockSurface(surface);
  if (!so) {
    EngDeleteSurface(surface);
    return nullptr;
  }
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  return AsHandle<HBITMAP>(state.Add(kq::gdi::Bitmap{surface, so}));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  return AsHandle<HBRUSH>(state.Add(kq::gdi::Brush{color & 0xFFFFFF}));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style != PS_SOLID || width < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  return AsHandle<HPEN>(state.Add(kq::gdi::Pen{style, std::max(width, 1), color & 0xFFFFFF}));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  auto* context = state.Find<kq::gdi::Context>(HandleValue(dc));
  const ULONG_PTR h = HandleValue(object);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ULONG_PTR* slot = nullptr;
  if (h == GdiState::kStockBitmap || state.Find<kq::gdi::Bitmap>(h)) {
    // A bitmap lives in one memory context at a time, and never in a window's or the screen's.
    if (context->screen || (h != GdiState::kStockBitmap && h != context->bitmap && state.Selected(h))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    slot = &context->bitmap;
  } else if (h == GdiState::kStockBrush || h == GdiState::kStockBlackBrush || state.Find<kq::gdi::Brush>(h)) {
    slot = &context->brush;
  } else if (h == GdiState::kStockPen || state.Find<kq::gdi::Pen>(h)) {
    slot = &context->pen;
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return AsHandle<HGDIOBJ>(std::exchange(*slot, h));
}

BOOL DeleteObject(HGDIOBJ object) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const ULONG_PTR h = HandleValue(object);
  kq::gdi::Object* found = state.Find(h);
  if (!found || std::holds_alternative<kq::gdi::Context>(*found)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (state.Selected(h)) return FALSE;
  if (auto* bitmap = std::get_if<kq::gdi::Bitmap>(found)) {
    EngUnlockSurface(bitmap->so);
    EngDeleteSurface(bitmap->surface);
  }
  state.Remove(h);
  return TRUE;
}

namespace {

// A shape inscribed in a rectangle, its edge in the context's pen and its inside in its brush: `draw` gets the
// target's surface, the corners in order and the two colours.
template <class Draw>
BOOL DrawShape(HDC dc, int left, int top, int right, int bottom, Draw draw) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* context = state.Find<kq::gdi::Context>(HandleValue(dc));
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const kq::gdi::Target target(state, *context);
  SURFOBJ* so = target.Surface();
  if (!so) return TRUE;  // the stock bitmap takes nothing
  const auto* pen = state.Find<kq::gdi::Pen>(context->pen);
  COLORREF fill = 0xFFFFFF;
  state.BrushColor(context->brush, &fill);
  const COLORREF edge = pen ? pen->color : 0;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  draw(so, left, top, right, bottom, edge, fill);
  return TRUE;
}

}  // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return DrawShape(dc, left, top, right, bottom,
                   [](SURFOBJ* so, int l, int t, int r, int b, COLORREF edge, COLORREF fill) {
                     kq::gdi::FillPixels(so, l, t, r, b, edge);
                     if (r - l >= 2 && b - t >= 2) kq::gdi::FillPixels(so, l + 1, t + 1, r - 1, b - 1, fill);
                   });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return DrawShape(dc, left, top, right, bottom,
                   [](SURFOBJ* so, int l, int t, int r, int b, COLORREF edge, COLORREF fill) {
                     if (r - l < 1 || b - t < 1) return;
                     // Row by row: the span of the outer ellipse in the pen's colour, then that of the ellipse one
                     // pixel inside it in the brush's, so that the edge is a pixel wide all round.
                     const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
                     const auto span = [&](double a, double bb, int y, LONG& from, LONG& to) {
                       if (a <= 0 || bb <= 0) return false;
                       const double dy = (y + 0.5 - cy) / bb;
                       if (dy * dy >= 1) return false;
                       const double half = a * std::sqrt(1 - dy * dy);
                       from = static_cast<LONG>(std::lround(cx - half));
                       to = static_cast<LONG>(std::lround(cx + half));
                       return to > from;
                     };
                     const double a = (r - l) / 2.0, bb = (b - t) / 2.0;
                     for (int y = t; y < b; ++y) {
                       LONG from = 0, to = 0;
                       if (!span(a, bb, y, from, to)) continue;
                       kq::gdi::FillPixels(so, from, y, to, y + 1, edge);
                       if (span(a - 1, bb - 1, y, from, to)) kq::gdi::FillPixels(so, from, y, to, y + 1, fill);
                     }
                   });
}
