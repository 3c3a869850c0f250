// Rasterising paths into coverage masks with cairo. Drawing is aliased, as the platform's: a pixel is inside a
// fill when its centre is, and a cosmetic line sets one pixel per step of its major axis, its last pixel left
// out. Path coordinates are device pixels with integers on pixel corners.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "path_data.h"

namespace kq::engine {

// One byte per device pixel of `area`: 0 or 0xFF.
class Mask {
 public:
  // Null with ERROR_NOT_ENOUGH_MEMORY when the area cannot be held.
  static std::unique_ptr<Mask> Make(const RECTL& area);
  ~Mask();
  Mask(const Mask&) = delete;
  Mask& operator=(const Mask&) = delete;

  const RECTL& Area() const { return area_; }
  // Rows of Area(), by device y.
  const BYTE* Row(LONG y) const { return data_ + static_cast<std::ptrdiff_t>(y - area_.top) * stride_ - area_.left; }
  BYTE* Row(LONG y) { return data_ + static_cast<std::ptrdiff_t>(y - area_.top) * stride_ - area_.left; }
  bool At(LONG x, LONG y) const {
    return x >= area_.left && x < area_.right && y >= area_.top && y < area_.bottom && Row(y)[x] != 0;
  }
  void Set(LONG x, LONG y) {
    if (x >= area_.left && x < area_.right && y >= area_.top && y < area_.bottom) Row(y)[x] = 0xFF;
  }
  // Calls paint(x0, x1) for each run [x0, x1) of set pixels of row y within [left, right) of the area, left to
  // right; unset pixels are skipped a word at a time.
  template <class F>
  void Runs(LONG y, LONG left, LONG right, F&& paint) const {
    const BYTE* row = Row(y);
    LONG x = left;
    while (x < right) {
      std::uint64_t word;
      while (x + 8 <= right && (std::memcpy(&word, row + x, 8), word == 0)) x += 8;
      while (x < right && !row[x]) ++x;
      if (x == right) break;
      const void* gap = std::memchr(row + x, 0, static_cast<std::size_t>(right - x));
      const LONG end = gap ? static_cast<LONG>(static_cast<const BYTE*>(gap) - row) : right;
      paint(x, end);
      x = end;
    }
  }
  bool SameAs(const Mask& other) const;
  // A context whose user space is device pixels.
  cairo_t* Context();

 private:
  Mask(cairo_surface_t* surface, const RECTL& area);
  cairo_surface_t* surface_;
  cairo_t* cr_ = nullptr;
  RECTL area_;
  BYTE* data_;
  LONG stride_;
};

// Fills the path's figures, each closed, under FP_ALTERNATEMODE or FP_WINDINGMODE.
void FillPath(Mask& mask, const PathData& path, FLONG fillMode);

// A cosmetic pen: one-pixel steps, styled in style units that a pixel advances by `step` / `denominator`
// (separately for lines whose major axis is x and y).
struct CosmeticPen {
  FLONG flags = 0;  // LA_ALTERNATE, LA_STARTGAP, LA_STYLED
  std::vector<LONG> style;
  LONG styleState = 0;  // element in the high word, units into it in the low word
  LONG xStep = 1, yStep = 1, denominator = 1;
};
CosmeticPen CosmeticPenOf(const LINEATTRS* attrs, LONG xStep, LONG yStep, LONG denominator);
void StrokeCosmetic(Mask& mask, const PathData& path, const CosmeticPen& pen);
void LineCosmetic(Mask& mask, POINTL from, POINTL to);

// A geometric pen under the world-to-device transform `xform` (null: identity). A transform that flattens the
// pen leaves it as it is.
void StrokeGeometric(Mask& mask, const PathData& path, const LINEATTRS& attrs, const XFORML* xform);
// The pen's width on the device; pens thinner than a pixel are drawn cosmetic.
double GeometricWidth(const LINEATTRS& attrs, const XFORML* xform);
// How far a stroke with these attributes reaches beyond the path's points, in device pixels.
double StrokeReach(const LINEATTRS& attrs, const XFORML* xform);

}  // namespace kq::engine
