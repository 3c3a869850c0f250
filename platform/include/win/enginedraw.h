// The engine's drawing into bitmaps, seen from the engine's side: what it needs to know of a surface beyond its
// bits, and the record of the Eng... drawing calls made on a machine, for tests.
#pragma once

#include <string>
#include <vector>

#include "win/machine.h"
#include "win/winddi.h"

namespace kq {

// The colours of a surface's pixels, for the drawing that mixes colours (alpha blending, gradients without a
// translation, halftoned stretching). Without one the format decides: black and white for 1 bit, the sixteen
// standard colours for 4, a colour cube and a grey ramp for 8, 5-5-5 for 16, and PAL_RGB (the value is the
// colour, 0x00BBGGRR) for 24 and 32. FALSE with ERROR_INVALID_HANDLE for an unknown surface or palette.
BOOL SetSurfacePalette(HSURF hsurf, HPALETTE hpal);
// The style step of cosmetic lines on a surface, as the device's GDIINFO gives it (xStyleStep, yStyleStep,
// denStyleStep): a pixel advances a style by step / denominator units. 1, 1, 1 unless set; FALSE with
// ERROR_INVALID_PARAMETER for a value below 1.
BOOL SetSurfaceStyleStep(HSURF hsurf, LONG xStep, LONG yStep, LONG denominator);

struct EngineCall {
  std::string name;  // "EngBitBlt", "EngFillPath", ...
  RECTL bounds;      // the area the call draws (target rectangle, path or glyph bounds), before clipping
  BOOL result;
};

// The most recent calls, oldest first; a machine keeps the last kEngineCallRecordLimit.
inline constexpr std::size_t kEngineCallRecordLimit = 4096;
std::vector<EngineCall> EngineCalls(Machine& machine);
void ClearEngineCalls(Machine& machine);

}  // namespace kq
