// EngTextOut: the opaque rectangle, the glyphs' outlines and the extra rectangles.
#include <algorithm>

#include "clip_object.h"
#include "draw_record.h"
#include "draw_target.h"
#include "glyph_outline.h"
#include "path_object.h"

namespace {

using namespace kq::engine;

// Extra rectangles read from a caller's list stop here at the latest.
constexpr int kMaxExtra = 64;

bool PaintRect(const Target& target, CLIPOBJ* pco, const RECTL& rect, BRUSHOBJ* pbo, BYTE rop) {
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, nullptr, rop, rop, &brush)) return false;
  const auto region = VisibleRegion(pco, RectIntersect(Ordered(rect), target.pixels.Bounds()));
  if (!region) return false;
  PaintBrush(target, *region, nullptr, brush ? &*brush : nullptr, rop, rop);
  return true;
}

RECTL Union(const RECTL& a, const RECTL& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return RECTL{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

}  // namespace

BOOL EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL*, MIX mix) {
  RecordCall call("EngTextOut");
  const std::vector<GLYPHPOS>* positions = StringPositions(pstro);
  if (!positions || !FONTOBJ_pifi(pfo)) return call.Fail(ERROR_INVALID_PARAMETER);
  call.Bounds(Union(pstro->rclBkGround, prclOpaque ? Ordered(*prclOpaque) : RECTL{0, 0, 0, 0}));
  const auto target = TargetOf(pso);
  BYTE rop, background;
  if (!target || !MixRops(mix, &rop, &background)) return call.Fail(ERROR_INVALID_PARAMETER);

  if (prclOpaque && pboOpaque && !PaintRect(*target, pco, *prclOpaque, pboOpaque, 0xF0)) return call.Result(FALSE);

  // All glyphs as one path: outlines overlap as the glyphs do, under the winding rule of outline fonts.
  PathData glyphs;
  for (std::size_t i = 0; i < positions->size(); ++i) {
    const GLYPHPOS& pos = (*positions)[i];
    const GlyphEntry* entry = GlyphOf(pfo, pos.hg, StringGlyphTurned(pstro, i));
    if (!entry) return call.Result(FALSE);
    const LONGLONG fx = LONGLONG{pos.ptl.x} * 16, fy = LONGLONG{pos.ptl.y} * 16;
    if (fx < -kMaxPathFix || fx > kMaxPathFix || fy < -kMaxPathFix || fy > kMaxPathFix) continue;  // far off
    glyphs.Append(DataOf(entry->path), POINTFIX{static_cast<FIX>(fx), static_cast<FIX>(fy)});
  }
  if (!glyphs.Empty()) {
    std::optional<BrushSampler> brush;
    if (!BrushFor(pboFore, nullptr, rop, background, &brush)) return call.Result(FALSE);
    const auto region = VisibleRegion(pco, RectIntersect(target->pixels.Bounds(), PixelBounds(glyphs.Bounds())));
    if (!region) return call.Result(FALSE);
    const bool ok = ForEachTile(region->Extents(), [&](const RECTL& tile) {
      Region part = *region;
      part.Intersect(tile);
      if (part.Empty()) return true;
      auto mask = Mask::Make(tile);
      if (!mask) return false;
      FillPath(*mask, glyphs, FP_WINDINGMODE);
      PaintBrush(*target, part, mask.get(), brush ? &*brush : nullptr, rop, background);
      return true;
    });
    if (!ok) return call.Result(FALSE);
  }

  for (int i = 0; prclExtra && i < kMaxExtra; ++i) {
    const RECTL& r = prclExtra[i];
    if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) break;
    if (!PaintRect(*target, pco, r, pboFore, rop)) return call.Result(FALSE);
  }
  return call.Result(TRUE);
}
