// A growable list of device-pixel rectangles (right and bottom exclusive): the dirty list of the raster fallback
// and the two rectangle lists of the image queue. It starts with room for 256 and grows by 256 at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "win/gditypes.h"

class RectList {
 public:
  static constexpr std::size_t kGrowth = 256;
  // Past this many rectangles Coalesce takes their bounding box instead of merging them through a mask.
  static constexpr std::size_t kMaskLimit = 500;

  RectList() { rects_.reserve(kGrowth); }
  std::size_t Count() const { return rects_.size(); }
  std::size_t Capacity() const { return rects_.capacity(); }
  bool Empty() const { return rects_.empty(); }
  const RECTL& operator[](std::size_t i) const { return rects_[i]; }
  const std::vector<RECTL>& Rects() const { return rects_; }

  // Appends a copy; a full list first grows by kGrowth slots.
  void Add(const RECTL& rect);
  // Count 0; the slots stay.
  void Clear() { rects_.clear(); }
  // Rewrites the list as disjoint rectangles covering the same pixels, in bands from top to bottom and left to
  // right within a band, when that needs no more rectangles than the list holds; more than kMaskLimit become their
  // bounding box. Fewer than two: unchanged. The rectangles must be non-empty.
  void Coalesce();
  // One rectangle (left + s, top, left + e, bottom) per run of set bits s .. e - 1 among the bits 0 .. right - left
  // - 1 of a mask row (most significant bit first).
  void AddBandRuns(const std::uint8_t* row, std::int32_t left, std::int32_t right, std::int32_t top,
                   std::int32_t bottom);

 private:
  std::vector<RECTL> rects_;
};

// The smallest rectangle holding all of them; the empty rectangle for none.
RECTL BoundingBox(const std::vector<RECTL>& rects);
