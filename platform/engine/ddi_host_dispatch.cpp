// Drawing calls routed as the engine routes them: to the driver that hooked the call on its surface, else to the
// engine's own service.
#include "ddi_host_state.h"
#include "win/engine.h"

namespace kq {

namespace {

// The driver entry for a call on `so`: its device's driver must have hooked `hook` on the surface and have the
// entry; the surface's dhpdev names the current PDEV.
template <class F>
F HookedEntry(SURFOBJ* so, FLONG hook, ULONG index) {
  if (!so || !so->hsurf) return nullptr;
  const auto info = QuerySurface(so->hsurf);
  if (!info || !info->hdev || (info->hooks & hook) == 0) return nullptr;
  const auto driver = ddihost::HostState::Current().DeviceDriver(info->hdev);
  return driver ? driver->Entry<F>(index) : nullptr;
}

template <class F, class E, class... A>
BOOL Route(F driverEntry, E engineService, A... args) {
  if (driverEntry) return ddihost::CallEntry(FALSE, driverEntry, args...);
  return engineService(args...);
}

}  // namespace

PFN DriverFunction(HDEV hdev, ULONG index) {
  const auto driver = ddihost::HostState::Current().DeviceDriver(hdev);
  return driver ? driver->Function(index) : nullptr;
}

BOOL DdiBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  return Route(HookedEntry<PFN_DrvBitBlt>(psoTrg, HOOK_BITBLT, INDEX_DrvBitBlt), EngBitBlt, psoTrg, psoSrc, psoMask,
               pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

BOOL DdiCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc) {
  auto entry = HookedEntry<PFN_DrvCopyBits>(psoDest, HOOK_COPYBITS, INDEX_DrvCopyBits);
  if (!entry) entry = HookedEntry<PFN_DrvCopyBits>(psoSrc, HOOK_COPYBITS, INDEX_DrvCopyBits);
  return Route(entry, EngCopyBits, psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc);
}

BOOL DdiStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode) {
  return Route(HookedEntry<PFN_DrvStretchBlt>(psoDest, HOOK_STRETCHBLT, INDEX_DrvStretchBlt), EngStretchBlt,
               psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode);
}

BOOL DdiStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                      ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  return Route(HookedEntry<PFN_DrvStretchBltROP>(psoDest, HOOK_STRETCHBLTROP, INDEX_DrvStretchBltROP),
               EngStretchBltROP, psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask,
               iMode, pbo, rop4);
}

BOOL DdiPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
               COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl, ULONG iMode) {
  return Route(HookedEntry<PFN_DrvPlgBlt>(psoTrg, HOOK_PLGBLT, INDEX_DrvPlgBlt), EngPlgBlt, psoTrg, psoSrc, psoMsk,
               pco, pxlo, pca, pptlBrushOrg, pptfx, prcl, pptl, iMode);
}

BOOL DdiAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj) {
  return Route(HookedEntry<PFN_DrvAlphaBlend>(psoDest, HOOK_ALPHABLEND, INDEX_DrvAlphaBlend), EngAlphaBlend,
               psoDest, psoSrc, pco, pxlo, prclDest, prclSrc, pBlendObj);
}

BOOL DdiTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved) {
  return Route(HookedEntry<PFN_DrvTransparentBlt>(psoDst, HOOK_TRANSPARENTBLT, INDEX_DrvTransparentBlt),
               EngTransparentBlt, psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor, ulReserved);
}

BOOL DdiGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                     PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode) {
  return Route(HookedEntry<PFN_DrvGradientFill>(psoDest, HOOK_GRADIENTFILL, INDEX_DrvGradientFill),
               EngGradientFill, psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents, pptlDitherOrg,
               ulMode);
}

BOOL DdiTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  return Route(HookedEntry<PFN_DrvTextOut>(pso, HOOK_TEXTOUT, INDEX_DrvTextOut), EngTextOut, pso, pstro, pfo, pco,
               prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
}

BOOL DdiLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix) {
  return Route(HookedEntry<PFN_DrvLineTo>(pso, HOOK_LINETO, INDEX_DrvLineTo), EngLineTo, pso, pco, pbo, x1, y1, x2,
               y2, prclBounds, mix);
}

BOOL DdiStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix) {
  return Route(HookedEntry<PFN_DrvStrokePath>(pso, HOOK_STROKEPATH, INDEX_DrvStrokePath), EngStrokePath, pso, ppo,
               pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
}

BOOL DdiFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions) {
  return Route(HookedEntry<PFN_DrvFillPath>(pso, HOOK_FILLPATH, INDEX_DrvFillPath), EngFillPath, pso, ppo, pco, pbo,
               pptlBrushOrg, mix, flOptions);
}

BOOL DdiStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions) {
  return Route(
      HookedEntry<PFN_DrvStrokeAndFillPath>(pso, HOOK_STROKEANDFILLPATH, INDEX_DrvStrokeAndFillPath),
      EngStrokeAndFillPath, pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill, flOptions);
}

}  // namespace kq
