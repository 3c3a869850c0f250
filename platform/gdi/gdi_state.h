// The user-mode graphics objects of one machine: contexts, bitmaps (engine bitmaps of the screen's format), brushes
// and pens, by handle.
#pragma once

#include <map>
#include <mutex>
#include <variant>

#include "win/machine.h"
#include "win/winddi.h"
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
};

using Object = std::variant<Context, Bitmap, Brush, Pen>;

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
  // The stock handles: what a fresh memory context holds.
  static constexpr ULONG_PTR kStockBitmap = 0x100;
  static constexpr ULONG_PTR kStockBrush = 0x104;
  static constexpr ULONG_PTR kStockPen = 0x108;

 private:
  std::mutex mutex_;
  ULONG_PTR next_ = 0x1000;
  std::map<ULONG_PTR, Object> objects_;
};

// A context's selected bitmap surface, or null for the stock one and the screen.
inline SURFOBJ* TargetOf(GdiState& state, const Context& dc) {
  const Bitmap* bitmap = state.Find<Bitmap>(dc.bitmap);
  return bitmap ? bitmap->so : nullptr;
}

template <class H>
ULONG_PTR HandleValue(H h) {
  return reinterpret_cast<ULONG_PTR>(h);
}
template <class H>
H AsHandle(ULONG_PTR value) {
  return reinterpret_cast<H>(value);
}

}  // namespace kq::gdi
