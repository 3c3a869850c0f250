// EngTextOut: the opaque rectangle, the glyphs (their kept pixels, or their outlines) and the extra rectangles.
#include <algorithm>
#include <cstring>
#include <vector>

#include "clip_object.h"
#include "draw_record.h"
#include "draw_target.h"
#include "glyph_outline.h"
#include "glyph_spans.h"
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

bool Fits(LONGLONG fix) { return fix >= -kMaxPathFix && fix <= kMaxPathFix; }

// A glyph's kept pixels and where its origin lies.
struct Placed {
  const GlyphSpans* spans;
  LONG x, y;
};

// Calls paint(y, x0, x1) for the glyph's runs inside `rect`.
template <class F>
void RunsIn(const Placed& glyph, const RECTL& rect, F&& paint) {
  const RECTL& box = glyph.spans->Box();
  const LONG top = std::max(rect.top, box.top + glyph.y), bottom = std::min(rect.bottom, box.bottom + glyph.y);
  if (rect.right <= box.left + glyph.x || rect.left >= box.right + glyph.x) return;
  for (LONG y = top; y < bottom; ++y)
    glyph.spans->Row(y - glyph.y, [&](LONG x0, LONG x1) {
      x0 = std::max(x0 + glyph.x, rect.left);
      x1 = std::min(x1 + glyph.x, rect.right);
      if (x0 < x1) paint(y, x0, x1);
    });
}

void PaintPlaced(const std::vector<Placed>& placed, const Region& region, const SpanPainter& painter) {
  const std::vector<RECTL> rects = region.Rects();
  for (const Placed& glyph : placed) {
    const LONG top = glyph.spans->Box().top + glyph.y, bottom = glyph.spans->Box().bottom + glyph.y;
    // Rectangles come in bands from top to bottom: the first that reaches below the glyph's top, on until one
    // starts below its bottom.
    auto it = std::upper_bound(rects.begin(), rects.end(), top, [](LONG y, const RECTL& r) { return y < r.bottom; });
    for (; it != rects.end() && it->top < bottom; ++it) {
      const RECTL& box = glyph.spans->Box();
      if (it->left <= box.left + glyph.x && it->right >= box.right + glyph.x && it->top <= top &&
          it->bottom >= bottom) {
        // The whole glyph is visible (the usual case): its runs need no cutting.
        glyph.spans->EachRow([&](LONG y, LONG left, const std::uint16_t* runs, const std::uint16_t* end) {
          painter.PaintRuns(y + glyph.y, left + glyph.x, runs, end);
        });
        break;
      }
      RunsIn(glyph, *it, [&](LONG y, LONG x0, LONG x1) { painter.Paint(y, x0, x1); });
    }
  }
}

void MarkPlaced(const std::vector<Placed>& placed, Mask& mask) {
  for (const Placed& glyph : placed)
    RunsIn(glyph, mask.Area(), [&](LONG y, LONG x0, LONG x1) {
      std::memset(mask.Row(y) + x0, 0xFF, static_cast<std::size_t>(x1 - x0));
    });
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

  // Glyphs whose pixels are kept paint them at their positions; larger ones are filled as one path, their
  // outlines overlapping as the glyphs do, under the winding rule of outline fonts.
  const auto glyphs = FontGlyphs::Of(pfo);
  const std::vector<bool>* turns = StringTurns(pstro);
  if (!glyphs || !turns) return call.Result(FALSE);
  std::vector<Placed> placed;
  PathData large;
  RECTL box{0, 0, 0, 0};
  for (std::size_t i = 0; i < positions->size(); ++i) {
    const GLYPHPOS& pos = (*positions)[i];
    GlyphEntry& entry = glyphs->Get(pos.hg, i < turns->size() && (*turns)[i]);
    const LONGLONG fx = LONGLONG{pos.ptl.x} * 16, fy = LONGLONG{pos.ptl.y} * 16;
    if (!Fits(fx) || !Fits(fy)) continue;  // far off
    const GlyphSpans* spans = SpansOf(entry);
    const PathData* outline = spans ? nullptr : &DataOf(entry.path);
    const RECTFX b = spans ? spans->Bounds() : outline->Bounds();
    if ((spans ? spans->Empty() : outline->Empty()) || !Fits(b.xLeft + fx) || !Fits(b.xRight + fx) ||
        !Fits(b.yTop + fy) || !Fits(b.yBottom + fy))
      continue;  // nothing to draw, or beyond what a path holds
    if (spans) {
      placed.push_back({spans, pos.ptl.x, pos.ptl.y});
      const RECTL& g = spans->Box();
      box = Union(box, RECTL{g.left + pos.ptl.x, g.top + pos.ptl.y, g.right + pos.ptl.x, g.bottom + pos.ptl.y});
    } else {
      large.Append(*outline, POINTFIX{static_cast<FIX>(fx), static_cast<FIX>(fy)});
    }
  }
  if (!large.Empty()) box = Union(box, PixelBounds(large.Bounds()));
  if (!RectEmpty(box)) {
    std::optional<BrushSampler> brush;
    if (!BrushFor(pboFore, nullptr, rop, background, &brush)) return call.Result(FALSE);
    const auto region = VisibleRegion(pco, RectIntersect(target->pixels.Bounds(), box));
    if (!region) return call.Result(FALSE);
    const SpanPainter painter(*target, brush ? &*brush : nullptr, rop, background);
    // A constant paint may meet a pixel twice where glyphs overlap; any other reads each pixel once, so the
    // glyphs are gathered into one mask first.
    if (painter.Constant()) PaintPlaced(placed, *region, painter);
    const bool gather = !painter.Constant();
    if ((gather && !placed.empty()) || !large.Empty()) {
      const bool ok = ForEachTile(region->Extents(), [&](const RECTL& tile) {
        Region part = *region;
        part.Intersect(tile);
        if (part.Empty()) return true;
        auto mask = Mask::Make(tile);
        if (!mask) return false;
        if (gather) MarkPlaced(placed, *mask);
        if (!large.Empty()) FillPath(*mask, large, FP_WINDINGMODE);
        PaintBrush(*target, part, mask.get(), brush ? &*brush : nullptr, rop, background);
        return true;
      });
      if (!ok) return call.Result(FALSE);
    }
  }

  for (int i = 0; prclExtra && i < kMaxExtra; ++i) {
    const RECTL& r = prclExtra[i];
    if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) break;
    if (!PaintRect(*target, pco, r, pboFore, rop)) return call.Result(FALSE);
  }
  return call.Result(TRUE);
}
