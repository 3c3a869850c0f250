// The graphics engine's DDI host: it binds a printer driver library, enables the driver's devices (PDEV and
// surface) and calls the driver's entries by their DDI index in the engine's order; drawing calls go to the driver
// where it hooked them on its surface and to the engine's own Eng* services otherwise. The driver runs in the
// calling process. Host objects act on the machine they were made on, whatever the calling thread's binding, and
// the host keeps no state beyond its objects and that machine. The application side (win/appgdi.h) is built on it.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win/machine.h"
#include "win/winddi.h"

namespace kq {

// What went wrong, for the one who asked: the platform's error code (also left as the thread's last error) and a
// sentence that names the library or entry.
struct DdiFailure {
  DWORD code = 0;
  std::string message;
};

// The folders a driver named without a folder is looked up in, in order: the folder of the platform library (the
// build's lib folder), then the program's folder.
std::vector<std::filesystem::path> DriverSearchFolders();
// A driver library's file: a name with a folder part is taken as the path it is; a bare file name is looked up in
// DriverSearchFolders. Nothing when there is no such file.
std::optional<std::filesystem::path> FindDriverLibrary(const std::filesystem::path& nameOrPath);

// A driver library bound by the engine: the table of entries its DrvEnableDriver gave, by DDI index.
class DriverLibrary {
 public:
  // The engine's DDI version, handed to DrvEnableDriver.
  static constexpr ULONG kEngineVersion = DDI_DRIVER_VERSION_NT5_01;

  // Loads and binds the library on the current machine: DrvQueryDriverInfo must report a user-mode driver and
  // DrvEnableDriver must give a table with the device, surface, document and page entries. A library already bound
  // on the machine is shared, so DrvEnableDriver runs once per machine while the library stays bound. Null on
  // failure, with `failure` filled and the last error set:
  //   ERROR_MOD_NOT_FOUND   no such file
  //   ERROR_BAD_EXE_FORMAT  not a loadable library
  //   ERROR_PROC_NOT_FOUND  DrvQueryDriverInfo or DrvEnableDriver is not exported
  //   ERROR_NOT_SUPPORTED   not a user-mode driver, or DrvEnableDriver refused the engine's version
  //   ERROR_BAD_FORMAT      the table is unusable (older than DDI_DRIVER_VERSION_NT4, or a required entry missing)
  static std::shared_ptr<DriverLibrary> Load(const std::filesystem::path& nameOrPath, DdiFailure* failure = nullptr);
  // DrvDisableDriver when the driver has it, then the library is unloaded.
  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  const std::filesystem::path& Path() const;
  ULONG DriverVersion() const;
  const std::shared_ptr<Machine>& OwnMachine() const;
  // The entry of a DDI index; null when the table has none.
  PFN Function(ULONG index) const;
  template <class F>
  F Entry(ULONG index) const {
    // Through the one function type that converts to every other without a warning.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(Function(index)));
  }

  struct Impl;

 private:
  explicit DriverLibrary(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// What enabling a device hands the driver besides the settings record's bytes.
struct DeviceSetup {
  WString deviceName;          // the printer's name (pwszDeviceName)
  WString port;                // the logical address (pwszLogAddress)
  std::vector<BYTE> devmode;   // the DEVMODEW record with its private part; empty: none (the driver's defaults)
  HANDLE printer = nullptr;    // the spooler's printer handle (hDriver)
};

// Checks a settings record before a driver reads it: it must hold at least the header up to dmDriverExtra and be
// as long as its dmSize plus dmDriverExtra say. An empty record passes (it means none).
bool ValidDevmode(std::span<const BYTE> devmode);

// One enabled driver device: its PDEV, the engine's device record (HDEV) and its surface. The document and page
// calls are made one to one; the order and the failure rules of a printing program are the application side's.
class DdiDevice {
 public:
  // DrvEnablePDEV (with the record, the names, the GDIINFO and DEVINFO buffers, the pattern table and the printer
  // handle), DrvCompletePDEV with the engine's HDEV, DrvEnableSurface. Null on failure, with `failure` filled and
  // the last error set (ERROR_INVALID_PARAMETER for a malformed record); a PDEV that was enabled is disabled again.
  static std::unique_ptr<DdiDevice> Enable(std::shared_ptr<DriverLibrary> driver, const DeviceSetup& setup,
                                           DdiFailure* failure = nullptr);
  // Disable().
  ~DdiDevice();
  DdiDevice(const DdiDevice&) = delete;
  DdiDevice& operator=(const DdiDevice&) = delete;

  // DrvDisableSurface when the device has a surface, then DrvDisablePDEV; the engine's own records go. Again:
  // nothing.
  void Disable();
  bool Enabled() const;

  const DriverLibrary& Driver() const;
  Machine& OwnMachine() const;
  HDEV Hdev() const;
  DHPDEV Dhpdev() const;
  // Null when the device has no surface (once disabled, or when a reset could not enable the new one).
  HSURF Surface() const;
  // The drawing calls the driver hooked on its surface (EngAssociateSurface).
  FLONG Hooks() const;
  // What DrvEnablePDEV filled in.
  const GDIINFO& GdiInfo() const;
  const DEVINFO& DevInfo() const;
  // The standard fill patterns by hatch style: the driver's where it supplied one, else the engine's own 8 x 8
  // one-bit bitmaps (set bits are the hatch lines), which the device deletes when it is disabled.
  const std::array<HSURF, HS_DDI_MAX>& Patterns() const;

  // The entries on the device's surface. FALSE without calling the driver when the device has no surface; a
  // failed entry leaves its last error (ERROR_GEN_FAILURE when it set none).
  BOOL StartDoc(WStringView documentName, DWORD jobId);
  BOOL StartPage();
  BOOL SendPage();
  BOOL EndDoc(FLONG flags);
  // DrvEscape; 0 when the driver has no DrvEscape, DDI_ERROR without a surface.
  ULONG Escape(ULONG escape, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
  // DrvGetGlyphMode; FO_GLYPHBITS when the driver has none.
  ULONG GetGlyphMode(FONTOBJ* font);

  // A settings change: DrvEnablePDEV and DrvCompletePDEV for the new settings, DrvResetPDEV(old, new), then
  // DrvEnableSurface on the new device, DrvDisableSurface and DrvDisablePDEV on the old one. When the new device
  // cannot be enabled or DrvResetPDEV fails, the new one is disabled again and the old one stays as it was (false).
  // When the new surface cannot be enabled the device is left without one (false).
  bool Reset(const DeviceSetup& setup, DdiFailure* failure = nullptr);

  struct Pdev;

 private:
  DdiDevice(std::shared_ptr<DriverLibrary> driver, std::unique_ptr<Pdev> pdev);
  std::shared_ptr<DriverLibrary> driver_;
  std::unique_ptr<Pdev> pdev_;
};

// The driver entry of an enabled device, for engine services that call back into the driver (brush realisation,
// glyph modes); null when the device is unknown on the current machine or its table has no such entry.
PFN DriverFunction(HDEV hdev, ULONG index);

// Drawing calls as the engine routes them on the current machine: to the driver of the target surface's device
// when the driver hooked the call on that surface and its table has the entry (DrvCopyBits also when the source is
// such a surface), else to the engine's Eng* service of the same name. Arguments are those of the Eng* service.
BOOL DdiBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4);
BOOL DdiCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                 POINTL* pptlSrc);
BOOL DdiStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                   COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                   ULONG iMode);
BOOL DdiStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                      COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                      ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
BOOL DdiPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
               COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl, ULONG iMode);
BOOL DdiAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                   RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL DdiTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                       RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL DdiGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                     PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode);
BOOL DdiTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
BOOL DdiLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix);
BOOL DdiStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix);
BOOL DdiFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions);
BOOL DdiStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions);

}  // namespace kq
