// The two exports through which the engine binds the driver, and the function table they hand out.
#include "function_table.h"

#include <cstring>

namespace {

template <class F>
PFN Fn(F* entry) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(entry));
}

// DRVENABLEDATA: the version, the count and the table pointer.
constexpr ULONG kEnableDataSize = sizeof(DRVENABLEDATA);
static_assert(kEnableDataSize == 16);

}  // namespace

const std::array<DRVFN, kDriverEntryCount> kDriverFunctions = {{
    {INDEX_DrvDisableDriver, Fn(&DrvDisableDriver)},
    {INDEX_DrvEnablePDEV, Fn(&DrvEnablePDEV)},
    {INDEX_DrvResetPDEV, Fn(&DrvResetPDEV)},
    {INDEX_DrvCompletePDEV, Fn(&DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, Fn(&DrvDisablePDEV)},
    {INDEX_DrvEnableSurface, Fn(&DrvEnableSurface)},
    {INDEX_DrvDisableSurface, Fn(&DrvDisableSurface)},
    {INDEX_DrvEscape, Fn(&DrvEscape)},
    {INDEX_DrvLineTo, Fn(&DrvLineTo)},
    {INDEX_DrvStrokePath, Fn(&DrvStrokePath)},
    {INDEX_DrvStrokeAndFillPath, Fn(&DrvStrokeAndFillPath)},
    {INDEX_DrvFillPath, Fn(&DrvFillPath)},
    {INDEX_DrvCopyBits, Fn(&DrvCopyBits)},
    {INDEX_DrvRealizeBrush, Fn(&DrvRealizeBrush)},
    {INDEX_DrvPlgBlt, Fn(&DrvPlgBlt)},
    {INDEX_DrvBitBlt, Fn(&DrvBitBlt)},
    {INDEX_DrvStretchBlt, Fn(&DrvStretchBlt)},
    {INDEX_DrvStretchBltROP, Fn(&DrvStretchBltROP)},
    {INDEX_DrvAlphaBlend, Fn(&DrvAlphaBlend)},
    {INDEX_DrvGradientFill, Fn(&DrvGradientFill)},
    {INDEX_DrvTransparentBlt, Fn(&DrvTransparentBlt)},
    {INDEX_DrvGetGlyphMode, Fn(&DrvGetGlyphMode)},
    {INDEX_DrvTextOut, Fn(&DrvTextOut)},
    {INDEX_DrvSendPage, Fn(&DrvSendPage)},
    {INDEX_DrvStartPage, Fn(&DrvStartPage)},
    {INDEX_DrvStartDoc, Fn(&DrvStartDoc)},
    {INDEX_DrvEndDoc, Fn(&DrvEndDoc)},
    {INDEX_DrvQueryDeviceSupport, Fn(&DrvQueryDeviceSupport)},
}};

extern "C" {

BOOL DrvEnableDriver(ULONG, ULONG cj, DRVENABLEDATA* pded) {
  // The engine's version is not examined: the driver speaks its own and the engine decides.
  if (cj < kEnableDataSize || !pded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pded->iDriverVersion = kDriverDdiVersion;
  pded->c = static_cast<ULONG>(kDriverFunctions.size());
  pded->pdrvfn = const_cast<DRVFN*>(kDriverFunctions.data());
  return TRUE;
}

BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  if (dwMode == DRVQUERY_USERMODE && pBuffer && cbBuf >= sizeof(DWORD)) {
    const DWORD userMode = 1;
    std::memcpy(pBuffer, &userMode, sizeof userMode);
    return TRUE;
  }
  if (pcbNeeded) *pcbNeeded = sizeof(DWORD);
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

void DrvDisableDriver() {}

}  // extern "C"
