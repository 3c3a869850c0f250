// The device's surface: a device surface in vector mode, a white 24-bit page bitmap with the transparent imaging
// model.
#include <cstring>
#include <limits>

#include "telodrv/device.h"
#include "telodrv/driver_texts.h"
#include "telodrv/worker_dialogs.h"

namespace {

// The page bitmap, white, or null when the engine will not make one of this size (its sizes are computed in 64
// bits; a page whose rows or bytes do not fit the engine's records is refused here).
HSURF CreatePageBitmap(const DriverPdev& pdev) {
  const ULONGLONG stride = PageBitmapStride(pdev.pageWidth);
  constexpr ULONGLONG kMaxLong = static_cast<ULONGLONG>(std::numeric_limits<LONG>::max());
  if (pdev.pageWidth == 0 || pdev.pageHeight == 0 || pdev.pageWidth > kMaxLong || pdev.pageHeight > kMaxLong ||
      stride > kMaxLong || stride * pdev.pageHeight > std::numeric_limits<ULONG>::max()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const SIZEL size{static_cast<LONG>(pdev.pageWidth), static_cast<LONG>(pdev.pageHeight)};
  // Whitened here in one pass: the engine's zeroing would be a second.
  HBITMAP bitmap = EngCreateBitmap(size, static_cast<LONG>(stride), BMF_24BPP, BMF_TOPDOWN | BMF_NOZEROINIT, nullptr);
  if (!bitmap) return nullptr;
  const HSURF surface = reinterpret_cast<HSURF>(bitmap);
  SURFOBJ* bits = EngLockSurface(surface);
  if (!bits) {
    EngDeleteSurface(surface);
    return nullptr;
  }
  std::memset(bits->pvBits, 0xFF, bits->cjBits);
  EngUnlockSurface(bits);
  return surface;
}

}  // namespace

namespace telodrv {

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  DriverPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HSURF surface = nullptr;
  if (pdev->settings.priv.GDIPunt) {
    surface = CreatePageBitmap(*pdev);
    pdev->ink.Clear();
    if (!surface) {
      MessageBoxOnWorkerThreadW(nullptr, kPageTooLargeMessage, kDriverCaption, MB_OK | MB_SETFOREGROUND);
      // The page is converted in vector mode; the writer's copy of the option follows the record's.
      pdev->settings.priv.GDIPunt = 0;
      if (pdev->writer) pdev->writer->gdiPunt = 0;
    }
  }
  if (!surface) {
    const SIZEL size{static_cast<LONG>(pdev->pageWidth), static_cast<LONG>(pdev->pageHeight)};
    surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(pdev), size, BMF_24BPP);
    if (!surface) return nullptr;
  }
  if (!EngAssociateSurface(surface, pdev->engineDevice, kDriverHooks)) {
    const DWORD error = GetLastError();
    EngDeleteSurface(surface);
    SetLastError(error);
    return nullptr;
  }
  pdev->surface = surface;
  return surface;
}

void DrvDisableSurface(DHPDEV dhpdev) {
  DriverPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev || !pdev->surface) return;
  EngDeleteSurface(pdev->surface);
  pdev->surface = nullptr;
  pdev->ink.Clear();
}

}  // namespace telodrv
