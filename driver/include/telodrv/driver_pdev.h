// The driver's device record (PDEV): one per enabled device, made by DrvEnablePDEV and freed by DrvDisablePDEV.
// The engine hands it back as the DHPDEV of every device call and of every surface associated with the device.
#pragma once

#include <cstdint>
#include <memory>

#include "pdf/doc_writer.h"
#include "telodrv/page_ink.h"
#include "printer_settings/driver_devmode.h"
#include "win/base.h"
#include "win/winddi.h"

struct DriverPdev {
  DriverPdev() = default;
  // Frees the document writer (which ends its job's dialog and thread) and deletes the palette.
  ~DriverPdev();
  DriverPdev(const DriverPdev&) = delete;
  DriverPdev& operator=(const DriverPdev&) = delete;

  // The job's settings record, with its resolution and paper corrected.
  DriverDevMode settings{};
  // The engine's device: the handle given to DrvEnablePDEV, replaced by DrvCompletePDEV's.
  HDEV engineDevice = nullptr;
  kq::WString portName;
  kq::WString deviceName;
  // The spooler's printer handle (hDriver), for the printer values and forms.
  HANDLE printer = nullptr;
  HSURF surface = nullptr;
  // Made by the first DrvStartDoc, handed on by DrvResetPDEV.
  std::unique_ptr<CPDF_DocWriter> writer;
  // The page in device pixels (after the orientation).
  std::uint32_t pageWidth = 0;
  std::uint32_t pageHeight = 0;
  // The default palette handed to the engine.
  HPALETTE palette = nullptr;
  // What the engine drew into the page bitmap since it was white (transparent imaging model).
  telodrv::PageInk ink;
};

inline DriverPdev* PdevFromHandle(DHPDEV dhpdev) { return reinterpret_cast<DriverPdev*>(dhpdev); }
inline DHPDEV HandleFromPdev(DriverPdev* pdev) { return reinterpret_cast<DHPDEV>(pdev); }
