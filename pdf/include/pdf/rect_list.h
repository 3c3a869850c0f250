// A growable list of device-pixel rectangles (right and bottom exclusive). The raster-fallback room adds its
// operations (Add, Clear, Coalesce); the writer holds three, each made empty with room for 256.
#pragma once

#include <vector>

#include "win/base.h"

class RectList {
 public:
  static constexpr std::size_t kGrowth = 256;

  RectList() { rects_.reserve(kGrowth); }
  std::size_t Count() const { return rects_.size(); }
  std::size_t Capacity() const { return rects_.capacity(); }

 private:
  std::vector<RECT> rects_;
};
