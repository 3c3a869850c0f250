// The print spooler: local printers (name, driver, port), printer handles with access rights, printer data under
// keys such as "PrinterDriverData", and the forms, kept in the machine's database beside the registry. Printer
// and key names are compared ignoring ASCII case; printer data is kept byte for byte with its type.
//
// A printer handle is a handle of this process that keeps to the machine it was opened on. Calls that answer
// BOOL set the last error; the printer-data calls answer the error code itself.
#pragma once

#include "win/base.h"
#include "win/devmode.h"

namespace kq {
class Machine;
}

using ACCESS_MASK = DWORD;
using PSECURITY_DESCRIPTOR = void*;

// ---- Access rights ----
inline constexpr ACCESS_MASK PRINTER_ACCESS_ADMINISTER = 0x00000004;
inline constexpr ACCESS_MASK PRINTER_ACCESS_USE = 0x00000008;
inline constexpr ACCESS_MASK PRINTER_ALL_ACCESS = 0x000F000C;
inline constexpr ACCESS_MASK PRINTER_READ = 0x00020008;
inline constexpr ACCESS_MASK PRINTER_WRITE = 0x00020008;
inline constexpr ACCESS_MASK PRINTER_EXECUTE = 0x00020008;

// ---- EnumPrintersW ----
inline constexpr DWORD PRINTER_ENUM_DEFAULT = 0x00000001;
inline constexpr DWORD PRINTER_ENUM_LOCAL = 0x00000002;
inline constexpr DWORD PRINTER_ENUM_CONNECTIONS = 0x00000004;
inline constexpr DWORD PRINTER_ENUM_NAME = 0x00000008;
inline constexpr DWORD PRINTER_ENUM_REMOTE = 0x00000010;
inline constexpr DWORD PRINTER_ENUM_SHARED = 0x00000020;
inline constexpr DWORD PRINTER_ENUM_NETWORK = 0x00000040;
inline constexpr DWORD PRINTER_ENUM_ICON8 = 0x00800000;
inline constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x00000040;

// ---- Forms ----
inline constexpr DWORD FORM_USER = 0;
inline constexpr DWORD FORM_BUILTIN = 1;
inline constexpr DWORD FORM_PRINTER = 2;

struct PRINTER_DEFAULTSW {
  LPWSTR pDatatype;
  LPDEVMODEW pDevMode;
  ACCESS_MASK DesiredAccess;
};

struct PRINTER_INFO_1W {
  DWORD Flags;
  LPWSTR pDescription;
  LPWSTR pName;
  LPWSTR pComment;
};

struct PRINTER_INFO_2W {
  LPWSTR pServerName;
  LPWSTR pPrinterName;
  LPWSTR pShareName;
  LPWSTR pPortName;
  LPWSTR pDriverName;
  LPWSTR pComment;
  LPWSTR pLocation;
  LPDEVMODEW pDevMode;
  LPWSTR pSepFile;
  LPWSTR pPrintProcessor;
  LPWSTR pDatatype;
  LPWSTR pParameters;
  PSECURITY_DESCRIPTOR pSecurityDescriptor;
  DWORD Attributes;
  DWORD Priority;
  DWORD DefaultPriority;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD Status;
  DWORD cJobs;
  DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
  LPWSTR pPrinterName;
  LPWSTR pServerName;
  DWORD Attributes;
};

// Size (a SIZEL) and ImageableArea (a RECTL) in thousandths of a millimetre.
struct FORM_INFO_1W {
  DWORD Flags;
  LPWSTR pName;
  struct {
    LONG cx;
    LONG cy;
  } Size;
  struct {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
  } ImageableArea;
};

using LPPRINTER_DEFAULTSW = PRINTER_DEFAULTSW*;
using PPRINTER_INFO_1W = PRINTER_INFO_1W*;
using PPRINTER_INFO_2W = PRINTER_INFO_2W*;
using PPRINTER_INFO_4W = PRINTER_INFO_4W*;
using PFORM_INFO_1W = FORM_INFO_1W*;

static_assert(sizeof(PRINTER_DEFAULTSW) == 24);
static_assert(offsetof(PRINTER_DEFAULTSW, DesiredAccess) == 16);
static_assert(sizeof(PRINTER_INFO_1W) == 32);
static_assert(offsetof(PRINTER_INFO_1W, pDescription) == 8);
static_assert(offsetof(PRINTER_INFO_1W, pComment) == 24);
static_assert(sizeof(PRINTER_INFO_2W) == 136);
static_assert(offsetof(PRINTER_INFO_2W, pDriverName) == 32);
static_assert(offsetof(PRINTER_INFO_2W, pDevMode) == 56);
static_assert(offsetof(PRINTER_INFO_2W, pSecurityDescriptor) == 96);
static_assert(offsetof(PRINTER_INFO_2W, Attributes) == 104);
static_assert(offsetof(PRINTER_INFO_2W, AveragePPM) == 132);
static_assert(sizeof(PRINTER_INFO_4W) == 24);
static_assert(offsetof(PRINTER_INFO_4W, Attributes) == 16);
static_assert(sizeof(FORM_INFO_1W) == 40);
static_assert(offsetof(FORM_INFO_1W, pName) == 8);
static_assert(offsetof(FORM_INFO_1W, Size) == 16);
static_assert(offsetof(FORM_INFO_1W, ImageableArea) == 24);

// Opens a local printer by name. Without defaults (or with DesiredAccess 0) the handle has PRINTER_ACCESS_USE;
// writing printer data takes PRINTER_ACCESS_ADMINISTER (PRINTER_ALL_ACCESS holds it). An unknown name fails with
// ERROR_INVALID_PRINTER_NAME. The data type and settings record of the defaults are not used.
BOOL OpenPrinterW(LPCWSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults);
BOOL ClosePrinter(HANDLE printer);

// Levels 1, 2 and 4 of the local printers (PRINTER_ENUM_LOCAL, or PRINTER_ENUM_NAME without a name); records
// first, their strings after them inside the caller's buffer. A buffer that is too small fails with
// ERROR_INSUFFICIENT_BUFFER and the size needed. Level 2 gives no settings record (pDevMode is null).
BOOL EnumPrintersW(DWORD flags, LPCWSTR name, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed,
                   LPDWORD returned);

// ERROR_FILE_NOT_FOUND when the value is missing; ERROR_MORE_DATA when `size` is too small. `*needed` is the
// value's size in both cases and on success.
DWORD GetPrinterDataExW(HANDLE printer, LPCWSTR keyName, LPCWSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                        LPDWORD needed);
// ERROR_ACCESS_DENIED on a handle without PRINTER_ACCESS_ADMINISTER.
DWORD SetPrinterDataExW(HANDLE printer, LPCWSTR keyName, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD size);

// Level 1: the forms in their order (the built-in forms first, form i being paper size i), records first and
// their names after them inside the caller's buffer. A buffer that is too small fails with
// ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL EnumFormsW(HANDLE printer, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed, LPDWORD returned);

namespace kq {

inline constexpr WCHAR kVirtualPrinterName[] = u"Kelvo Quenzar Printer";
inline constexpr WCHAR kVirtualPrinterDriverName[] = u"Kelvo Quenzar Printer Driver";
inline constexpr WCHAR kVirtualPrinterPort[] = u"KQPDF:";
// The graphics driver library of the virtual printer's driver, found by the engine as FindDriverLibrary does.
inline constexpr WCHAR kVirtualPrinterDriverLibrary[] = u"libtelodrv.so";

// Adds a local printer; ERROR_PRINTER_ALREADY_EXISTS when one of that name (ignoring case) exists.
DWORD AddLocalPrinter(Machine& machine, WStringView name, WStringView driverName, WStringView portName);

// Records the graphics driver library of a printer driver: a file name or a path, as the engine's
// FindDriverLibrary takes it. Recording it again replaces it. ERROR_INVALID_PARAMETER for an empty name or library.
DWORD SetPrinterDriverLibrary(Machine& machine, WStringView driverName, WStringView library);

// What the application side needs to enable an open printer's device.
struct PrinterDescription {
  WString name;
  WString driverName;
  WString portName;
  WString driverLibrary;  // empty when none is recorded for the driver
};
// The printer of an open handle; ERROR_INVALID_HANDLE for a handle that is not an open printer.
DWORD DescribePrinter(HANDLE printer, PrinterDescription* description);

// Installs the virtual printer "Kelvo Quenzar Printer" with its driver "Kelvo Quenzar Printer Driver" and the
// driver's library "libtelodrv.so" and configuration module "libteloui.so" (win/spooler_ui.h) on the machine, or
// on the calling thread's machine. Installing it again changes nothing (a printer installed before the libraries
// were recorded gets them). On the calling thread's machine it also registers the product for the Windows
// Installer, as the product's setup would: the key kProductCode under HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall" with its "DisplayName", "DisplayVersion" and "Publisher"
// (win/installer_host.h), written only when the key is missing.
DWORD InstallVirtualPrinter(Machine& machine);
DWORD InstallVirtualPrinter();

// The product's identifier in the Windows Installer, and the name and version it is registered under.
inline constexpr WCHAR kProductCode[] = u"{31753CDD-A7DA-4667-BEFC-B3EA3BDF366E}";
inline constexpr WCHAR kProductName[] = u"Kelvo Quenzar Printer";
inline constexpr WCHAR kProductVersion[] = u"2.0.1.0823";

}  // namespace kq
