// A small printer driver for the DDI host's tests. It records every entry it receives in a process-wide log
// (FakeDriverLog) and takes its per-device behaviour from the private part of the settings record, as
// "key=value;key=value":
//   tag=A            the name its log lines carry for this device
//   hooks=0x3A5EF    the hook flags it gives EngAssociateSurface
//   fail=Entry[:n]   the n-th call (default the first) of that entry on this device fails; may repeat
//   throw=Entry      every call of that entry throws a C++ exception
//   bitmap           its surface is a 24-bit bitmap, else a device surface
//   badsurface       DrvEnableSurface returns a handle that is no surface
//   pattern          it supplies its own pattern for the first hatch style
// Variants of the library are built from this file with FAKE_VARIANT (see CMakeLists.txt).
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/winddi.h"

#define FAKE_NORMAL 0
#define FAKE_STRICT 1      // DrvEnableDriver refuses engines older than 0x40000
#define FAKE_NO_ENABLE 2   // no DrvEnableDriver export
#define FAKE_KERNEL 3      // DrvQueryDriverInfo does not report user mode
#define FAKE_NO_DRAWING 4  // the table has no drawing entries
#define FAKE_INCOMPLETE 5  // the table has no DrvSendPage
#ifndef FAKE_VARIANT
#define FAKE_VARIANT FAKE_NORMAL
#endif

namespace {

std::vector<std::string> gLog;

struct Pdev {
  std::string tag = "?";
  FLONG hooks = 0;
  std::multimap<std::string, int> failures;
  std::set<std::string> throws;
  std::map<std::string, int> calls;
  bool bitmap = false;
  bool badSurface = false;
  bool pattern = false;
  HDEV hdev = nullptr;
  HSURF surface = nullptr;
  HSURF ownPattern = nullptr;
  HPALETTE palette = nullptr;
  LONG width = 200;
  LONG height = 100;
};

std::string Narrow(LPCWSTR text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text < 0x80 ? *text : '?');
  return out;
}

void Configure(Pdev& pdev, const std::string& config) {
  std::size_t start = 0;
  while (start <= config.size()) {
    std::size_t end = config.find(';', start);
    if (end == std::string::npos) end = config.size();
    const std::string item = config.substr(start, end - start);
    const std::size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    if (key == "tag") pdev.tag = value;
    if (key == "hooks") pdev.hooks = static_cast<FLONG>(std::stoul(value, nullptr, 16));
    if (key == "fail") {
      const std::size_t colon = value.find(':');
      pdev.failures.emplace(value.substr(0, colon), colon == std::string::npos ? 1 : std::stoi(value.substr(colon + 1)));
    }
    if (key == "throw") pdev.throws.insert(value);
    if (key == "bitmap") pdev.bitmap = true;
    if (key == "badsurface") pdev.badSurface = true;
    if (key == "pattern") pdev.pattern = true;
    start = end + 1;
  }
}

// The private part of the record: the bytes after its public part of dmSize bytes.
std::string PrivatePart(const DEVMODEW* devmode) {
  if (!devmode) return "";
  const auto* bytes = reinterpret_cast<const BYTE*>(devmode);
  const WORD size = static_cast<WORD>(bytes[68] | (bytes[69] << 8));
  const WORD extra = static_cast<WORD>(bytes[70] | (bytes[71] << 8));
  return std::string(reinterpret_cast<const char*>(bytes + size), extra);
}

Pdev* Of(DHPDEV dhpdev) { return reinterpret_cast<Pdev*>(dhpdev); }
Pdev* Of(SURFOBJ* so) { return so ? Of(so->dhpdev) : nullptr; }

// "(a,b,...)" for the log; built by appending, which GCC 12's release build does not misread as overlapping.
std::string Args(std::initializer_list<std::string> parts) {
  std::string out = "(";
  for (const auto& part : parts) {
    if (out.size() > 1) out += ',';
    out += part;
  }
  out += ')';
  return out;
}

// Logs the call; true when this call is to fail.
bool Enter(Pdev* pdev, const std::string& entry, const std::string& args = "") {
  if (!pdev) {
    gLog.push_back("?:" + entry + args);
    return false;
  }
  gLog.push_back(pdev->tag + ":" + entry + args);
  const int n = ++pdev->calls[entry];
  if (pdev->throws.count(entry)) throw std::runtime_error(entry);
  auto [first, last] = pdev->failures.equal_range(entry);
  for (auto it = first; it != last; ++it) {
    if (it->second == n) return true;
  }
  return false;
}

// Surface calls also note a surface that is not the device's own.
bool EnterOn(SURFOBJ* so, const std::string& entry, const std::string& args = "") {
  Pdev* pdev = Of(so);
  const bool own = pdev && so->hsurf == pdev->surface;
  return Enter(pdev, entry, args + (pdev && !own ? "(foreign surface)" : ""));
}

}  // namespace

extern "C" {

std::vector<std::string>* FakeDriverLog() { return &gLog; }

BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  gLog.push_back("DrvQueryDriverInfo");
  if (dwMode != DRVQUERY_USERMODE || !pBuffer || cbBuf < sizeof(DWORD)) {
    if (pcbNeeded) *pcbNeeded = sizeof(DWORD);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *static_cast<DWORD*>(pBuffer) = FAKE_VARIANT == FAKE_KERNEL ? 0 : 1;
  return TRUE;
}

void DrvDisableDriver() { gLog.push_back("DrvDisableDriver"); }

DHPDEV DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                     ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver) {
  auto* pdev = new Pdev;
  Configure(*pdev, PrivatePart(pdm));
  bool patternsEmpty = true;
  for (ULONG i = 0; i < cPat; ++i) patternsEmpty = patternsEmpty && phsurfPatterns[i] == nullptr;
  char args[256];
  std::snprintf(args, sizeof args, "(%s,%s,%s,patterns=%u%s,caps=%u,info=%u,printer=%p)",
                Narrow(pwszDeviceName).c_str(), Narrow(pwszLogAddress).c_str(), pdm ? "devmode" : "no devmode",
                cPat, patternsEmpty ? "" : " filled", cjCaps, cjDevInfo, hDriver);
  bool fail = false;
  try {
    fail = Enter(pdev, "DrvEnablePDEV", args);
  } catch (...) {
    delete pdev;
    throw;
  }
  if (fail || !hdev) {
    delete pdev;
    return nullptr;
  }
  auto* info = reinterpret_cast<GDIINFO*>(pdevcaps);
  info->ulVersion = 0x5001;
  info->ulTechnology = DT_RASPRINTER;
  info->ulHorzRes = static_cast<ULONG>(pdev->width);
  info->ulVertRes = static_cast<ULONG>(pdev->height);
  info->ulLogPixelsX = info->ulLogPixelsY = 300;
  pdev->palette = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  pdi->iDitherFormat = BMF_24BPP;
  pdi->hpalDefault = pdev->palette;
  if (pdev->pattern && cPat > 0) {
    pdev->ownPattern = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{8, 8}, 0, BMF_1BPP, 0, nullptr));
    phsurfPatterns[0] = pdev->ownPattern;
  }
  pdev->hdev = hdev;
  return reinterpret_cast<DHPDEV>(pdev);
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  Enter(Of(dhpdev), "DrvCompletePDEV", hdev == Of(dhpdev)->hdev ? "" : "(other hdev)");
  Of(dhpdev)->hdev = hdev;
}

BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  return !Enter(Of(dhpdevNew), "DrvResetPDEV", Args({Of(dhpdevOld)->tag}));
}

void DrvDisablePDEV(DHPDEV dhpdev) {
  Pdev* pdev = Of(dhpdev);
  Enter(pdev, "DrvDisablePDEV");
  EngDeletePalette(pdev->palette);
  if (pdev->ownPattern) EngDeleteSurface(pdev->ownPattern);
  delete pdev;
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  Pdev* pdev = Of(dhpdev);
  if (Enter(pdev, "DrvEnableSurface")) return nullptr;
  if (pdev->badSurface) return reinterpret_cast<HSURF>(0x1234);
  const SIZEL size{pdev->width, pdev->height};
  HSURF surface = pdev->bitmap
                      ? reinterpret_cast<HSURF>(EngCreateBitmap(size, 0, BMF_24BPP, BMF_TOPDOWN, nullptr))
                      : EngCreateDeviceSurface(reinterpret_cast<DHSURF>(pdev), size, BMF_24BPP);
  if (!surface || !EngAssociateSurface(surface, pdev->hdev, pdev->hooks)) return nullptr;
  pdev->surface = surface;
  return surface;
}

void DrvDisableSurface(DHPDEV dhpdev) {
  Pdev* pdev = Of(dhpdev);
  Enter(pdev, "DrvDisableSurface");
  if (pdev->surface) EngDeleteSurface(pdev->surface);
  pdev->surface = nullptr;
}

BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  return !EnterOn(pso, "DrvStartDoc", Args({Narrow(pwszDocName), std::to_string(dwJobId)}));
}

BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl) {
  return !EnterOn(pso, "DrvEndDoc", fl & ED_ABORTDOC ? "(abort)" : "");
}

BOOL DrvStartPage(SURFOBJ* pso) { return !EnterOn(pso, "DrvStartPage"); }
BOOL DrvSendPage(SURFOBJ* pso) { return !EnterOn(pso, "DrvSendPage"); }

ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
  if (EnterOn(pso, "DrvEscape", Args({std::to_string(iEsc)}))) return DDI_ERROR;
  if (iEsc == QUERYESCSUPPORT) {
    ULONG asked = 0;
    if (cjIn >= sizeof asked) std::memcpy(&asked, pvIn, sizeof asked);
    return asked == 6001 ? 1 : 0;
  }
  if (iEsc == 6001) {
    if (cjOut >= 2) std::memcpy(pvOut, "ok", 2);
    return 1;
  }
  return 0;
}

ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ*) {
  Enter(Of(dhpdev), "DrvGetGlyphMode");
  return FO_PATHOBJ;
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*,
               POINTL*, ROP4) {
  return !EnterOn(psoTrg, "DrvBitBlt");
}
BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) {
  // Either side may be the device's.
  return !EnterOn(Of(psoDest) ? psoDest : psoSrc, "DrvCopyBits");
}
BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, RECTL*,
                   RECTL*, POINTL*, ULONG) {
  return !EnterOn(psoDest, "DrvStretchBlt");
}
BOOL DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, RECTL*,
                      RECTL*, POINTL*, ULONG, BRUSHOBJ*, DWORD) {
  return !EnterOn(psoDest, "DrvStretchBltROP");
}
BOOL DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, POINTFIX*,
               RECTL*, POINTL*, ULONG) {
  return !EnterOn(psoTrg, "DrvPlgBlt");
}
BOOL DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, BLENDOBJ*) {
  return !EnterOn(psoDest, "DrvAlphaBlend");
}
BOOL DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, RECTL*, ULONG, ULONG) {
  return !EnterOn(psoDst, "DrvTransparentBlt");
}
BOOL DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ*, XLATEOBJ*, TRIVERTEX*, ULONG, PVOID, ULONG, RECTL*, POINTL*,
                     ULONG) {
  return !EnterOn(psoDest, "DrvGradientFill");
}
BOOL DrvTextOut(SURFOBJ* pso, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) {
  return !EnterOn(pso, "DrvTextOut");
}
BOOL DrvLineTo(SURFOBJ* pso, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX) {
  return !EnterOn(pso, "DrvLineTo");
}
BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, MIX) {
  return !EnterOn(pso, "DrvStrokePath");
}
BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG) {
  return !EnterOn(pso, "DrvFillPath");
}
BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*, POINTL*,
                          MIX, FLONG) {
  return !EnterOn(pso, "DrvStrokeAndFillPath");
}

#if FAKE_VARIANT != FAKE_NO_ENABLE
BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
  char args[32];
  std::snprintf(args, sizeof args, "(0x%X)", iEngineVersion);
  gLog.push_back(std::string("DrvEnableDriver") + args);
  if (FAKE_VARIANT == FAKE_STRICT && iEngineVersion < 0x40000) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (cj < sizeof(DRVENABLEDATA) || !pded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto fn = [](auto entry) { return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(entry)); };
  static const DRVFN device[] = {
      {INDEX_DrvDisableDriver, fn(DrvDisableDriver)},   {INDEX_DrvEnablePDEV, fn(DrvEnablePDEV)},
      {INDEX_DrvResetPDEV, fn(DrvResetPDEV)},           {INDEX_DrvCompletePDEV, fn(DrvCompletePDEV)},
      {INDEX_DrvDisablePDEV, fn(DrvDisablePDEV)},       {INDEX_DrvEnableSurface, fn(DrvEnableSurface)},
      {INDEX_DrvDisableSurface, fn(DrvDisableSurface)}, {INDEX_DrvEscape, fn(DrvEscape)},
      {INDEX_DrvStartDoc, fn(DrvStartDoc)},             {INDEX_DrvEndDoc, fn(DrvEndDoc)},
      {INDEX_DrvStartPage, fn(DrvStartPage)},           {INDEX_DrvSendPage, fn(DrvSendPage)},
      {INDEX_DrvBitBlt, fn(DrvBitBlt)},                 {INDEX_DrvCopyBits, fn(DrvCopyBits)},
      {INDEX_DrvStretchBlt, fn(DrvStretchBlt)},         {INDEX_DrvStretchBltROP, fn(DrvStretchBltROP)},
      {INDEX_DrvPlgBlt, fn(DrvPlgBlt)},                 {INDEX_DrvAlphaBlend, fn(DrvAlphaBlend)},
      {INDEX_DrvTransparentBlt, fn(DrvTransparentBlt)}, {INDEX_DrvGradientFill, fn(DrvGradientFill)},
      {INDEX_DrvTextOut, fn(DrvTextOut)},               {INDEX_DrvLineTo, fn(DrvLineTo)},
      {INDEX_DrvStrokePath, fn(DrvStrokePath)},         {INDEX_DrvFillPath, fn(DrvFillPath)},
      {INDEX_DrvStrokeAndFillPath, fn(DrvStrokeAndFillPath)}, {INDEX_DrvGetGlyphMode, fn(DrvGetGlyphMode)},
  };
  ULONG count = sizeof device / sizeof device[0];
  if (FAKE_VARIANT == FAKE_NO_DRAWING) count = 12;  // the device, surface, escape, document and page entries
  if (FAKE_VARIANT == FAKE_INCOMPLETE) count = 11;  // all but DrvSendPage
  pded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
  pded->c = count;
  pded->pdrvfn = const_cast<DRVFN*>(device);
  return TRUE;
}
#endif

}  // extern "C"
