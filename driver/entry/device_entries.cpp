// The device and surface entries: the record's bodies (telodrv/device.h) under the catch-all, the engine device's
// completion and the hand-over of the document writer on a reset.
#include "entry_guard.h"
#include "telodrv/device.h"

extern "C" {

DHPDEV DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                     ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver) {
  return GuardEntry("DrvEnablePDEV", DHPDEV{}, [&] {
    return telodrv::DrvEnablePDEV(pdm, pwszLogAddress, cPat, phsurfPatterns, cjCaps, pdevcaps, cjDevInfo, pdi, hdev,
                                  pwszDeviceName, hDriver);
  });
}

// No catch-all: it only stores the handle.
void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  if (DriverPdev* pdev = PdevFromHandle(dhpdev)) pdev->engineDevice = hdev;
}

BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  return GuardEntry("DrvResetPDEV", FALSE, [&]() -> BOOL {
    DriverPdev* from = PdevFromHandle(dhpdevOld);
    DriverPdev* to = PdevFromHandle(dhpdevNew);
    if (!from || !from->writer) return TRUE;
    if (!to) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    // The new device's own DrvEnableSurface replaces the surface handle it takes over here.
    to->writer = std::move(from->writer);
    to->surface = from->surface;
    to->writer->LoadJobSettings(*to);
    return TRUE;
  });
}

void DrvDisablePDEV(DHPDEV dhpdev) {
  GuardVoidEntry("DrvDisablePDEV", [&] { telodrv::DrvDisablePDEV(dhpdev); });
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  return GuardEntry("DrvEnableSurface", HSURF{}, [&] { return telodrv::DrvEnableSurface(dhpdev); });
}

void DrvDisableSurface(DHPDEV dhpdev) {
  GuardVoidEntry("DrvDisableSurface", [&] { telodrv::DrvDisableSurface(dhpdev); });
}

}  // extern "C"
