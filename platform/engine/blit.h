// Blits pixel by pixel: each target pixel of a region takes a source pixel through a mapping, a mask bit and the
// raster operation with the brush. Shared by the blit services.
#pragma once

#include <optional>
#include <vector>

#include "draw_target.h"
#include "xlate_object.h"

namespace kq::engine {

// The source pixels a blit reads, as raw values. When the source shares the target's bits the area it may read is
// copied first, so the blit reads what was there before it began.
class SourceReader {
 public:
  SourceReader(const Pixels& pixels, const RECTL& area, bool copy);
  ULONG At(LONG x, LONG y) const {
    return copy_.empty() ? pixels_.Get(x, y)
                         : copy_[static_cast<std::size_t>(y - area_.top) * (area_.right - area_.left) + (x - area_.left)];
  }
  bool Inside(LONG x, LONG y) const { return x >= area_.left && x < area_.right && y >= area_.top && y < area_.bottom; }

 private:
  Pixels pixels_;
  RECTL area_;
  std::vector<ULONG> copy_;
};

struct BlitOps {
  const Target* target = nullptr;
  const SourceReader* source = nullptr;  // null when the operations read no source
  Translator xlate;
  const Pixels* mask = nullptr;  // one bit; a mask pixel is the source pixel moved by maskShift
  POINTL maskShift{0, 0};
  const BrushSampler* brush = nullptr;
  BYTE rop = 0xCC, background = 0xCC;  // where the mask's bit is 1 and 0
  std::optional<ULONG> key;              // source value that leaves the target as it is
};

// `map(x, y, &sx, &sy)` gives the source pixel of a target pixel, false for none (the pixel stays).
template <class Map>
void Compose(const BlitOps& ops, const Region& region, Map&& map) {
  const Pixels& px = ops.target->pixels;
  const ULONG valueMask = px.ValueMask();
  const bool readsDestination = RopUsesDestination(ops.rop) || (ops.mask && RopUsesDestination(ops.background));
  for (const RECTL& r : region.Rects()) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      for (LONG x = r.left; x < r.right; ++x) {
        LONG sx = 0, sy = 0;
        if (!map(x, y, &sx, &sy)) continue;
        ULONG s = 0;
        if (ops.source) {
          if (!ops.source->Inside(sx, sy)) continue;
          s = ops.source->At(sx, sy);
          if (ops.key && s == *ops.key) continue;
          s = ops.xlate(s);
        }
        BYTE op = ops.rop;
        if (ops.mask) {
          const LONG mx = sx + ops.maskShift.x, my = sy + ops.maskShift.y;
          const bool bit = mx >= 0 && my >= 0 && mx < ops.mask->Width() && my < ops.mask->Height() &&
                           ops.mask->Get(mx, my);
          op = bit ? ops.rop : ops.background;
        }
        if (op == 0xAA) continue;
        const ULONG p = ops.brush ? ops.brush->At(x, y) : 0;
        const ULONG d = readsDestination ? px.Get(x, y) : 0;
        px.Set(x, y, Rop3(op, p, s, d) & valueMask);
      }
    }
  }
}

// A stretch of source rectangle `from` onto target rectangle `to` (either may be inverted: mirrored), by the
// nearest source pixel of each target pixel's centre.
class StretchMap {
 public:
  StretchMap(const RECTL& to, const RECTL& from, const RECTL& extents);
  bool operator()(LONG x, LONG y, LONG* sx, LONG* sy) const {
    if (x < extents_.left || x >= extents_.right || y < extents_.top || y >= extents_.bottom) return false;
    *sx = columns_[x - extents_.left];
    *sy = rows_[y - extents_.top];
    return true;
  }

 private:
  RECTL extents_;
  std::vector<LONG> columns_, rows_;
};

}  // namespace kq::engine
