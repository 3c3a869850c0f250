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
//   args             drawing entries log what their objects hold (clip, brush, path, pen, string, source, ...)
//   glyphmode=N      the answer of DrvGetGlyphMode (default FO_PATHOBJ)
//   bgr              its palette is PAL_BGR (default PAL_RGB)
//   jpeg             it reports that it takes JPEG sources (GCAPS2_JPEGSRC)
//   stylestep=X,Y,D  the style step of cosmetic lines it reports
// Variants of the library are built from this file with FAKE_VARIANT (see CMakeLists.txt).
#include <cstdio>
#include <cstring>
#include <functional>
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
  bool args = false;
  bool bgr = false;
  bool jpeg = false;
  ULONG glyphMode = FO_PATHOBJ;
  LONG styleStep[3] = {0, 0, 0};
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
    if (key == "args") pdev.args = true;
    if (key == "bgr") pdev.bgr = true;
    if (key == "jpeg") pdev.jpeg = true;
    if (key == "glyphmode") pdev.glyphMode = static_cast<ULONG>(std::stoul(value));
    if (key == "stylestep")
      std::sscanf(value.c_str(), "%d,%d,%d", &pdev.styleStep[0], &pdev.styleStep[1], &pdev.styleStep[2]);
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


// ---- What the drawing entries' objects hold, for drivers configured with "args" ----

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string Hex(ULONG v) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", v);
  return text;
}

std::string Rect(const RECTL* r) {
  if (!r) return "null";
  return std::to_string(r->left) + "," + std::to_string(r->top) + "," + std::to_string(r->right) + "," +
         std::to_string(r->bottom);
}

std::string Point(POINTFIX p) { return Num(p.x / 16.0) + "," + Num(p.y / 16.0); }

// M x,y L x,y C x,y x,y x,y Z, from the records.
std::string Path(PATHOBJ* ppo) {
  if (!ppo) return "null";
  std::string out;
  PATHOBJ_vEnumStart(ppo);
  for (int guard = 0; guard < 10000; ++guard) {
    PATHDATA pd{};
    const BOOL more = PATHOBJ_bEnum(ppo, &pd);
    for (ULONG i = 0; i < pd.count;) {
      if (!out.empty()) out += " ";
      if (i == 0 && (pd.flags & PD_BEGINSUBPATH)) {
        out += "M" + Point(pd.pptfx[i++]);
        continue;
      }
      if ((pd.flags & PD_BEZIERS) && i + 2 < pd.count) {
        out += "C" + Point(pd.pptfx[i]) + " " + Point(pd.pptfx[i + 1]) + " " + Point(pd.pptfx[i + 2]);
        i += 3;
      } else {
        out += "L" + Point(pd.pptfx[i++]);
      }
      if (i == pd.count && (pd.flags & PD_CLOSEFIGURE)) out += " Z";
    }
    if (!more) break;
  }
  return out;
}

std::string Clip(CLIPOBJ* pco) {
  if (!pco) return "null";
  switch (pco->iDComplexity) {
    case DC_TRIVIAL: return "trivial";
    case DC_RECT: return "rect(" + Rect(&pco->rclBounds) + ")";
    default: {
      std::string out = "complex(" + Rect(&pco->rclBounds) + ";";
      PATHOBJ* outline = CLIPOBJ_ppoGetPath(pco);
      out += Path(outline) + ")";
      EngDeletePath(outline);
      return out;
    }
  }
}

// A solid brush's colour; other brushes are realised, as a driver that paints them would.
std::string Brush(BRUSHOBJ* pbo) {
  if (!pbo) return "null";
  const ULONG color = BRUSHOBJ_ulGetBrushColor(pbo);
  if (color != 0xFFFFFFFF) return Hex(color);
  return BRUSHOBJ_pvGetRbrush(pbo) ? "pattern(realized)" : "pattern";
}

std::string Pen(LINEATTRS* la) {
  if (!la) return "null";
  std::string out;
  const bool geometric = la->fl & LA_GEOMETRIC;
  if (geometric) {
    out = "geometric(w=" + Num(la->elWidth.e) + ",join=" + std::to_string(la->iJoin) +
          ",cap=" + std::to_string(la->iEndCap) + ",miter=" + Num(la->eMiterLimit);
  } else {
    out = "cosmetic(w=" + std::to_string(la->elWidth.l);
  }
  if (la->cstyle && la->pstyle) {
    out += ",style=";
    for (ULONG i = 0; i < la->cstyle; ++i)
      out += (i ? " " : "") + (geometric ? Num(la->pstyle[i].e) : std::to_string(la->pstyle[i].l));
  }
  return out + ")";
}

std::string Xform(XFORMOBJ* pxo) {
  if (!pxo) return "null";
  XFORML m{};
  XFORMOBJ_iGetXform(pxo, &m);
  return Num(m.eM11) + " " + Num(m.eM12) + " " + Num(m.eM21) + " " + Num(m.eM22) + " " + Num(m.eDx) + " " +
         Num(m.eDy);
}

// A table's entries, or what the translation makes of pure red, green and blue.
std::string Xlate(XLATEOBJ* pxlo) {
  if (!pxlo) return "null";
  if (pxlo->flXlate & XO_TABLE) {
    std::string out = "table[";
    for (ULONG i = 0; i < pxlo->cEntries; ++i) out += (i ? " " : "") + Hex(pxlo->pulXlate[i]);
    return out + "]";
  }
  if (pxlo->flXlate & XO_TRIVIAL) return "trivial";
  return "convert[" + Hex(XLATEOBJ_iXlate(pxlo, 0x0000FF)) + " " + Hex(XLATEOBJ_iXlate(pxlo, 0x00FF00)) + " " +
         Hex(XLATEOBJ_iXlate(pxlo, 0xFF0000)) + "]";
}

std::string Source(SURFOBJ* so) {
  if (!so) return "null";
  std::string out = "fmt" + std::to_string(so->iBitmapFormat) + ":" + std::to_string(so->sizlBitmap.cx) + "x" +
                    std::to_string(so->sizlBitmap.cy);
  if (so->iBitmapFormat == BMF_JPEG) out += ":" + std::to_string(so->cjBits) + "bytes";
  return out;
}

// The glyphs' handles and origins, and how many came with outlines.
std::string String(STROBJ* pstro) {
  if (!pstro) return "null";
  std::string out = "[";
  ULONG count = 0;
  GLYPHPOS* pos = nullptr;
  STROBJ_vEnumStart(pstro);
  for (BOOL more = TRUE; more;) {
    more = STROBJ_bEnumPositionsOnly(pstro, &count, &pos);
    for (ULONG i = 0; i < count; ++i)
      out += (out.size() > 1 ? " " : "") + std::to_string(pos[i].hg) + "@" + std::to_string(pos[i].ptl.x) + "," +
             std::to_string(pos[i].ptl.y);
    if (count == 0) break;
  }
  int outlines = 0;
  STROBJ_vEnumStart(pstro);
  for (BOOL more = TRUE; more;) {
    more = STROBJ_bEnum(pstro, &count, &pos);
    for (ULONG i = 0; i < count; ++i) outlines += pos[i].pgdf && pos[i].pgdf->ppo;
    if (count == 0) break;
  }
  return out + "],outlines=" + std::to_string(outlines) + ",box=" + Rect(&pstro->rclBkGround);
}

std::string Mix(ULONG mix) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", mix);
  return text;
}

// The arguments of a drawing entry when the device logs them.
std::string Args(SURFOBJ* so, const std::function<std::string()>& describe) {
  const Pdev* pdev = Of(so);
  return pdev && pdev->args ? "(" + describe() + ")" : "";
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
  info->xStyleStep = pdev->styleStep[0];
  info->yStyleStep = pdev->styleStep[1];
  info->denStyleStep = pdev->styleStep[2];
  pdev->palette = EngCreatePalette(pdev->bgr ? PAL_BGR : PAL_RGB, 0, nullptr, 0, 0, 0);
  pdi->iDitherFormat = BMF_24BPP;
  pdi->flGraphicsCaps2 = pdev->jpeg ? GCAPS2_JPEGSRC : 0;
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
  return Of(dhpdev)->glyphMode;
}

BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ*, XLATEOBJ* pxlo, ULONG iHatch) {
  const std::string args = "(hatch=" + std::to_string(iHatch) + ",pattern=" + Source(psoPattern) + ",xlate=" +
                           Xlate(pxlo) + ")";
  if (EnterOn(psoTarget, "DrvRealizeBrush", args)) return FALSE;
  return BRUSHOBJ_pvAllocRbrush(pbo, 16) != nullptr;
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL*, BRUSHOBJ* pbo, POINTL*, ROP4 rop4) {
  return !EnterOn(psoTrg, "DrvBitBlt", Args(psoTrg, [&] {
    const std::string at = pptlSrc ? "@" + std::to_string(pptlSrc->x) + "," + std::to_string(pptlSrc->y) : "";
    return "rop=" + Mix(rop4) + ",rect=" + Rect(prclTrg) + ",clip=" + Clip(pco) + ",brush=" + Brush(pbo) +
           ",src=" + Source(psoSrc) + at + ",mask=" + Source(psoMask) + ",xlate=" + Xlate(pxlo);
  }));
}
BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) {
  // Either side may be the device's.
  return !EnterOn(Of(psoDest) ? psoDest : psoSrc, "DrvCopyBits");
}
BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ*, CLIPOBJ* pco, XLATEOBJ* pxlo, COLORADJUSTMENT*,
                   POINTL*, RECTL* prclDest, RECTL* prclSrc, POINTL*, ULONG iMode) {
  return !EnterOn(psoDest, "DrvStretchBlt", Args(psoDest, [&] {
    return "dest=" + Rect(prclDest) + ",src=" + Source(psoSrc) + "[" + Rect(prclSrc) + "],clip=" + Clip(pco) +
           ",xlate=" + Xlate(pxlo) + ",mode=" + std::to_string(iMode);
  }));
}
BOOL DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ*, CLIPOBJ* pco, XLATEOBJ* pxlo, COLORADJUSTMENT*,
                      POINTL*, RECTL* prclDest, RECTL* prclSrc, POINTL*, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  return !EnterOn(psoDest, "DrvStretchBltROP", Args(psoDest, [&] {
    return "rop=" + Mix(rop4) + ",dest=" + Rect(prclDest) + ",src=" + Source(psoSrc) + "[" + Rect(prclSrc) +
           "],clip=" + Clip(pco) + ",xlate=" + Xlate(pxlo) + ",mode=" + std::to_string(iMode) + ",brush=" + Brush(pbo);
  }));
}
BOOL DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*, POINTL*, POINTFIX*,
               RECTL*, POINTL*, ULONG) {
  return !EnterOn(psoTrg, "DrvPlgBlt");
}
BOOL DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest, RECTL* prclSrc,
                   BLENDOBJ* pBlendObj) {
  return !EnterOn(psoDest, "DrvAlphaBlend", Args(psoDest, [&] {
    const BLENDFUNCTION f = pBlendObj ? pBlendObj->BlendFunction : BLENDFUNCTION{};
    return "dest=" + Rect(prclDest) + ",src=" + Source(psoSrc) + "[" + Rect(prclSrc) + "],clip=" + Clip(pco) +
           ",xlate=" + Xlate(pxlo) + ",blend=" + std::to_string(f.BlendOp) + "," + std::to_string(f.BlendFlags) +
           "," + std::to_string(f.SourceConstantAlpha) + "," + std::to_string(f.AlphaFormat);
  }));
}
BOOL DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG) {
  return !EnterOn(psoDst, "DrvTransparentBlt", Args(psoDst, [&] {
    return "dest=" + Rect(prclDst) + ",src=" + Source(psoSrc) + "[" + Rect(prclSrc) + "],clip=" + Clip(pco) +
           ",xlate=" + Xlate(pxlo) + ",key=" + Hex(iTransColor);
  }));
}
BOOL DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex, PVOID pMesh,
                     ULONG nMesh, RECTL* prclExtents, POINTL*, ULONG ulMode) {
  return !EnterOn(psoDest, "DrvGradientFill", Args(psoDest, [&] {
    std::string out = "mode=" + std::to_string(ulMode) + ",extents=" + Rect(prclExtents) + ",clip=" + Clip(pco) +
                      ",xlate=" + Xlate(pxlo) + ",vertices=[";
    for (ULONG i = 0; i < nVertex; ++i) {
      char v[64];
      std::snprintf(v, sizeof v, "%s%d,%d:%04X%04X%04X", i ? " " : "", pVertex[i].x, pVertex[i].y, pVertex[i].Red,
                    pVertex[i].Green, pVertex[i].Blue);
      out += v;
    }
    out += "],mesh=[";
    const auto* indices = static_cast<const ULONG*>(pMesh);
    const ULONG per = ulMode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
    for (ULONG i = 0; i < nMesh * per; ++i) out += (i == 0 ? "" : i % per ? "-" : " ") + std::to_string(indices[i]);
    return out + "]";
  }));
}
BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL*, MIX mix) {
  return !EnterOn(pso, "DrvTextOut", Args(pso, [&] {
    return "glyphs=" + String(pstro) + ",font=" + (pfo ? std::to_string(pfo->sizLogResPpi.cy) + "dpi" : "null") +
           ",clip=" + Clip(pco) + ",extra=" + Rect(prclExtra) + ",opaque=" + Rect(prclOpaque) + ",fore=" +
           Brush(pboFore) + ",back=" + Brush(pboOpaque) + ",mix=" + Mix(mix);
  }));
}
BOOL DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix) {
  return !EnterOn(pso, "DrvLineTo", Args(pso, [&] {
    return std::to_string(x1) + "," + std::to_string(y1) + "-" + std::to_string(x2) + "," + std::to_string(y2) +
           ",bounds=" + Rect(prclBounds) + ",clip=" + Clip(pco) + ",brush=" + Brush(pbo) + ",mix=" + Mix(mix);
  }));
}
BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL*,
                   LINEATTRS* plineattrs, MIX mix) {
  return !EnterOn(pso, "DrvStrokePath", Args(pso, [&] {
    return "path=" + Path(ppo) + ",clip=" + Clip(pco) + ",xform=" + Xform(pxo) + ",brush=" + Brush(pbo) +
           ",pen=" + Pen(plineattrs) + ",mix=" + Mix(mix);
  }));
}
BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL*, MIX mix, FLONG flOptions) {
  return !EnterOn(pso, "DrvFillPath", Args(pso, [&] {
    return "path=" + Path(ppo) + ",clip=" + Clip(pco) + ",brush=" + Brush(pbo) + ",mix=" + Mix(mix) +
           ",options=" + std::to_string(flOptions);
  }));
}
BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL*, MIX mixFill, FLONG flOptions) {
  return !EnterOn(pso, "DrvStrokeAndFillPath", Args(pso, [&] {
    return "path=" + Path(ppo) + ",clip=" + Clip(pco) + ",xform=" + Xform(pxo) + ",stroke=" + Brush(pboStroke) +
           ",pen=" + Pen(plineattrs) + ",fill=" + Brush(pboFill) + ",mix=" + Mix(mixFill) +
           ",options=" + std::to_string(flOptions);
  }));
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
      {INDEX_DrvRealizeBrush, fn(DrvRealizeBrush)},
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
