// What the engine has drawn into the transparent imaging model's page bitmap: the rectangles of the drawing calls
// the driver hands to the engine. A new page does not whiten the last page's ink at once: it is kept as stale ink and
// whitened just before the engine draws over it (so the engine's stores find those rows in the cache) or before
// anything reads the bitmap there; what is left of it is whitened when the page ends. So wherever this page has not
// drawn, the bitmap reads white. Every drawing into the bitmap goes through Add before the engine draws, every read
// of it through Reading; past kMaxRects a page's rectangles give way to the box holding them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "win/winddi.h"

namespace telodrv {

class PageInk {
 public:
  static constexpr std::size_t kMaxRects = std::size_t{1} << 16;
  // Stale ink is found through bands of this many rows; a band met by more than kMaxBandRects stale rectangles is
  // whitened when the page starts, so a drawing call looks at no more than that many rectangles a band it covers.
  static constexpr LONG kBandRows = 64;
  static constexpr std::size_t kMaxBandRects = 64;

  // The engine is about to draw within `rect` (either corner order; an empty one is nothing): the stale ink it
  // meets is whitened, and the rectangle counts as this page's ink.
  void Add(const RECTL& rect);
  // Something is about to read `rect` of the bitmap: the stale ink it meets is whitened.
  void Reading(const RECTL& rect);
  // Whitens what is left of the stale ink.
  void WhitenStale();
  // A new page on `bitmap`: what is left of the stale ink is whitened and the ink drawn so far becomes stale. A
  // bitmap that is not a 24-bit page bitmap is whitened whole at once.
  void NewPage(SURFOBJ& bitmap);
  // The bitmap is white (made so by its owner), or gone.
  void Clear();

  // Nothing drawn since the last page started and nothing stale.
  bool Empty() const { return rects_.empty() && !overflowed_ && staleLeft_ == 0; }

 private:
  struct Bitmap {
    BYTE* scan0 = nullptr;
    LONG delta = 0, width = 0, height = 0;
  };
  void WhitenRect(const RECTL& rect) const;
  void WhitenStaleMeeting(const RECTL& rect);
  void WhitenStaleAt(std::uint32_t index);

  // This page's ink, or past kMaxRects the box holding it.
  std::vector<RECTL> rects_;
  RECTL box_{0, 0, 0, 0};
  bool overflowed_ = false;
  // The stale ink (a whitened one becomes empty), the indices of those meeting each band, and how many are left.
  Bitmap bitmap_;
  std::vector<RECTL> stale_;
  std::vector<std::vector<std::uint32_t>> bands_;
  std::size_t staleLeft_ = 0;
};

}  // namespace telodrv
