// The graphics engine's own side of its objects, for the parts of the platform that play the engine (the DDI host,
// the application side) and for tests: the per-machine engine settings, the engine's device records, and read-only
// views of surfaces and palettes. Drivers use win/winddi.h only.
#pragma once

#include <optional>
#include <vector>

#include "win/machine.h"
#include "win/winddi.h"

namespace kq {

// ---- Engine settings (per machine) ----

// The largest bitmap, in bytes of bits, that EngCreateBitmap makes on a machine; larger requests fail with
// ERROR_NOT_ENOUGH_MEMORY.
inline constexpr ULONGLONG kDefaultEngineBitmapLimit = 1ull << 30;
ULONGLONG EngineBitmapLimit(Machine& machine);
void SetEngineBitmapLimit(Machine& machine, ULONGLONG bytes);

// ---- Device records ----
// The engine keeps one record per enabled driver device: the HDEV it hands DrvEnablePDEV and DrvCompletePDEV, and
// the driver's DHPDEV, which surfaces associated with the device carry in SURFOBJ::dhpdev. They act on the
// current machine.
HDEV CreateEngineDevice();
// Records the driver's device for `hdev` (what DrvEnablePDEV returned); FALSE for an unknown handle.
BOOL SetEngineDevicePdev(HDEV hdev, DHPDEV dhpdev);
BOOL DeleteEngineDevice(HDEV hdev);

// ---- Views ----
struct SurfaceInfo {
  HDEV hdev = nullptr;  // the associated device, null before EngAssociateSurface
  FLONG hooks = 0;      // the drawing calls the driver hooked
  USHORT type = 0;      // STYPE_BITMAP or STYPE_DEVICE
  ULONG locks = 0;      // EngLockSurface calls not yet unlocked
};
std::optional<SurfaceInfo> QuerySurface(HSURF hsurf);

struct PaletteInfo {
  ULONG mode = 0;  // PAL_INDEXED, PAL_BITFIELDS, PAL_RGB or PAL_BGR
  std::vector<ULONG> colors;  // PAL_INDEXED
  FLONG red = 0, green = 0, blue = 0;  // PAL_BITFIELDS masks
};
std::optional<PaletteInfo> QueryPalette(HPALETTE hpal);

}  // namespace kq
