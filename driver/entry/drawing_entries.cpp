// The drawing entries, each under the catch-all. Lines, paths, solid rectangles and text go to their bodies in
// telodrv_core; the image and gradient entries come with their converters and until then answer TRUE without
// drawing, as an entry answers for a call it does not draw.
#include "entry_guard.h"
#include "telodrv/draw_entries.h"
#include "win/winddi.h"

namespace {

BOOL DrawsNothing(const char* entryName) {
  return GuardEntry(entryName, FALSE, [] { return TRUE; });
}

}  // namespace

extern "C" {

BOOL DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix) {
  return GuardEntry("DrvLineTo", FALSE,
                    [&] { return telodrv::DrvLineTo(pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix); });
}

BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix) {
  return GuardEntry("DrvStrokePath", FALSE, [&] {
    return telodrv::DrvStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
  });
}

BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions) {
  return GuardEntry("DrvStrokeAndFillPath", FALSE, [&] {
    return telodrv::DrvStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                                         flOptions);
  });
}

BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions) {
  return GuardEntry("DrvFillPath", FALSE, [&] {
    return telodrv::DrvFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
  });
}

BOOL DrvCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return DrawsNothing("DrvCopyBits"); }

BOOL DrvPlgBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, POINTFIX*, RECTL*,
               POINTL*, ULONG) {
  return DrawsNothing("DrvPlgBlt");
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  return GuardEntry("DrvBitBlt", FALSE, [&] {
    return telodrv::DrvBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
  });
}

BOOL DrvStretchBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*,
                   POINTL*, ULONG) {
  return DrawsNothing("DrvStretchBlt");
}

BOOL DrvStretchBltROP(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*,
                      POINTL*, ULONG, BRUSHOBJ*, DWORD) {
  return DrawsNothing("DrvStretchBltROP");
}

BOOL DrvAlphaBlend(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, BLENDOBJ*) {
  return DrawsNothing("DrvAlphaBlend");
}

BOOL DrvGradientFill(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG, RECTL*, POINTL*, ULONG) {
  return DrawsNothing("DrvGradientFill");
}

BOOL DrvTransparentBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, ULONG, ULONG) {
  return DrawsNothing("DrvTransparentBlt");
}

BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  return GuardEntry("DrvTextOut", FALSE, [&] {
    return telodrv::DrvTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
  });
}

// No catch-all of its own.
ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ* pfo) { return telodrv::DrvGetGlyphMode(dhpdev, pfo); }

}  // extern "C"
