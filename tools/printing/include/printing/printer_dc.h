// Opening a printer by name, as a printing program does: the spooler's printer, its driver's library, and the
// settings record the program passes or, when it passes none, the printer's default record. The device context
// that comes out is the engine's application side (win/appgdi.h).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "win/appgdi.h"

namespace kq {

// The printer's default settings record: the driver's defaults from the printer's values (BuildDefaultDevMode).
std::vector<BYTE> PrinterDefaultSettings(HANDLE printer);

// Opens the printer (OpenPrinterW), finds its driver library through the spooler and enables a device with
// `settings`, or with the printer's default record when none is given. The device context keeps the printer open
// until it is closed and numbers its documents from the machine's job counter. Null on failure, with `failure`
// filled and the last error set: ERROR_INVALID_PRINTER_NAME (no such printer), ERROR_UNKNOWN_PRINTER_DRIVER (no
// library recorded for its driver), or the codes of DeviceContext::OpenPrinter.
std::unique_ptr<DeviceContext> OpenPrinterByName(WStringView printerName,
                                                 std::optional<std::span<const BYTE>> settings = std::nullopt,
                                                 DdiFailure* failure = nullptr);

}  // namespace kq
