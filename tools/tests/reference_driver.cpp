// A reference printer driver for the end-to-end tests: its surface is a 24-bit page bitmap, it hooks no drawing,
// so the engine draws everything itself, and each page it is sent goes to a binary PPM file. Its port names the
// page and the file: "WIDTHxHEIGHT@DPI:PATH" (page N of the document goes to PATH with "-N" before ".ppm").
#include <cstdio>
#include <cstring>
#include <string>

#include "win/winddi.h"

namespace {

struct Pdev {
  LONG width = 0, height = 0, dpi = 0;
  std::string path;
  int page = 0;
  HDEV hdev = nullptr;
  HSURF surface = nullptr;
  HPALETTE palette = nullptr;
};

Pdev* Of(DHPDEV dhpdev) { return reinterpret_cast<Pdev*>(dhpdev); }

std::string Narrow(LPWSTR text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text);
  return out;
}

}  // namespace

extern "C" {

BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  if (dwMode != DRVQUERY_USERMODE || !pBuffer || cbBuf < sizeof(DWORD)) {
    if (pcbNeeded) *pcbNeeded = sizeof(DWORD);
    return FALSE;
  }
  *static_cast<DWORD*>(pBuffer) = 1;
  return TRUE;
}

void DrvDisableDriver() {}

DHPDEV DrvEnablePDEV(DEVMODEW*, LPWSTR pwszLogAddress, ULONG, HSURF*, ULONG, ULONG* pdevcaps, ULONG, DEVINFO* pdi,
                     HDEV hdev, LPWSTR, HANDLE) {
  auto* pdev = new Pdev;
  const std::string port = Narrow(pwszLogAddress);
  int used = 0;
  if (std::sscanf(port.c_str(), "%dx%d@%d:%n", &pdev->width, &pdev->height, &pdev->dpi, &used) != 3 || used == 0) {
    delete pdev;
    return nullptr;
  }
  pdev->path = port.substr(static_cast<std::size_t>(used));
  pdev->hdev = hdev;
  auto* info = reinterpret_cast<GDIINFO*>(pdevcaps);
  info->ulVersion = 0x5001;
  info->ulTechnology = DT_RASPRINTER;
  info->ulHorzRes = static_cast<ULONG>(pdev->width);
  info->ulVertRes = static_cast<ULONG>(pdev->height);
  info->ulLogPixelsX = info->ulLogPixelsY = static_cast<ULONG>(pdev->dpi);
  info->cBitsPixel = 24;
  info->cPlanes = 1;
  info->xStyleStep = info->yStyleStep = 1;
  info->denStyleStep = pdev->dpi / 3;
  pdev->palette = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  pdi->iDitherFormat = BMF_24BPP;
  pdi->hpalDefault = pdev->palette;
  return reinterpret_cast<DHPDEV>(pdev);
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) { Of(dhpdev)->hdev = hdev; }

void DrvDisablePDEV(DHPDEV dhpdev) {
  EngDeletePalette(Of(dhpdev)->palette);
  delete Of(dhpdev);
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  Pdev* pdev = Of(dhpdev);
  HSURF surface =
      reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{pdev->width, pdev->height}, 0, BMF_24BPP, BMF_TOPDOWN, nullptr));
  if (!surface || !EngAssociateSurface(surface, pdev->hdev, 0)) return nullptr;
  pdev->surface = surface;
  return surface;
}

void DrvDisableSurface(DHPDEV dhpdev) {
  if (Of(dhpdev)->surface) EngDeleteSurface(Of(dhpdev)->surface);
  Of(dhpdev)->surface = nullptr;
}

BOOL DrvStartDoc(SURFOBJ*, LPWSTR, DWORD) { return TRUE; }
BOOL DrvEndDoc(SURFOBJ*, FLONG) { return TRUE; }

BOOL DrvStartPage(SURFOBJ* pso) {
  for (LONG y = 0; y < pso->sizlBitmap.cy; ++y)
    std::memset(static_cast<BYTE*>(pso->pvScan0) + static_cast<std::ptrdiff_t>(y) * pso->lDelta, 0xFF,
                static_cast<std::size_t>(pso->sizlBitmap.cx) * 3);
  return TRUE;
}

BOOL DrvSendPage(SURFOBJ* pso) {
  Pdev* pdev = Of(pso->dhpdev);
  std::string path = pdev->path;
  const std::string page = "-" + std::to_string(++pdev->page);
  const auto dot = path.rfind(".ppm");
  path.insert(dot == std::string::npos ? path.size() : dot, page);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return FALSE;
  std::fprintf(out, "P6\n%d %d\n255\n", static_cast<int>(pso->sizlBitmap.cx), static_cast<int>(pso->sizlBitmap.cy));
  // The page's pixels are red, green, blue: a PPM row as it stands.
  for (LONG y = 0; y < pso->sizlBitmap.cy; ++y)
    std::fwrite(static_cast<BYTE*>(pso->pvScan0) + static_cast<std::ptrdiff_t>(y) * pso->lDelta, 3,
                static_cast<std::size_t>(pso->sizlBitmap.cx), out);
  return std::fclose(out) == 0;
}

BOOL DrvEnableDriver(ULONG, ULONG cj, DRVENABLEDATA* pded) {
  if (cj < sizeof(DRVENABLEDATA) || !pded) return FALSE;
  auto fn = [](auto entry) { return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(entry)); };
  static const DRVFN device[] = {
      {INDEX_DrvDisableDriver, fn(DrvDisableDriver)},   {INDEX_DrvEnablePDEV, fn(DrvEnablePDEV)},
      {INDEX_DrvCompletePDEV, fn(DrvCompletePDEV)},     {INDEX_DrvDisablePDEV, fn(DrvDisablePDEV)},
      {INDEX_DrvEnableSurface, fn(DrvEnableSurface)},   {INDEX_DrvDisableSurface, fn(DrvDisableSurface)},
      {INDEX_DrvStartDoc, fn(DrvStartDoc)},             {INDEX_DrvEndDoc, fn(DrvEndDoc)},
      {INDEX_DrvStartPage, fn(DrvStartPage)},           {INDEX_DrvSendPage, fn(DrvSendPage)},
  };
  pded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
  pded->c = sizeof device / sizeof device[0];
  pded->pdrvfn = const_cast<DRVFN*>(device);
  return TRUE;
}

}  // extern "C"
