// The bitmap and gradient entries: stretches, copies, parallelograms, alpha and colour-keyed blits and gradient
// fills, as images and shadings in vector mode, or drawn by the engine into the page bitmap with the touched area
// left to the raster fallback in transparent mode (a JPEG copied as it is both passes through and reaches the
// bitmap).
#include <algorithm>
#include <cmath>

#include "draw_target.h"
#include "telodrv/draw_entries.h"

namespace telodrv {

namespace {

// A 28.4 fixed-point coordinate in whole pixels, rounded down or up.
LONG FloorPixel(FIX value) { return static_cast<LONG>(std::floor(value / 16.0)); }
LONG CeilPixel(FIX value) { return static_cast<LONG>(std::ceil(value / 16.0)); }

// The box of the parallelogram's four corners A, B, C and D = B + C - A, in whole pixels holding it.
RECTL ParallelogramBox(const POINTFIX* p) {
  const std::int64_t dx = std::int64_t{p[1].x} + p[2].x - p[0].x;
  const std::int64_t dy = std::int64_t{p[1].y} + p[2].y - p[0].y;
  const auto clampFix = [](std::int64_t v) {
    return static_cast<FIX>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  const FIX xs[4] = {p[0].x, p[1].x, p[2].x, clampFix(dx)};
  const FIX ys[4] = {p[0].y, p[1].y, p[2].y, clampFix(dy)};
  return RECTL{FloorPixel(*std::min_element(xs, xs + 4)), FloorPixel(*std::min_element(ys, ys + 4)),
               CeilPixel(*std::max_element(xs, xs + 4)), CeilPixel(*std::max_element(ys, ys + 4))};
}

// The shape the stretch, copy, alpha and colour-key entries share: the destination's clip; in vector mode the image
// of the source rectangle unless `drawsImage` says no; in transparent mode the engine's drawing
// (`engineDraw(source, xlate)`) and a dirty rectangle, or a compressed source's own way, where `copies` says
// whether the blit shows the source as it is.
template <class EngineDraw>
BOOL SourceRectEntry(const Target& target, SURFOBJ* page, SURFOBJ* source, CLIPOBJ* clip, XLATEOBJ* xlate,
                     const RECTL& dest, const RECTL& src, bool drawsImage, bool copies, EngineDraw engineDraw) {
  CPDF_DocWriter& writer = *target.writer;
  const RECTL bounds = Normalized(dest);
  writer.EmitClip(page, clip, &bounds);
  const auto image = [&] {
    if (drawsImage) writer.DrawBitmap(source, xlate, dest, src);
  };
  if (!target.transparent) {
    image();
    return TRUE;
  }
  const auto draw = [&](SURFOBJ* from, XLATEOBJ* translation) {
    Inking(target, bounds);
    ReadingSource(target, from);
    engineDraw(from, translation);
  };
  if (DrawCompressedSource(target, page, source, copies && drawsImage, bounds, image, draw)) return TRUE;
  draw(source, xlate);
  writer.AddDirtyRect(dest);
  return TRUE;
}

}  // namespace

BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode) {
  const auto target = TargetOf(psoDest);
  if (!target || !prclDest || !prclSrc) return TRUE;
  return SourceRectEntry(*target, psoDest, psoSrc, pco, pxlo, *prclDest, *prclSrc, true, !psoMask,
                         [&](SURFOBJ* source, XLATEOBJ* xlate) {
                           EngStretchBlt(psoDest, source, psoMask, pco, xlate, pca, pptlHTOrg, prclDest, prclSrc,
                                         pptlMask, iMode);
                         });
}

BOOL DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                      ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  const auto target = TargetOf(psoDest);
  if (!target || !prclDest || !prclSrc) return TRUE;
  if (target->ignoreBackground && UsesDestination(rop4)) return TRUE;
  const DWORD kind = (rop4 >> 2) & 7;
  const bool copies = !psoMask && (rop4 & 0xFFFF) == 0xCCCC;
  return SourceRectEntry(*target, psoDest, psoSrc, pco, pxlo, *prclDest, *prclSrc, kind != 3 && kind != 4, copies,
                         [&](SURFOBJ* source, XLATEOBJ* xlate) {
                           EngStretchBltROP(psoDest, source, psoMask, pco, xlate, pca, pptlHTOrg, prclDest, prclSrc,
                                            pptlMask, iMode, pbo, rop4);
                         });
}

BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, POINTL* pptlSrc) {
  const auto target = TargetOf(psoDest);
  if (!target || !prclDest || !pptlSrc) return TRUE;
  const RECTL bounds = Normalized(*prclDest);
  const RECTL from{pptlSrc->x, pptlSrc->y, pptlSrc->x + (bounds.right - bounds.left),
                   pptlSrc->y + (bounds.bottom - bounds.top)};
  return SourceRectEntry(
      *target, psoDest, psoSrc, pco, pxlo, *prclDest, from, true, true,
      [&](SURFOBJ* source, XLATEOBJ* xlate) { EngCopyBits(psoDest, source, pco, xlate, prclDest, pptlSrc); });
}

BOOL DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo, COLORADJUSTMENT* pca,
               POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl, ULONG iMode) {
  const auto target = TargetOf(psoTrg);
  if (!target || !pptfx || !prcl) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  const RECTL box = ParallelogramBox(pptfx);
  writer.EmitClip(psoTrg, pco, &box);
  const auto image = [&] {
    const POINTL corners[3] = {{pptfx[0].x / 16, pptfx[0].y / 16},
                               {pptfx[1].x / 16, pptfx[1].y / 16},
                               {pptfx[2].x / 16, pptfx[2].y / 16}};
    writer.DrawParallelogramImage(psoSrc, psoMsk, pxlo, corners, *prcl);
  };
  const auto engineDraw = [&](SURFOBJ* source, XLATEOBJ* xlate) {
    Inking(*target, box);
    ReadingSource(*target, source);
    EngPlgBlt(psoTrg, source, psoMsk, pco, xlate, pca, pptlBrushOrg, pptfx, prcl, pptl, iMode);
  };
  if (!target->transparent) {
    image();
    return TRUE;
  }
  if (DrawCompressedSource(*target, psoTrg, psoSrc, !psoMsk, box, image, engineDraw)) return TRUE;
  engineDraw(psoSrc, pxlo);
  writer.AddDirtyRect(box);
  return TRUE;
}

BOOL DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, RECTL* prclSrc,
                   BLENDOBJ* pBlendObj) {
  const auto target = TargetOf(psoDest);
  if (!target || !prclDest || !prclSrc || target->ignoreBackground) return TRUE;
  // A blend at full strength without per-pixel alpha shows the source as it is.
  const bool copies = pBlendObj && pBlendObj->BlendFunction.SourceConstantAlpha == 255 &&
                      !(pBlendObj->BlendFunction.AlphaFormat & AC_SRC_ALPHA);
  return SourceRectEntry(*target, psoDest, psoSrc, pco, pxlo, *prclDest, *prclSrc, true, copies,
                         [&](SURFOBJ* source, XLATEOBJ* xlate) {
                           EngAlphaBlend(psoDest, source, pco, xlate, prclDest, prclSrc, pBlendObj);
                         });
}

BOOL DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst, RECTL* prclSrc,
                       ULONG iTransColor, ULONG ulReserved) {
  const auto target = TargetOf(psoDst);
  if (!target || !prclDst || !prclSrc || target->ignoreBackground) return TRUE;
  return SourceRectEntry(*target, psoDst, psoSrc, pco, pxlo, *prclDst, *prclSrc, true, false,
                         [&](SURFOBJ* source, XLATEOBJ* xlate) {
                           EngTransparentBlt(psoDst, source, pco, xlate, prclDst, prclSrc, iTransColor, ulReserved);
                         });
}

BOOL DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex, PVOID pMesh,
                     ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode) {
  const auto target = TargetOf(psoDest);
  if (!target || !prclExtents || target->ignoreBackground) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  if (writer.cancelled) return TRUE;
  const RECTL bounds = Normalized(*prclExtents);
  writer.EmitClip(psoDest, pco, &bounds);
  if (!target->transparent) {
    writer.GradientFill(pVertex, nVertex, pMesh, nMesh, *prclExtents, ulMode);
    return TRUE;
  }
  Inking(*target, bounds);
  EngGradientFill(psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents, pptlDitherOrg, ulMode);
  writer.AddDirtyRect(*prclExtents);
  return TRUE;
}

}  // namespace telodrv
