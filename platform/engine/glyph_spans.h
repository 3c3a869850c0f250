// A glyph's pixels as runs per row, rasterised once for its realised font: text paints each glyph's runs at its
// position instead of filling the outlines of the whole string.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "path_data.h"

namespace kq::engine {

class GlyphSpans {
 public:
  // Glyphs wider or taller than this many pixels are filled as outlines: their runs would cost more to keep.
  static constexpr LONG kMaxSide = 1024;

  // The pixels of the outline filled under the winding rule at the origin, as a fill of the outline moved by
  // whole pixels sets them; null for an outline beyond kMaxSide or when its mask cannot be held.
  static std::unique_ptr<GlyphSpans> Of(const PathData& outline);

  // The outline's bounds (all zero when it is empty), in 28.4 relative to the origin.
  const RECTFX& Bounds() const { return bounds_; }
  bool Empty() const { return empty_; }
  // The pixels a fill of the outline may touch, relative to the origin (as PixelBounds gives them).
  const RECTL& Box() const { return box_; }
  // Calls paint(x0, x1) for each run of row y (relative to the origin, inside Box()), left to right.
  template <class F>
  void Row(LONG y, F&& paint) const {
    const auto row = static_cast<std::size_t>(y - box_.top);
    for (std::uint32_t i = rows_[row]; i < rows_[row + 1]; i += 2)
      paint(box_.left + runs_[i], box_.left + runs_[i + 1]);
  }
  // Calls paint(y, left, runs, end) for every row, top to bottom (relative to the origin): the row's runs are the
  // pairs [left + runs[0], left + runs[1]), ... before end.
  template <class F>
  void EachRow(F&& paint) const {
    const std::uint32_t* row = rows_.data();
    const std::uint16_t* runs = runs_.data();
    for (LONG y = box_.top; y < box_.bottom; ++y, ++row) paint(y, box_.left, runs + row[0], runs + row[1]);
  }

 private:
  RECTFX bounds_{0, 0, 0, 0};
  bool empty_ = true;
  RECTL box_{0, 0, 0, 0};
  std::vector<std::uint32_t> rows_;  // where each row's runs start in runs_, and one past the last row's
  std::vector<std::uint16_t> runs_;  // left and right of each run, from the box's left
};

}  // namespace kq::engine
