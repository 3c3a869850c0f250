// teloui, the printer's configuration module: the six exports the spooler binds by name, and the two rules the
// module's callers and tests use directly. The exports have the signatures of win/winddiui.h.
#pragma once

#include <string>

#include "printer_settings/driver_devmode.h"
#include "win/base.h"
#include "win/prsht.h"
#include "win/winddiui.h"

extern "C" {
LONG DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
LONG DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam);
BOOL DrvConvertDevMode(LPWSTR printerName, PDEVMODEW in, PDEVMODEW out, PLONG size, DWORD mode);
DWORD DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output, PDEVMODEW devmode);
BOOL DevQueryPrintEx(PVOID info);
BOOL DrvPrinterEvent(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam);
}

// What the module does when it is loaded (reason 1) and unloaded (reason 0): it keeps its module handle and
// registers its page templates and strings under it. TRUE.
inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
BOOL TelouiDllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
HINSTANCE TelouiModule();

// Accepts a caller's record into `dst`, which holds the printer's defaults. `src` is read only as far as its own
// sizes say: a public field only when it lies inside its dmSize, the private part (at src + dmSize) only when
// dmDriverExtra is at least the driver's 1716 bytes, and then made safe to read (NormalizePrivate).
void MergeDevMode(DriverDevMode* dst, const DEVMODEW* src, HANDLE printer);

// DC_PAPERS, DC_PAPERSIZE, DC_PAPERNAMES and DC_MEDIAREADY over the printer's forms: the number of forms, with
// `output` filled when given; GDI_ERROR when the forms cannot be read.
DWORD EnumFormCapabilities(HANDLE printer, WORD capability, PVOID output);

// The shell's folder browser, as the General page's Browse button shows it: the chosen folder, or empty.
std::u16string BrowseForFolder(HWND owner);
