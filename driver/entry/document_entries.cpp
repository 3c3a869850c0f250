// The document and page entries: they hand the engine's document and page calls to the device's document writer.
#include "entry_guard.h"
#include "telodrv/driver_pdev.h"

namespace {

DriverPdev* DeviceOf(SURFOBJ* pso) { return pso ? PdevFromHandle(pso->dhpdev) : nullptr; }

BOOL NoDevice() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

}  // namespace

extern "C" {

BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  return GuardEntry("DrvStartDoc", FALSE, [&]() -> BOOL {
    DriverPdev* pdev = DeviceOf(pso);
    if (!pdev) return NoDevice();
    if (!pdev->writer) {
      // The device's first document.
      pdev->writer = std::make_unique<CPDF_DocWriter>();
      pdev->writer->LoadJobSettings(*pdev);
      return pdev->writer->StartDocument(pwszDocName);
    }
    // A document without a job of its own continues the one under way.
    if (dwJobId == 0) return TRUE;
    CPDF_DocWriter& writer = *pdev->writer;
    writer.ResetJob();
    writer.LoadJobSettings(*pdev);
    writer.cancelled = 0;
    return writer.StartDocument(pwszDocName);
  });
}

BOOL DrvStartPage(SURFOBJ* pso) {
  return GuardEntry("DrvStartPage", FALSE, [&]() -> BOOL {
    DriverPdev* pdev = DeviceOf(pso);
    if (!pdev) return NoDevice();
    // A white page for the engine to draw on with the transparent imaging model: what it drew is whitened as the
    // new page draws over it or reads it, and what is left when the page ends.
    if (pdev->settings.priv.GDIPunt) pdev->ink.NewPage(*pso);
    if (pdev->writer) pdev->writer->StartPage();
    return TRUE;
  });
}

BOOL DrvSendPage(SURFOBJ* pso) {
  return GuardEntry("DrvSendPage", FALSE, [&]() -> BOOL {
    DriverPdev* pdev = DeviceOf(pso);
    if (!pdev) return NoDevice();
    pdev->ink.WhitenStale();
    if (pdev->writer) pdev->writer->EndPage(pso);
    return TRUE;
  });
}

// A document the program gave up (ED_ABORTDOC) ends as a failed job: it never replaces the destination.
BOOL DrvEndDoc(SURFOBJ* pso, FLONG flags) {
  return GuardEntry("DrvEndDoc", FALSE, [&]() -> BOOL {
    DriverPdev* pdev = DeviceOf(pso);
    if (!pdev) return NoDevice();
    if (pdev->writer && (flags & ED_ABORTDOC)) {
      pdev->writer->AbortJob();
    } else if (pdev->writer) {
      pdev->writer->EndDocument();
    }
    return TRUE;
  });
}

}  // extern "C"
