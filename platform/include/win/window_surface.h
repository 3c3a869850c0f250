// The pixels of windows: each window of the machine keeps a surface of its client area's size, which GetDC's
// contexts draw into and a person (or a test or tool playing one) looks at.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "win/base.h"
#include "win/bitmap_pixels.h"

namespace kq {

// 32 bits a pixel, rows top down: blue, green, red and an unused byte in memory (the value 0x00RRGGBB), as the
// screen's format. Whoever touches the pixels holds `mutex`.
struct WindowSurface {
  std::mutex mutex;
  LONG width = 0;
  LONG height = 0;
  std::vector<std::uint32_t> pixels;
};

// The window's surface, made white at the client area's size on first use and made anew (white) once that size
// changed; the window keeps it until it is destroyed, and a context that holds it keeps it alive past that. Null
// with ERROR_INVALID_WINDOW_HANDLE for what is not a window of the calling thread's machine, and for a window of
// no area; with ERROR_NOT_ENOUGH_MEMORY for one larger than the engine's largest bitmap.
std::shared_ptr<WindowSurface> WindowSurfaceOf(HWND window);

// What a person sees of a window: its surface's pixels (0xRRGGBB); false when it is no window or has no pixels.
bool ReadWindowPixels(HWND window, BitmapPixels* pixels);

}  // namespace kq
