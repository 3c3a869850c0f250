// The engine's side of its CLIPOBJs: what a drawing call may touch.
#pragma once

#include <optional>

#include "region.h"

namespace kq::engine {

// The part of `area` that the clip keeps. A null clip keeps everything; a clip the engine did not make is read
// from its public fields (DC_TRIVIAL, DC_RECT), and a complex one fails with ERROR_INVALID_PARAMETER.
std::optional<Region> VisibleRegion(CLIPOBJ* pco, const RECTL& area);

// The device pixels a fill of a path may touch: those whose centres can lie inside its bounds.
RECTL PixelBounds(const RECTFX& bounds, double reach = 0);

// Calls `paint` for tiles of at most kTile x kTile pixels that together cover `area`, top to bottom, while it
// answers true; the result is false when a call answered false.
inline constexpr LONG kTile = 2048;
template <class F>
bool ForEachTile(const RECTL& area, F&& paint) {
  for (LONG y = area.top; y < area.bottom; y += std::min<LONG>(kTile, area.bottom - y))
    for (LONG x = area.left; x < area.right; x += std::min<LONG>(kTile, area.right - x))
      if (!paint(RECTL{x, y, x + std::min<LONG>(kTile, area.right - x), y + std::min<LONG>(kTile, area.bottom - y)}))
        return false;
  return true;
}

}  // namespace kq::engine
