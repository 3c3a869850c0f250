// The spooler's conversion entry.
#include <cstddef>

#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"
#include "win/spooler.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

extern "C" BOOL DrvConvertDevMode(LPWSTR printerName, PDEVMODEW in, PDEVMODEW out, PLONG size, DWORD mode) {
  if (mode != CDM_DRIVER_DEFAULT && mode != CDM_CONVERT && mode != CDM_CONVERT351) return FALSE;
  if (!size) return Fail(ERROR_INVALID_PARAMETER);
  const auto tooSmall = [&] { return *size < static_cast<LONG>(kDriverDevModeSize); };
  if (mode == CDM_DRIVER_DEFAULT) {
    // Only the size is looked at before the printer.
    if (tooSmall()) {
      *size = kDriverDevModeSize;
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (!out) return Fail(ERROR_INVALID_PARAMETER);
  } else {
    // The records first, then the printer, then the room: a conversion into a record of another version is refused
    // whatever its size. A buffer too small to hold even the version is not read.
    if (!in || !out) return Fail(ERROR_INVALID_PARAMETER);
    if (mode == CDM_CONVERT) {
      constexpr LONG kVersionEnd = offsetof(DEVMODEW, dmSpecVersion) + sizeof(WORD);
      if (*size >= kVersionEnd && out->dmSpecVersion != kDriverVersion) return Fail(ERROR_INVALID_PARAMETER);
    }
  }
  HANDLE printer = nullptr;
  if (!OpenPrinterW(printerName, &printer, nullptr)) return Fail(ERROR_INVALID_PARAMETER);
  // The output record is not written before its size is known to be the record's.
  if (tooSmall()) {
    *size = kDriverDevModeSize;
    ClosePrinter(printer);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  auto* record = reinterpret_cast<DriverDevMode*>(out);
  BuildDefaultDevMode(record, printer);
  if (mode != CDM_DRIVER_DEFAULT) MergeDevMode(record, in, printer);
  ClosePrinter(printer);
  *size = kDriverDevModeSize;
  return TRUE;
}
