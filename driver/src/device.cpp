// The device record: settings, resolution, paper and page size, and the device information handed to the engine.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "printer_settings/printer_values.h"
#include "telodrv/device.h"

namespace {

PaperSize LocaleDefaultPaper() { return IsMetricLocale() ? PaperSize{2970, 2100} : PaperSize{2794, 2159}; }

// The record the driver works on. The driver's own record (the 220-byte public part and at least its 1716-byte
// private part) is taken as it is; anything shorter starts from the printer's defaults and keeps the public fields
// it holds.
void LoadSettingsRecord(DriverDevMode& record, const DEVMODEW* devmode, HANDLE printer) {
  if (devmode && devmode->dmSize == kDriverPublicSize && devmode->dmDriverExtra >= kDriverPrivateSize) {
    std::memcpy(&record, devmode, kDriverDevModeSize);
    return;
  }
  BuildDefaultDevMode(&record, printer);
  if (!devmode) return;
  const DEVMODEW defaults = record.dm;
  const std::size_t held = std::min<std::size_t>(devmode->dmSize, kDriverPublicSize);
  std::memcpy(&record.dm, devmode, held);
  record.dm.dmSpecVersion = defaults.dmSpecVersion;
  record.dm.dmDriverVersion = defaults.dmDriverVersion;
  record.dm.dmSize = defaults.dmSize;
  record.dm.dmDriverExtra = defaults.dmDriverExtra;
  if (held < offsetof(DEVMODEW, dmFields) + sizeof(DWORD)) record.dm.dmFields = defaults.dmFields;
}

void FillDevInfo(DEVINFO& info, HPALETTE palette) {
  info = DEVINFO{};
  info.flGraphicsCaps = kDriverGraphicsCaps;
  info.cFonts = 0;
  info.iDitherFormat = BMF_24BPP;
  info.hpalDefault = palette;
  // JPEG sources pass through into the PDF; PNG sources, which nothing here draws, are not asked for.
  info.flGraphicsCaps2 = GCAPS2_JPEGSRC;
}

void FillGdiInfo(GDIINFO& info, const DriverPdev& pdev) {
  info = GDIINFO{};
  const ULONG dpi = static_cast<ULONG>(pdev.settings.dm.dmPrintQuality);
  const ULONG scale = pdev.settings.dm.dmScale > 0 ? static_cast<ULONG>(pdev.settings.dm.dmScale) : 100;
  const ULONG w = pdev.pageWidth, h = pdev.pageHeight;
  info.ulVersion = kGdiInfoVersion;
  info.ulTechnology = DT_RASPRINTER;
  info.ulHorzSize = static_cast<ULONG>(static_cast<double>(w) / dpi * 25.4 * 100 / scale);
  info.ulVertSize = static_cast<ULONG>(static_cast<double>(h) / dpi * 25.4 * 100 / scale);
  info.ulHorzRes = w;
  info.ulVertRes = h;
  info.cBitsPixel = 24;
  info.cPlanes = 1;
  info.ulNumColors = 512;
  info.ulLogPixelsX = dpi * scale / 100;
  info.ulLogPixelsY = dpi * scale / 100;
  info.ulAspectX = dpi;
  info.ulAspectY = dpi;
  info.ulAspectXY = static_cast<ULONG>(std::sqrt(2.0 * dpi * dpi) + 0.5);
  info.xStyleStep = 1;
  info.yStyleStep = 1;
  info.denStyleStep = static_cast<LONG>(dpi / 3);
  info.szlPhysSize = SIZEL{static_cast<LONG>(w), static_cast<LONG>(h)};
  info.ulDevicePelsDPI = dpi;
}

// Copies a filled record into the engine's buffer, no further than the size the engine gave.
template <class Record>
void CopyBounded(void* out, ULONG outSize, const Record& record) {
  if (out) std::memcpy(out, &record, std::min<std::size_t>(outSize, sizeof(Record)));
}

}  // namespace

SHORT CorrectedResolution(SHORT requested, bool transparent) {
  if (requested < 72) return 300;
  if (transparent && requested > 300) return 300;
  return requested;
}

PaperSize GetPaperSize(HANDLE printer, const DriverDevMode& settings) {
  const DEVMODEW& dm = settings.dm;
  PaperSize paper{dm.dmPaperLength, dm.dmPaperWidth};
  SHORT length = 0, width = 0;
  if ((dm.dmFields & DM_PAPERSIZE) && dm.dmPaperSize >= 1 && dm.dmPaperSize <= 255) {
    if (GetFormByIndex(printer, dm.dmPaperSize, &length, &width, nullptr)) paper = {length, width};
  } else if (dm.dmFields & DM_FORMNAME) {
    // The field need not hold its zero.
    WCHAR name[CCHFORMNAME + 1] = {};
    std::copy_n(dm.dmFormName, CCHFORMNAME, name);
    SHORT paperSize = 0;
    if (GetFormByName(printer, name, &length, &width, &paperSize)) paper = {length, width};
  } else if ((dm.dmFields & DM_PAPERLENGTH) && (dm.dmFields & DM_PAPERWIDTH)) {
    // The record's own size.
  } else {
    paper = LocaleDefaultPaper();
  }
  if (paper.length <= 0 || paper.width <= 0) paper = LocaleDefaultPaper();
  return paper;
}

namespace telodrv {

DHPDEV DrvEnablePDEV(DEVMODEW* devmode, LPWSTR portName, ULONG, HSURF*, ULONG capsSize, ULONG* gdiInfo,
                     ULONG devInfoSize, DEVINFO* devInfo, HDEV hdev, LPWSTR deviceName, HANDLE printer) {
  auto pdev = std::make_unique<DriverPdev>();
  DriverDevMode& settings = pdev->settings;
  LoadSettingsRecord(settings, devmode, printer);

  const bool transparent = settings.priv.GDIPunt != 0;
  settings.dm.dmPrintQuality = CorrectedResolution(settings.dm.dmPrintQuality, transparent);
  settings.dm.dmYResolution = CorrectedResolution(settings.dm.dmYResolution, transparent);

  pdev->deviceName = deviceName ? kq::WString(deviceName) : kq::WString();
  pdev->engineDevice = hdev;
  pdev->printer = printer;
  pdev->portName = portName ? kq::WString(portName) : kq::WString();

  const PaperSize paper = GetPaperSize(printer, settings);
  settings.dm.dmPaperLength = static_cast<SHORT>(paper.length);
  settings.dm.dmPaperWidth = static_cast<SHORT>(paper.width);
  const double dpi = settings.dm.dmPrintQuality;
  pdev->pageWidth = static_cast<std::uint32_t>(settings.dm.dmPaperWidth / 10.0 / 25.4 * dpi);
  pdev->pageHeight = static_cast<std::uint32_t>(settings.dm.dmPaperLength / 10.0 / 25.4 * dpi);
  if (settings.dm.dmOrientation == DMORIENT_LANDSCAPE) std::swap(pdev->pageWidth, pdev->pageHeight);

  pdev->palette = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  if (!pdev->palette) return nullptr;
  DEVINFO info;
  FillDevInfo(info, pdev->palette);
  CopyBounded(devInfo, devInfoSize, info);
  GDIINFO caps;
  FillGdiInfo(caps, *pdev);
  CopyBounded(gdiInfo, capsSize, caps);
  return HandleFromPdev(pdev.release());
}

void DrvDisablePDEV(DHPDEV dhpdev) { delete PdevFromHandle(dhpdev); }

}  // namespace telodrv

DriverPdev::~DriverPdev() {
  writer.reset();
  if (palette) EngDeletePalette(palette);
}
