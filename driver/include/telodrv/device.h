// The device and its surface: building the device record from the settings record (resolution, paper, page size in
// pixels), the device information handed to the engine, and the page surface (a device surface in vector mode, a
// 24-bit page bitmap with the transparent imaging model).
//
// These are the bodies of the engine's device and surface entries. They report what the engine is told (NULL or
// nothing) and may throw (a failed allocation); the exported entries of the driver's function table call them
// inside the catch-all that reports such faults. What they allocate is freed when they throw.
#pragma once

#include "printer_settings/driver_devmode.h"
#include "telodrv/driver_pdev.h"
#include "win/winddi.h"

// The drawing calls the driver hooks on its surface: bit blit, stretch blit, parallelogram blit, text out, stroke,
// fill, stroke and fill, line to, copy bits, stretch blit with ROP, transparent blit, alpha blend, gradient fill.
inline constexpr FLONG kDriverHooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_PLGBLT | HOOK_TEXTOUT | HOOK_STROKEPATH |
                                      HOOK_FILLPATH | HOOK_STROKEANDFILLPATH | HOOK_LINETO | HOOK_COPYBITS |
                                      HOOK_STRETCHBLTROP | HOOK_TRANSPARENTBLT | HOOK_ALPHABLEND | HOOK_GRADIENTFILL;
static_assert(kDriverHooks == 0x3A5EF);
inline constexpr FLONG kDriverGraphicsCaps = 0x5120A73F;
inline constexpr ULONG kGdiInfoVersion = 0x5001;

// The page bitmap's row stride for a width in pixels: 3 bytes a pixel, rounded up to a multiple of 4.
constexpr ULONGLONG PageBitmapStride(ULONGLONG width) { return (3 * width + 3) & ~ULONGLONG{3}; }

inline constexpr WCHAR kPageTooLargeMessage[] =
    u"The page size is too large to support transparent imaging model.\n"
    u"If there are transparent effects in your document, they will get lost.";

// Paper length and width in 0.1 mm.
struct PaperSize {
  LONG length = 0;
  LONG width = 0;
};

// The paper of a settings record: the printer's form by index (DM_PAPERSIZE, 1..255, in the order of EnumFormsW),
// else by name (DM_FORMNAME, ignoring ASCII case), else the record's own length and width (DM_PAPERLENGTH and
// DM_PAPERWIDTH), else A4 (2970 x 2100) in a metric locale and Letter (2794 x 2159) otherwise. A form lookup that
// finds nothing keeps the record's values; a length or width of 0 or below then gives the locale's default paper.
PaperSize GetPaperSize(HANDLE printer, const DriverDevMode& settings);

// The device resolution the driver works at: below 72 (the negative device-independent values included) 300; with
// the transparent imaging model at most 300.
SHORT CorrectedResolution(SHORT requested, bool transparent);

namespace telodrv {

// Builds the device record: the first 1936 bytes of `devmode` (a null record, or one shorter than the driver's own,
// starts from the printer's defaults and keeps the public fields it holds), the resolution and paper rules, the
// page size in pixels, then DEVINFO (with a new PAL_RGB default palette, kept in the record) and GDIINFO, each filled
// up to the size the engine gives. Patterns are not used. The record, or NULL when the engine's palette cannot be
// made.
DHPDEV DrvEnablePDEV(DEVMODEW* devmode, LPWSTR portName, ULONG patternCount, HSURF* patterns, ULONG capsSize,
                     ULONG* gdiInfo, ULONG devInfoSize, DEVINFO* devInfo, HDEV hdev, LPWSTR deviceName,
                     HANDLE printer);
// Frees the record with its document writer and palette. A null device: nothing.
void DrvDisablePDEV(DHPDEV dhpdev);

// The device's surface, associated with the engine device with kDriverHooks. With the transparent imaging model a
// white 24-bit page bitmap; when the engine will not make it (a page too large), a message box on a worker thread
// says so, transparent imaging is turned off for the device (the record's and the writer's GDIPunt) and a device
// surface is made instead, as in vector mode. NULL when the engine refuses the device surface.
HSURF DrvEnableSurface(DHPDEV dhpdev);
// Deletes the device's surface.
void DrvDisableSurface(DHPDEV dhpdev);

}  // namespace telodrv
