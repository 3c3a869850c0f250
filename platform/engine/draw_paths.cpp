// Drawing paths and lines into bitmaps: EngFillPath, EngStrokePath, EngStrokeAndFillPath, EngLineTo, EngPaint.
#include <algorithm>
#include <cmath>
#include <limits>

#include "clip_object.h"
#include "draw_record.h"
#include "draw_target.h"
#include "path_object.h"

namespace {

using namespace kq::engine;

struct Paint {
  const Target* target;
  const Region* region;
  const BrushSampler* brush;
  BYTE rop, background;
};

// Rasterises tile by tile over the region and paints what `raster` sets.
template <class Raster>
bool PaintMasked(const Paint& paint, Raster&& raster) {
  return ForEachTile(paint.region->Extents(), [&](const RECTL& tile) {
    Region part = *paint.region;
    part.Intersect(tile);
    if (part.Empty()) return true;
    auto mask = Mask::Make(tile);
    if (!mask) return false;
    raster(*mask);
    PaintBrush(*paint.target, part, mask.get(), paint.brush, paint.rop, paint.background);
    return true;
  });
}

bool Fill(const Target& target, const PathData& path, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, MIX mix,
          FLONG options) {
  BYTE rop, background;
  if (!MixRops(mix, &rop, &background)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, origin, rop, background, &brush)) return false;
  if (path.Empty()) return true;
  const auto region = VisibleRegion(pco, RectIntersect(target.pixels.Bounds(), PixelBounds(path.Bounds())));
  if (!region) return false;
  const FLONG mode = (options & FP_WINDINGMODE) ? FP_WINDINGMODE : FP_ALTERNATEMODE;
  return PaintMasked({&target, &*region, brush ? &*brush : nullptr, rop, background},
                     [&](Mask& mask) { FillPath(mask, path, mode); });
}

bool Stroke(const Target& target, const PathData& path, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
            POINTL* origin, LINEATTRS* attrs, MIX mix) {
  BYTE rop, background;
  if (!attrs || !MixRops(mix, &rop, &background)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  XFORML xform{1, 0, 0, 1, 0, 0};
  if (pxo && XFORMOBJ_iGetXform(pxo, &xform) == DDI_ERROR) return false;
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, origin, rop, background, &brush)) return false;
  if (path.Empty()) return true;

  // A cosmetic pen wider than a pixel is drawn as a round geometric one of that width.
  LINEATTRS pen = *attrs;
  if (!(pen.fl & LA_GEOMETRIC) && pen.elWidth.l > 1) {
    const auto width = static_cast<FLOATL>(std::min<LONG>(pen.elWidth.l, 1 << 16));
    pen = LINEATTRS{LA_GEOMETRIC, JOIN_ROUND, ENDCAP_ROUND, {width}, 10, 0, nullptr, {0}};
    xform = XFORML{1, 0, 0, 1, 0, 0};
  }
  const bool geometric = (pen.fl & LA_GEOMETRIC) && GeometricWidth(pen, &xform) >= 1;
  const CosmeticPen cosmetic =
      CosmeticPenOf(geometric || (pen.fl & LA_GEOMETRIC) ? nullptr : &pen, target.styleStep[0], target.styleStep[1],
                    target.styleStep[2]);
  const double reach = geometric ? StrokeReach(pen, &xform) : 2;
  const auto region = VisibleRegion(pco, RectIntersect(target.pixels.Bounds(), PixelBounds(path.Bounds(), reach)));
  if (!region) return false;
  return PaintMasked({&target, &*region, brush ? &*brush : nullptr, rop, background}, [&](Mask& mask) {
    if (geometric)
      StrokeGeometric(mask, path, pen, &xform);
    else
      StrokeCosmetic(mask, path, cosmetic);
  });
}

}  // namespace

BOOL EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions) {
  RecordCall call("EngFillPath");
  const PathData* path = PathOf(ppo);
  if (!path) return call.Fail(ERROR_INVALID_PARAMETER);
  call.Bounds(RecordBounds(path->Bounds()));
  const auto target = TargetOf(pso);
  if (!target) return call.Fail(ERROR_INVALID_PARAMETER);
  return call.Result(Fill(*target, *path, pco, pbo, pptlBrushOrg, mix, flOptions));
}

BOOL EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix) {
  RecordCall call("EngStrokePath");
  const PathData* path = PathOf(ppo);
  if (!path) return call.Fail(ERROR_INVALID_PARAMETER);
  call.Bounds(RecordBounds(path->Bounds()));
  const auto target = TargetOf(pso);
  if (!target) return call.Fail(ERROR_INVALID_PARAMETER);
  return call.Result(Stroke(*target, *path, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix));
}

BOOL EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions) {
  RecordCall call("EngStrokeAndFillPath");
  const PathData* path = PathOf(ppo);
  if (!path) return call.Fail(ERROR_INVALID_PARAMETER);
  call.Bounds(RecordBounds(path->Bounds()));
  const auto target = TargetOf(pso);
  if (!target) return call.Fail(ERROR_INVALID_PARAMETER);
  return call.Result(Fill(*target, *path, pco, pboFill, pptlBrushOrg, mixFill, flOptions) &&
                     Stroke(*target, *path, pco, pxo, pboStroke, pptlBrushOrg, plineattrs, mixFill));
}

BOOL EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix) {
  RecordCall call("EngLineTo");
  constexpr LONG kMax = std::numeric_limits<LONG>::max();
  const RECTL bounds{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + (std::max(x1, x2) < kMax),
                     std::max(y1, y2) + (std::max(y1, y2) < kMax)};
  call.Bounds(bounds);
  (void)prclBounds;  // the line's own bounds are exact
  const auto target = TargetOf(pso);
  BYTE rop, background;
  if (!target || !MixRops(mix, &rop, &background)) return call.Fail(ERROR_INVALID_PARAMETER);
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, nullptr, rop, rop, &brush)) return call.Result(FALSE);
  const auto region = VisibleRegion(pco, RectIntersect(target->pixels.Bounds(), bounds));
  if (!region) return call.Result(FALSE);
  return call.Result(PaintMasked({&*target, &*region, brush ? &*brush : nullptr, rop, rop},
                                 [&](Mask& mask) { LineCosmetic(mask, {x1, y1}, {x2, y2}); }));
}

BOOL EngPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix) {
  RecordCall call("EngPaint");
  const auto target = TargetOf(pso);
  if (!target) return call.Fail(ERROR_INVALID_PARAMETER);
  call.Bounds(pco ? pco->rclBounds : target->pixels.Bounds());
  BYTE rop, background;
  if (!MixRops(mix, &rop, &background)) return call.Fail(ERROR_INVALID_PARAMETER);
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, pptlBrushOrg, rop, background, &brush)) return call.Result(FALSE);
  const auto region = VisibleRegion(pco, target->pixels.Bounds());
  if (!region) return call.Result(FALSE);
  PaintBrush(*target, *region, nullptr, brush ? &*brush : nullptr, rop, background);
  return call.Result(TRUE);
}
