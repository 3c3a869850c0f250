// A picture as plain pixels: what a module's bitmap resources hold, what a bitmap handle reads back as, and what a
// person sees of a window.
#pragma once

#include <cstdint>
#include <vector>

#include "win/base.h"

namespace kq {

// Rows top down, 0xRRGGBB each.
struct BitmapPixels {
  LONG width = 0;
  LONG height = 0;
  std::vector<std::uint32_t> pixels;
  bool operator==(const BitmapPixels&) const = default;
};

}  // namespace kq
