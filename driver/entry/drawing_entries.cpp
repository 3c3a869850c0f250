// The drawing entries. Their converters come later; until then each entry is in the table, runs under the
// catch-all and answers TRUE without drawing, as an entry answers for a call it does not draw. Text is asked for as
// glyph handles.
#include "entry_guard.h"
#include "win/winddi.h"

namespace {

BOOL DrawsNothing(const char* entryName) {
  return GuardEntry(entryName, FALSE, [] { return TRUE; });
}

}  // namespace

extern "C" {

BOOL DrvLineTo(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX) {
  return DrawsNothing("DrvLineTo");
}

BOOL DrvStrokePath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, MIX) {
  return DrawsNothing("DrvStrokePath");
}

BOOL DrvStrokeAndFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*, MIX,
                          FLONG) {
  return DrawsNothing("DrvStrokeAndFillPath");
}

BOOL DrvFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG) { return DrawsNothing("DrvFillPath"); }

BOOL DrvCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return DrawsNothing("DrvCopyBits"); }

BOOL DrvPlgBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, POINTFIX*, RECTL*,
               POINTL*, ULONG) {
  return DrawsNothing("DrvPlgBlt");
}

BOOL DrvBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
               ROP4) {
  return DrawsNothing("DrvBitBlt");
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

BOOL DrvTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) {
  return DrawsNothing("DrvTextOut");
}

// No catch-all of its own.
ULONG DrvGetGlyphMode(DHPDEV, FONTOBJ*) { return FO_HGLYPHS; }

}  // extern "C"
