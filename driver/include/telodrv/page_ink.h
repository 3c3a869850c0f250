// What the engine has drawn into the transparent imaging model's page bitmap since it was last white: the
// rectangles of the drawing calls the driver handed to the engine. A new page whitens them, not the whole bitmap,
// so a page of text costs what its glyphs cover rather than the page's 26 MB. Every drawing into the bitmap goes
// through Add; past kMaxRects the rectangles give way to the box holding them all.
#pragma once

#include <cstddef>
#include <vector>

#include "win/winddi.h"

namespace telodrv {

class PageInk {
 public:
  static constexpr std::size_t kMaxRects = std::size_t{1} << 16;

  // A rectangle the engine may have drawn in (either corner order; an empty one is nothing).
  void Add(const RECTL& rect);
  // Whitens what was drawn in `bitmap` (a 24-bit page bitmap; any other is whitened whole) and starts again.
  void Whiten(SURFOBJ& bitmap);
  // The bitmap is white (made so by its owner).
  void Clear();

  bool Empty() const { return rects_.empty() && !overflowed_; }

 private:
  std::vector<RECTL> rects_;
  RECTL box_{0, 0, 0, 0};
  bool overflowed_ = false;
};

}  // namespace telodrv
