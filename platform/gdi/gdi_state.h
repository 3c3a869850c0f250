// The user-mode graphics objects of one machine: contexts, bitmaps (engine bitmaps of the screen's format), brushes,
// pens and regions, by handle.
#pragma once

#include <pixman.h>

#include <map>
#include <memory>
#include <mutex>
#include <variant>

#include "win/enginefont.h"
#include "win/machine.h"
#include "win/winddi.h"
#include "win/window_surface.h"
#include "win/wingdi.h"

namespace kq::gdi {

struct Bitmap {
  HSURF surface = nullptr;
  SURFOBJ* so = nullptr;  // locked while the handle lives
};
struct Brush {
  COLORREF color = 0;
};
struct Pen {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};
struct Context {
  bool screen = false;  // a window's or the screen's context (GetDC), not a memory one
  ULONG_PTR bitmap = 0;  // 0: the 1 x 1 stock bitmap
  ULONG_PTR brush = 0;   // 0: the white stock brush
  ULONG_PTR pen = 0;     // 0: the black stock pen
  std::shared_ptr<WindowSurface> window;  // a window's context: what it draws into
};

// Pixels of a region (pixman's banded rectangles).
class Region {
 public:
  Region() { pixman_region32_init(&region_); }
  Region(const Region& other) : Region() { pixman_region32_copy(&region_, &other.region_); }
  Region& operator=(const Region& other) {
    pixman_region32_copy(&region_, &other.region_);
    return *this;
  }
  ~Region() { pixman_region32_fini(&region_); }
  pixman_region32_t* Get() { return &region_; }
  const pixman_region32_t* Get() const { return &region_; }

 private:
  pixman_region32_t region_;
};

using Object = std::variant<Context, Bitmap, Brush, Pen, Region>;

class GdiState {
 public:
  explicit GdiState(Machine&) {}
  ~GdiState();
  GdiState(const GdiState&) = delete;
  GdiState& operator=(const GdiState&) = delete;
  static GdiState& Current();

  std::mutex& Mutex() { return mutex_; }
  // Below: with Mutex() held.
  ULONG_PTR Add(Object object);
  Object* Find(ULONG_PTR handle);
  template <class T>
  T* Find(ULONG_PTR handle) {
    Object* object = Find(handle);
    return object ? std::get_if<T>(object) : nullptr;
  }
  void Remove(ULONG_PTR handle) { objects_.erase(handle); }
  bool Selected(ULONG_PTR handle) const;
  std::size_t Count() const { return objects_.size(); }
  // The stock handles: what a fresh memory context holds, and the black brush.
  static constexpr ULONG_PTR kStockBitmap = 0x100;
  static constexpr ULONG_PTR kStockBrush = 0x104;
  static constexpr ULONG_PTR kStockPen = 0x108;
  static constexpr ULONG_PTR kStockBlackBrush = 0x10C;
  // A brush's colour (the stock ones' too); false for what is no brush.
  bool BrushColor(ULONG_PTR handle, COLORREF* color);
  // The default GUI font, realised once; null when the machine has no font file for it.
  RealizedFont* GuiFont();

 private:
  std::mutex mutex_;
  std::unique_ptr<RealizedFont> guiFont_;
  ULONG_PTR next_ = 0x1000;
  std::map<ULONG_PTR, Object> objects_;
};

// What a context draws into while the object lives: a memory context's selected bitmap, or a window's pixels
// (held locked and seen by the engine as a bitmap); no surface for the stock bitmap and the screen. A second
// target on the window of `shared` uses that one's surface.
class Target {
 public:
  Target(GdiState& state, const Context& dc, const Target* shared = nullptr);
  ~Target();
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;
  SURFOBJ* Surface() const { return so_; }

 private:
  SURFOBJ* so_ = nullptr;
  std::shared_ptr<WindowSurface> window_;
  std::unique_lock<std::mutex> lock_;
  HSURF wrapped_ = nullptr;
};

// A COLORREF as the screen format's pixel value: 0x00RRGGBB.
inline ULONG ScreenValue(COLORREF color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}
// Fills the rectangle, cut to the surface.
void FillPixels(SURFOBJ* so, LONG left, LONG top, LONG right, LONG bottom, COLORREF color);

template <class H>
ULONG_PTR HandleValue(H h) {
  return reinterpret_cast<ULONG_PTR>(h);
}
template <class H>
H AsHandle(ULONG_PTR value) {
  return reinterpret_cast<H>(value);
}

}  // namespace kq::gdi
