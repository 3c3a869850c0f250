// The engine's drawing services and its path, clip, brush and colour-translation objects are not built yet. Each
// entry fails with ERROR_CALL_NOT_IMPLEMENTED (an accessor also answers "nothing"), so a driver links against the
// whole interface and learns of the gap at run time instead of drawing wrongly.
#include "win/winddi.h"

namespace {

BOOL NotYet() {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

}  // namespace

BOOL EngBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*, POINTL*,
               ROP4) {
  return NotYet();
}
BOOL EngCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { return NotYet(); }
BOOL EngStretchBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*,
                   POINTL*, ULONG) {
  return NotYet();
}
BOOL EngStretchBltROP(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, RECTL*, RECTL*,
                      POINTL*, ULONG, BRUSHOBJ*, DWORD) {
  return NotYet();
}
BOOL EngPlgBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, POINTFIX*, RECTL*,
               POINTL*, ULONG) {
  return NotYet();
}
BOOL EngAlphaBlend(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, BLENDOBJ*) { return NotYet(); }
BOOL EngTransparentBlt(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, ULONG, ULONG) { return NotYet(); }
BOOL EngGradientFill(SURFOBJ*, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG, RECTL*, POINTL*, ULONG) {
  return NotYet();
}
BOOL EngTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) {
  return NotYet();
}
BOOL EngLineTo(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX) { return NotYet(); }
BOOL EngStrokePath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, MIX) {
  return NotYet();
}
BOOL EngFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG) { return NotYet(); }
BOOL EngStrokeAndFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*, MIX,
                          FLONG) {
  return NotYet();
}

void EngDeletePath(PATHOBJ*) { NotYet(); }
void PATHOBJ_vEnumStart(PATHOBJ*) { NotYet(); }
BOOL PATHOBJ_bEnum(PATHOBJ*, PATHDATA* ppd) {
  if (ppd) *ppd = PATHDATA{};
  return NotYet();
}
void PATHOBJ_vGetBounds(PATHOBJ*, RECTFX* prectfx) {
  if (prectfx) *prectfx = RECTFX{};
  NotYet();
}
PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ*) {
  NotYet();
  return nullptr;
}

ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ*) {
  NotYet();
  return 0xFFFFFFFF;
}
PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ*, ULONG) {
  NotYet();
  return nullptr;
}
PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ*) {
  NotYet();
  return nullptr;
}

ULONG XLATEOBJ_iXlate(XLATEOBJ*, ULONG) {
  NotYet();
  return 0;
}
