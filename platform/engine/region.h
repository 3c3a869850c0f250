// Regions of device pixels (pixman's banded rectangle lists): the visible part of a clip and of a drawing call.
#pragma once

#include <pixman.h>

#include <vector>

#include "path_data.h"

namespace kq::engine {

class Mask;

class Region {
 public:
  Region();  // empty
  explicit Region(const RECTL& rect);
  Region(const Region& other);
  Region& operator=(const Region& other);
  ~Region();

  // The set pixels of a mask.
  static Region FromMask(const Mask& mask);

  void Intersect(const Region& other);
  void Intersect(const RECTL& rect);
  void Unite(const Region& other);
  bool Empty() const;
  // All zero when empty.
  RECTL Extents() const;
  // Disjoint, in bands from top to bottom and left to right within a band.
  std::vector<RECTL> Rects() const;
  std::size_t Count() const;
  bool Contains(LONG x, LONG y) const;
  // Closed figures along the region's edges (clockwise on the screen around filled parts), whose inside under
  // either fill mode is the region.
  PathData Outline() const;

 private:
  pixman_region32_t region_;
};

bool RectEmpty(const RECTL& r);
// All zero when the two do not meet.
RECTL RectIntersect(const RECTL& a, const RECTL& b);
// Left above right and top above bottom, and whether it was inverted in x and y.
RECTL Ordered(const RECTL& r, bool* flipX = nullptr, bool* flipY = nullptr);

}  // namespace kq::engine
