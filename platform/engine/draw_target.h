// What the drawing services share: the bitmap a call draws into and painting a brush through a mask.
#pragma once

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
