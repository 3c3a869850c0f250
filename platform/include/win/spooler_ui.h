// The spooler's calls that reach a printer driver's configuration module: the module is the library recorded for
// the printer's driver (its "configuration file"), bound by name as the engine binds a graphics driver library
// (win/ddihost.h: FindDriverLibrary), loaded for the call and released after it. Also the forms a user adds, and
// whether the machine's user may administer printers.
#pragma once

#include "win/base.h"
#include "win/devmode.h"
#include "win/spooler.h"
#include "win/winddiui.h"

// The document properties of a printer through its module's DrvDocumentPropertySheets. Mode 0: the size of the
// printer's settings record. DM_IN_PROMPT: the document property sheet is shown (caption "<printer> Printing
// Preferences"), and the answer is IDOK or IDCANCEL as the person closed it. Otherwise IDOK when the module built
// the record. `deviceName` may be null (the printer's name is used). Below 0 when the module cannot be loaded or
// fails; the last error says why.
LONG DocumentPropertiesW(HWND owner, HANDLE printer, LPWSTR deviceName, PDEVMODEW out, PDEVMODEW in, DWORD mode);
// The printer's own property sheet (DrvDevicePropertySheets; caption "<printer> Properties"): TRUE when the person
// closed it with OK.
BOOL PrinterProperties(HWND owner, HANDLE printer);
// One capability of the printer `device` through DrvDeviceCapabilities; -1 when the printer or its module cannot
// be reached or the module answers GDI_ERROR.
int DeviceCapabilitiesW(LPCWSTR device, LPCWSTR port, WORD capability, LPWSTR output, const DEVMODEW* devmode);
// Level 1: a user form (FORM_USER; sizes in thousandths of a millimetre), added after the forms there are.
// ERROR_FILE_EXISTS for a name that is taken (ignoring case), ERROR_ACCESS_DENIED without
// PRINTER_ACCESS_ADMINISTER, ERROR_INVALID_PARAMETER for a form without a name or with a size below 1.
BOOL AddFormW(HANDLE printer, DWORD level, LPBYTE form);

namespace kq {

// The configuration module of the virtual printer's driver.
inline constexpr WCHAR kVirtualPrinterConfigLibrary[] = u"libteloui.so";

// Records the configuration module of a printer driver: a file name or a path. ERROR_INVALID_PARAMETER for an
// empty name or library.
DWORD SetPrinterDriverConfigFile(Machine& machine, WStringView driverName, WStringView library);
// ERROR_UNKNOWN_PRINTER_DRIVER when none is recorded for the driver.
DWORD PrinterDriverConfigFile(Machine& machine, WStringView driverName, WString* library);

// The conversion the spooler makes with the module's DrvConvertDevMode, for the printer of that name. FALSE with
// the module's last error, or ERROR_INVALID_PRINTER_NAME / ERROR_MOD_NOT_FOUND when it cannot be reached.
BOOL ConvertDevModeThroughDriver(LPCWSTR printerName, PDEVMODEW in, PDEVMODEW out, PLONG size, DWORD mode);

// Whether the machine's user may open printers for administration (PRINTER_ACCESS_ADMINISTER, and so
// PRINTER_ALL_ACCESS); on a new machine it may. Opening a printer for more than the user may fails with
// ERROR_ACCESS_DENIED.
void SetUserMayAdministerPrinters(Machine& machine, bool may);
bool UserMayAdministerPrinters(Machine& machine);

}  // namespace kq
