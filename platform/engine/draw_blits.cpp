// Blits into bitmaps: EngBitBlt, EngCopyBits, EngStretchBlt, EngStretchBltROP, EngPlgBlt, EngTransparentBlt.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "blend.h"
#include "blit.h"
#include "clip_object.h"
#include "draw_record.h"

namespace kq::engine {

SourceReader::SourceReader(const Pixels& pixels, const RECTL& area, bool copy) : pixels_(pixels), area_(area) {
  if (!copy || RectEmpty(area)) return;
  copy_.reserve(static_cast<std::size_t>(area.right - area.left) * (area.bottom - area.top));
  for (LONG y = area.top; y < area.bottom; ++y)
    for (LONG x = area.left; x < area.right; ++x) copy_.push_back(pixels.Get(x, y));
}

StretchMap::StretchMap(const RECTL& to, const RECTL& from, const RECTL& extents) : extents_(extents) {
  bool toFlipX, toFlipY, fromFlipX, fromFlipY;
  const RECTL dst = Ordered(to, &toFlipX, &toFlipY), src = Ordered(from, &fromFlipX, &fromFlipY);
  const auto axis = [](LONG dstLo, LONG dstSize, LONG srcLo, LONG srcSize, bool flip, LONG lo, LONG hi,
                       std::vector<LONG>& out) {
    for (LONG v = lo; v < hi; ++v) {
      LONGLONG k = LONGLONG{v} - dstLo;
      if (flip) k = dstSize - 1 - k;
      // The source pixel under the target pixel's centre.
      out.push_back(static_cast<LONG>(srcLo + (2 * k + 1) * srcSize / (2 * LONGLONG{dstSize})));
    }
  };
  axis(dst.left, dst.right - dst.left, src.left, src.right - src.left, toFlipX != fromFlipX, extents.left,
       extents.right, columns_);
  axis(dst.top, dst.bottom - dst.top, src.top, src.bottom - src.top, toFlipY != fromFlipY, extents.top,
       extents.bottom, rows_);
}

}  // namespace kq::engine

namespace {

using namespace kq::engine;

bool SameBits(const SURFOBJ* a, const SURFOBJ* b) { return a && b && a->pvBits && a->pvBits == b->pvBits; }

// The one-bit mask of a blit, when given.
bool MaskOf(SURFOBJ* psoMask, std::optional<Pixels>* mask) {
  if (!psoMask) return true;
  *mask = SourceOf(psoMask);
  if (*mask && (*mask)->Bits() == 1) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

BOOL BitBlt(RecordCall& call, SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
            RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  if (!prclTrg) return call.Fail(ERROR_INVALID_PARAMETER);
  const RECTL trg = Ordered(*prclTrg);
  call.Bounds(trg);
  const auto target = TargetOf(psoTrg);
  if (!target) return call.Fail(ERROR_INVALID_PARAMETER);
  std::optional<Pixels> mask;
  if (!MaskOf(psoMask, &mask)) return call.Result(FALSE);
  BlitOps ops;
  ops.target = &*target;
  ops.rop = static_cast<BYTE>(rop4);
  ops.background = mask ? static_cast<BYTE>(rop4 >> 8) : ops.rop;
  const bool readsSource = RopUsesSource(ops.rop) || RopUsesSource(ops.background);

  // The source pixel of a target pixel, and where the source may be read.
  const POINTL origin = readsSource && pptlSrc ? *pptlSrc : POINTL{trg.left, trg.top};
  RECTL area = RectIntersect(trg, target->pixels.Bounds());
  std::optional<Pixels> source;
  if (readsSource) {
    source = SourceOf(psoSrc);
    const auto xlate = Translator::Of(pxlo);
    if (!source || !pptlSrc || !xlate) return call.Fail(ERROR_INVALID_PARAMETER);
    ops.xlate = *xlate;
    const RECTL readable = source->Bounds();
    const RECTL shifted{readable.left - origin.x + trg.left, readable.top - origin.y + trg.top,
                        readable.right - origin.x + trg.left, readable.bottom - origin.y + trg.top};
    area = RectIntersect(area, shifted);
  }
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, pptlBrush, ops.rop, ops.background, &brush)) return call.Result(FALSE);
  ops.brush = brush ? &*brush : nullptr;
  auto region = VisibleRegion(pco, area);
  if (!region) return call.Result(FALSE);
  if (region->Empty()) return call.Result(TRUE);

  const POINTL shift{origin.x - trg.left, origin.y - trg.top};
  const RECTL ext = region->Extents();
  if (mask) {
    const POINTL at = pptlMask ? *pptlMask : POINTL{0, 0};
    ops.mask = &*mask;
    ops.maskShift = {at.x - origin.x, at.y - origin.y};
  }
  // A straight copy of equal formats moves whole rows.
  if (!mask && ops.rop == 0xCC && ops.xlate.Trivial() && source && source->Bits() == target->pixels.Bits() &&
      source->Bits() >= 8 && !SameBits(psoSrc, psoTrg)) {
    const std::size_t bytes = source->Bits() / 8;
    for (const RECTL& r : region->Rects())
      for (LONG y = r.top; y < r.bottom; ++y)
        std::memcpy(target->pixels.Row(y) + r.left * bytes, source->Row(y + shift.y) + (r.left + shift.x) * bytes,
                    static_cast<std::size_t>(r.right - r.left) * bytes);
    return call.Result(TRUE);
  }
  if (!readsSource && !mask) {
    PaintBrush(*target, *region, nullptr, ops.brush, ops.rop, ops.rop);
    return call.Result(TRUE);
  }
  std::optional<SourceReader> reader;
  if (source) {
    const RECTL read{ext.left + shift.x, ext.top + shift.y, ext.right + shift.x, ext.bottom + shift.y};
    reader.emplace(*source, read, SameBits(psoSrc, psoTrg));
    ops.source = &*reader;
  }
  Compose(ops, *region, [&](LONG x, LONG y, LONG* sx, LONG* sy) {
    *sx = x + shift.x;
    *sy = y + shift.y;
    return true;
  });
  return call.Result(TRUE);
}

// Stretching blits share this: source rectangle onto target rectangle, with mask, brush and key.
BOOL Stretch(RecordCall& call, SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
             RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, ROP4 rop4,
             std::optional<ULONG> key) {
  if (!prclDest || !prclSrc) return call.Fail(ERROR_INVALID_PARAMETER);
  const RECTL dst = Ordered(*prclDest);
  call.Bounds(dst);
  const auto target = TargetOf(psoDest);
  if (!target) return call.Fail(ERROR_INVALID_PARAMETER);
  if (iMode < BLACKONWHITE || iMode > HALFTONE) return call.Fail(ERROR_INVALID_PARAMETER);
  std::optional<Pixels> mask;
  if (!MaskOf(psoMask, &mask)) return call.Result(FALSE);
  BlitOps ops;
  ops.target = &*target;
  ops.rop = static_cast<BYTE>(rop4);
  ops.background = mask ? static_cast<BYTE>(rop4 >> 8) : ops.rop;
  ops.key = key;
  const auto source = SourceOf(psoSrc);
  const auto xlate = Translator::Of(pxlo);
  if (!source || !xlate) return call.Fail(ERROR_INVALID_PARAMETER);
  ops.xlate = *xlate;
  std::optional<BrushSampler> brush;
  if (!BrushFor(pbo, nullptr, ops.rop, ops.background, &brush)) return call.Result(FALSE);
  ops.brush = brush ? &*brush : nullptr;
  const RECTL src = Ordered(*prclSrc);
  if (RectEmpty(dst) || RectEmpty(src)) return call.Result(TRUE);
  auto region = VisibleRegion(pco, RectIntersect(dst, target->pixels.Bounds()));
  if (!region) return call.Result(FALSE);
  if (region->Empty()) return call.Result(TRUE);

  if (iMode == HALFTONE && !mask && ops.rop == 0xCC && !key) {
    // Averaged colours; the source is read whole first, so a source sharing the target's bits is safe too.
    return call.Result(Resample(*target, *region, *source, ops.xlate, *prclDest, *prclSrc));
  }
  const StretchMap map(*prclDest, *prclSrc, region->Extents());
  const SourceReader reader(*source, RectIntersect(src, source->Bounds()), SameBits(psoSrc, psoDest));
  ops.source = &reader;
  if (mask) {
    const POINTL at = pptlMask ? *pptlMask : POINTL{0, 0};
    ops.mask = &*mask;
    ops.maskShift = {at.x - src.left, at.y - src.top};
  }
  Compose(ops, *region, map);
  return call.Result(TRUE);
}

}  // namespace

BOOL EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  RecordCall call("EngBitBlt");
  return BitBlt(call, psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

BOOL EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc) {
  RecordCall call("EngCopyBits");
  return BitBlt(call, psoDest, psoSrc, nullptr, pco, pxlo, prclDest, pptlSrc, nullptr, nullptr, nullptr, 0xCCCC);
}

BOOL EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT*, POINTL*, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
  RecordCall call("EngStretchBlt");
  return Stretch(call, psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrc, pptlMask, iMode, nullptr, 0xAACC,
                 std::nullopt);
}

BOOL EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT*, POINTL*, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode,
                      BRUSHOBJ* pbo, DWORD rop4) {
  RecordCall call("EngStretchBltROP");
  return Stretch(call, psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrc, pptlMask, iMode, pbo, rop4 & 0xFFFF,
                 std::nullopt);
}

BOOL EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG) {
  RecordCall call("EngTransparentBlt");
  const auto source = psoSrc ? Pixels::Of(psoSrc) : std::nullopt;
  const ULONG key = source ? iTransColor & source->ValueMask() : iTransColor;
  return Stretch(call, psoDst, psoSrc, nullptr, pco, pxlo, prclDst, prclSrc, nullptr, COLORONCOLOR, nullptr, 0xCCCC,
                 key);
}

BOOL EngPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo, COLORADJUSTMENT*,
               POINTL*, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl, ULONG iMode) {
  RecordCall call("EngPlgBlt");
  if (!pptfx || !prcl) return call.Fail(ERROR_INVALID_PARAMETER);
  // Corners A (upper left), B (upper right), C (lower left) and D = B + C - A, in pixels.
  const double ax = pptfx[0].x / 16.0, ay = pptfx[0].y / 16.0;
  const double ux = pptfx[1].x / 16.0 - ax, uy = pptfx[1].y / 16.0 - ay;  // along the source's rows
  const double vx = pptfx[2].x / 16.0 - ax, vy = pptfx[2].y / 16.0 - ay;  // down its columns
  const double xs[] = {ax, ax + ux, ax + vx, ax + ux + vx}, ys[] = {ay, ay + uy, ay + vy, ay + uy + vy};
  const RECTL box{static_cast<LONG>(std::floor(*std::min_element(xs, xs + 4))),
                  static_cast<LONG>(std::floor(*std::min_element(ys, ys + 4))),
                  static_cast<LONG>(std::ceil(*std::max_element(xs, xs + 4))),
                  static_cast<LONG>(std::ceil(*std::max_element(ys, ys + 4)))};
  call.Bounds(box);
  const auto target = TargetOf(psoTrg);
  const auto source = SourceOf(psoSrc);
  const auto xlate = Translator::Of(pxlo);
  if (!target || !source || !xlate || iMode < BLACKONWHITE || iMode > HALFTONE)
    return call.Fail(ERROR_INVALID_PARAMETER);
  std::optional<Pixels> mask;
  if (!MaskOf(psoMsk, &mask)) return call.Result(FALSE);
  const RECTL src = Ordered(*prcl);
  const double det = ux * vy - uy * vx;
  if (RectEmpty(src) || !std::isfinite(det) || std::fabs(det) < 1e-9) return call.Result(TRUE);
  auto region = VisibleRegion(pco, RectIntersect(box, target->pixels.Bounds()));
  if (!region) return call.Result(FALSE);
  if (region->Empty()) return call.Result(TRUE);

  BlitOps ops;
  ops.target = &*target;
  ops.xlate = *xlate;
  ops.rop = 0xCC;
  ops.background = mask ? 0xAA : 0xCC;
  const SourceReader reader(*source, RectIntersect(src, source->Bounds()), SameBits(psoSrc, psoTrg));
  ops.source = &reader;
  if (mask) {
    const POINTL at = pptl ? *pptl : POINTL{0, 0};
    ops.mask = &*mask;
    ops.maskShift = {at.x - src.left, at.y - src.top};
  }
  const double w = src.right - src.left, h = src.bottom - src.top;
  Compose(ops, *region, [&](LONG x, LONG y, LONG* sx, LONG* sy) {
    // The target pixel's centre in the parallelogram's own coordinates, 0..1 along each side.
    const double px = x + 0.5 - ax, py = y + 0.5 - ay;
    const double s = (px * vy - py * vx) / det, t = (py * ux - px * uy) / det;
    if (s < 0 || s >= 1 || t < 0 || t >= 1) return false;
    *sx = src.left + std::min(static_cast<LONG>(s * w), src.right - src.left - 1);
    *sy = src.top + std::min(static_cast<LONG>(t * h), src.bottom - src.top - 1);
    return true;
  });
  return call.Result(TRUE);
}
