// What the drawing services share: the bitmap a call draws into and painting a brush through a mask.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "brush_object.h"
#include "color_format.h"
#include "pixels.h"
#include "raster.h"
#include "region.h"

namespace kq::engine {

struct Target {
  SURFOBJ* so;
  Pixels pixels;
  ColorFormat colors;
  LONG styleStep[3];
};

// An engine bitmap with bits; empty with ERROR_INVALID_PARAMETER for anything else.
std::optional<Target> TargetOf(SURFOBJ* pso);
// The pixels of an engine bitmap a blit reads.
std::optional<Pixels> SourceOf(SURFOBJ* pso);

// Paints runs of pixels of one row with ternary operation `rop` of the brush (null when the operation needs none),
// and `background` between a hatch's lines.
class SpanPainter {
 public:
  SpanPainter(const Target& target, const BrushSampler* brush, BYTE rop, BYTE background);
  // Every pixel painted takes the same value whatever it held, so a pixel may be painted more than once.
  bool Constant() const { return constant_; }
  // Pixels [x0, x1) of row y, all inside the bitmap.
  void Paint(LONG y, LONG x0, LONG x1) const {
    if (pixelBytes_)
      FillBytes(px_.Row(y) + static_cast<std::ptrdiff_t>(x0) * pixelBytes_,
                static_cast<std::size_t>(x1 - x0) * pixelBytes_);
    else
      PaintPixels(y, x0, x1);
  }
  // The runs [left + runs[0], left + runs[1]), ... before end of row y, all inside the bitmap: the row is found
  // once for them all, and a constant value is held in registers across them.
  void PaintRuns(LONG y, LONG left, const std::uint16_t* runs, const std::uint16_t* end) const {
    if (!pixelBytes_) {
      for (; runs != end; runs += 2) PaintPixels(y, left + runs[0], left + runs[1]);
      return;
    }
    const std::size_t size = pixelBytes_;
    BYTE* row = px_.Row(y) + static_cast<std::ptrdiff_t>(left) * static_cast<std::ptrdiff_t>(size);
    std::uint64_t head;
    std::uint32_t tail;
    std::memcpy(&head, pattern_, 8);
    std::memcpy(&tail, pattern_ + 8, 4);
    for (; runs != end; runs += 2) {
      BYTE* p = row + runs[0] * size;
      const std::size_t n = static_cast<std::size_t>(runs[1] - runs[0]) * size;
      if (n >= sizeof pattern_)
        FillBytes(p, n);
      else
        FillShort(p, n, head, tail);
    }
  }

 private:
  // Runs are mostly a few pixels long: stores of whole pattern blocks, the last one overlapping, beat a call.
  void FillBytes(BYTE* p, std::size_t n) const {
    const auto blocks = [&](std::size_t size) {
      std::size_t i = 0;
      for (; i + size <= n; i += size) std::memcpy(p + i, pattern_, size);
      if (i < n) std::memcpy(p + n - size, pattern_, size);
    };
    if (n >= sizeof pattern_)
      blocks(sizeof pattern_);
    else if (n >= 12)
      blocks(12);
    else
      for (std::size_t i = 0; i < n; ++i) p[i] = pattern_[i];
  }
  // Fewer than 48 bytes from a pixel's start, the value's first 12 bytes (whole pixels of 1 to 4 bytes) in `head`
  // and `tail`: blocks of 12, the last one overlapping, or the bytes that are left.
  static void FillShort(BYTE* p, std::size_t n, std::uint64_t head, std::uint32_t tail) {
    static_assert(std::endian::native == std::endian::little, "the value's bytes are taken from the low end");
    if (n >= 12) {
      std::size_t i = 0;
      for (; i + 12 <= n; i += 12) {
        std::memcpy(p + i, &head, 8);
        std::memcpy(p + i + 8, &tail, 4);
      }
      if (i < n) {
        std::memcpy(p + n - 12, &head, 8);
        std::memcpy(p + n - 4, &tail, 4);
      }
      return;
    }
    std::uint32_t rest = static_cast<std::uint32_t>(head);
    if (n >= 8) {
      std::memcpy(p, &head, 8);
      p += 8;
      n -= 8;
      rest = tail;
    } else if (n >= 4) {
      std::memcpy(p, &rest, 4);
      p += 4;
      n -= 4;
      rest = static_cast<std::uint32_t>(head >> 32);
    }
    if (n & 2) {
      const auto two = static_cast<std::uint16_t>(rest);
      std::memcpy(p, &two, 2);
      p += 2;
      rest >>= 16;
    }
    if (n & 1) *p = static_cast<BYTE>(rest);
  }
  void PaintPixels(LONG y, LONG x0, LONG x1) const;

  const Pixels& px_;
  const BrushSampler* brush_;
  BYTE rop_, background_;
  ULONG valueMask_;
  bool hatch_, constant_;
  ULONG value_;  // the constant value
  // For a constant value in whole bytes: bytes a pixel, and the value repeated from a pixel's start (the block
  // sizes are whole pixels of 1 to 4 bytes).
  std::size_t pixelBytes_ = 0;
  BYTE pattern_[48] = {};
};

// Paints the pixels of `region` that `mask` sets (all of them without a mask; the mask covers the region) with
// ternary operation `rop` of the brush (null when the operation needs none) on the target, and `background`
// between a hatch's lines.
void PaintBrush(const Target& target, const Region& region, const Mask* mask, const BrushSampler* brush, BYTE rop,
                BYTE background);

// The foreground and background operations of a MIX as ternary operations; FALSE for an unknown foreground
// operation. A background byte of 0 or out of range means the foreground one.
bool MixRops(MIX mix, BYTE* foreground, BYTE* background);

// The brush a pair of operations needs; a null brush, or none when neither reads the pattern.
bool BrushFor(BRUSHOBJ* pbo, const POINTL* origin, BYTE foreground, BYTE background,
              std::optional<BrushSampler>* brush);

// The device pixels a call touches at most: a path's bounds (left and top truncated, right and bottom rounded up)
// as the call records them.
RECTL RecordBounds(const RECTFX& bounds);

}  // namespace kq::engine
