// EngGradientFill: shaded rectangles and Gouraud triangles.
#include <algorithm>
#include <cmath>
#include <vector>

#include "clip_object.h"
#include "draw_record.h"
#include "draw_target.h"
#include "xlate_object.h"

namespace {

using namespace kq::engine;

struct Shade {
  const Target* target;
  Translator xlate;
  bool translate;  // through the call's translation; else the target's colours decide

  // Channels of 0..0xFF00 as TRIVERTEX holds them.
  ULONG Value(double r, double g, double b) const {
    const auto byte = [](double c) {
      return std::min<ULONG>((static_cast<ULONG>(std::clamp(std::lround(c), 0L, 0xFF00L)) + 0x80) >> 8, 0xFF);
    };
    const ULONG rgb = MakeRgb(byte(r), byte(g), byte(b));
    return translate ? xlate(rgb) : target->colors.FromRgb(rgb);
  }
};

// From the colour at one edge to the colour at the other, both edges' pixels taking their vertex's colour exactly.
void ShadeRect(const Shade& shade, const Region& region, const TRIVERTEX& a, const TRIVERTEX& b, bool vertical) {
  const TRIVERTEX& lo = (vertical ? a.y <= b.y : a.x <= b.x) ? a : b;
  const TRIVERTEX& hi = &lo == &a ? b : a;
  Region part = region;
  part.Intersect(RECTL{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
  if (part.Empty()) return;
  // In 64 bits: the vertices may lie at the ends of the coordinate range.
  const LONGLONG from = vertical ? lo.y : lo.x, span = (vertical ? hi.y : hi.x) - from;
  // The value depends on one coordinate only: work it out once for each.
  const RECTL ext = part.Extents();
  const LONG first = vertical ? ext.top : ext.left, last = vertical ? ext.bottom : ext.right;
  const Pixels& px = shade.target->pixels;
  std::vector<ULONG> values;
  values.reserve(static_cast<std::size_t>(last - first));
  for (LONG v = first; v < last; ++v) {
    const double t = span > 1 ? double(v - from) / double(span - 1) : 0;
    values.push_back(shade.Value(lo.Red + (double(hi.Red) - lo.Red) * t, lo.Green + (double(hi.Green) - lo.Green) * t,
                                 lo.Blue + (double(hi.Blue) - lo.Blue) * t) &
                     px.ValueMask());
  }
  for (const RECTL& r : part.Rects())
    for (LONG y = r.top; y < r.bottom; ++y) {
      if (vertical) {
        px.Fill(y, r.left, r.right, values[y - first]);
        continue;
      }
      for (LONG x = r.left; x < r.right; ++x) px.Set(x, y, values[x - first]);
    }
}

// The pixels whose centres lie inside the triangle, shaded by their barycentric weights.
void ShadeTriangle(const Shade& shade, const Region& region, const TRIVERTEX& a, const TRIVERTEX& b,
                   const TRIVERTEX& c) {
  // In floating point: the differences of far vertices do not fit 32 bits.
  const double ax = a.x, ay = a.y, bx = b.x, by = b.y, qx = c.x, qy = c.y;
  const double det = (bx - ax) * (qy - ay) - (qx - ax) * (by - ay);
  if (det == 0) return;
  Region part = region;
  part.Intersect(RECTL{std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y}), std::max({a.x, b.x, c.x}),
                       std::max({a.y, b.y, c.y})});
  const Pixels& px = shade.target->pixels;
  for (const RECTL& r : part.Rects())
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) {
        const double cx = x + 0.5, cy = y + 0.5;
        const double wb = ((cx - ax) * (qy - ay) - (qx - ax) * (cy - ay)) / det;
        const double wc = ((bx - ax) * (cy - ay) - (cx - ax) * (by - ay)) / det;
        const double wa = 1 - wb - wc;
        if (wa < 0 || wb < 0 || wc < 0) continue;
        px.Set(x, y,
               shade.Value(wa * a.Red + wb * b.Red + wc * c.Red, wa * a.Green + wb * b.Green + wc * c.Green,
                           wa * a.Blue + wb * b.Blue + wc * c.Blue) &
                   px.ValueMask());
      }
}

}  // namespace

BOOL EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                     PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL*, ULONG ulMode) {
  RecordCall call("EngGradientFill");
  const bool rects = ulMode == GRADIENT_FILL_RECT_H || ulMode == GRADIENT_FILL_RECT_V;
  if ((!rects && ulMode != GRADIENT_FILL_TRIANGLE) || (nVertex && !pVertex) || (nMesh && !pMesh))
    return call.Fail(ERROR_INVALID_PARAMETER);
  // Every index is checked before anything is drawn.
  const auto* indexes = static_cast<const ULONG*>(pMesh);
  const ULONG perMesh = rects ? 2 : 3;
  for (ULONGLONG i = 0; i < ULONGLONG{nMesh} * perMesh; ++i)
    if (indexes[i] >= nVertex) return call.Fail(ERROR_INVALID_PARAMETER);
  RECTL bounds{0, 0, 0, 0};
  if (prclExtents) {
    bounds = Ordered(*prclExtents);
  } else if (nVertex) {
    bounds = {pVertex[0].x, pVertex[0].y, pVertex[0].x, pVertex[0].y};
    for (ULONG i = 0; i < nVertex; ++i)
      bounds = {std::min(bounds.left, pVertex[i].x), std::min(bounds.top, pVertex[i].y),
                std::max(bounds.right, pVertex[i].x), std::max(bounds.bottom, pVertex[i].y)};
  }
  call.Bounds(bounds);
  const auto target = TargetOf(psoDest);
  const auto xlate = Translator::Of(pxlo);
  if (!target || !xlate) return call.Fail(ERROR_INVALID_PARAMETER);
  const RECTL area = prclExtents ? RectIntersect(bounds, target->pixels.Bounds()) : target->pixels.Bounds();
  const auto region = VisibleRegion(pco, area);
  if (!region) return call.Result(FALSE);
  const Shade shade{&*target, *xlate, pxlo != nullptr};
  for (ULONG m = 0; m < nMesh && !region->Empty(); ++m) {
    const ULONG* v = indexes + ULONGLONG{m} * perMesh;
    if (rects)
      ShadeRect(shade, *region, pVertex[v[0]], pVertex[v[1]], ulMode == GRADIENT_FILL_RECT_V);
    else
      ShadeTriangle(shade, *region, pVertex[v[0]], pVertex[v[1]], pVertex[v[2]]);
  }
  return call.Result(TRUE);
}
