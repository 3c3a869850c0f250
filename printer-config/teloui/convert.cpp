// The spooler's conversion entry.
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
  if (mode != CDM_DRIVER_DEFAULT && (!in || !out)) return Fail(ERROR_INVALID_PARAMETER);
  // The output record is neither read nor written before its size is known to be the record's.
  if (*size < static_cast<LONG>(kDriverDevModeSize)) {
    *size = kDriverDevModeSize;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  if (!out) return Fail(ERROR_INVALID_PARAMETER);
  if (mode == CDM_CONVERT && out->dmSpecVersion != kDriverVersion) return Fail(ERROR_INVALID_PARAMETER);
  HANDLE printer = nullptr;
  if (!OpenPrinterW(printerName, &printer, nullptr)) return Fail(ERROR_INVALID_PARAMETER);
  auto* record = reinterpret_cast<DriverDevMode*>(out);
  BuildDefaultDevMode(record, printer);
  if (mode != CDM_DRIVER_DEFAULT) MergeDevMode(record, in, printer);
  ClosePrinter(printer);
  *size = kDriverDevModeSize;
  return TRUE;
}
