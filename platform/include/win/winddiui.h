// The interface between the print spooler and a printer driver's configuration module (its "UI" library): the
// records the spooler hands to the module's exports, the common property-sheet host's calling convention, and the
// device-capability numbers. The spooler binds the module by name (win/spooler_ui.h); the module implements the
// exports with the signatures below.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/devmode.h"

// ---- The common property-sheet host ----
struct PROPSHEETUI_INFO;
using PPROPSHEETUI_INFO = PROPSHEETUI_INFO*;
// The host's page-management function: (host handle, function, two arguments).
using PFNCOMPROPSHEET = LONG_PTR (*)(HANDLE hComPropSheet, UINT function, LPARAM lParam1, LPARAM lParam2);
// A sheet's contributor: called with INIT, the other reasons and DESTROY.
using PFNPROPSHEETUI = LONG (*)(PPROPSHEETUI_INFO info, LPARAM lParam);

struct PROPSHEETUI_INFO {
  WORD cbSize;
  WORD Version;
  WORD Flags;
  WORD Reason;
  HANDLE hComPropSheet;
  PFNCOMPROPSHEET pfnComPropSheet;
  LPARAM lParamInit;
  ULONG_PTR UserData;
  ULONG_PTR Result;
};
static_assert(sizeof(PROPSHEETUI_INFO) == 48);
static_assert(offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8);
static_assert(offsetof(PROPSHEETUI_INFO, lParamInit) == 24);
static_assert(offsetof(PROPSHEETUI_INFO, Result) == 40);

inline constexpr WORD PROPSHEETUI_INFO_VERSION = 0x0100;
inline constexpr WORD PROPSHEETUI_REASON_INIT = 0;
inline constexpr WORD PROPSHEETUI_REASON_GET_INFO_HEADER = 1;
inline constexpr WORD PROPSHEETUI_REASON_DESTROY = 2;
inline constexpr WORD PROPSHEETUI_REASON_SET_RESULT = 3;

// Host functions.
inline constexpr UINT CPSFUNC_ADD_HPROPSHEETPAGE = 0;  // lParam1: an HPROPSHEETPAGE
inline constexpr UINT CPSFUNC_ADD_PROPSHEETPAGEW = 1;  // lParam1: a PROPSHEETPAGEW, copied
inline constexpr UINT CPSFUNC_SET_RESULT = 9;          // lParam1: the page (or sheet) handle, lParam2: the result

inline constexpr LONG CPSUI_CANCEL = 0;
inline constexpr LONG CPSUI_OK = 1;
inline constexpr LONG ERR_CPSUI_GETLASTERROR = -1;

// ---- What the spooler hands to the configuration module ----
// Modes of a document-properties call (fMode).
inline constexpr DWORD DM_UPDATE = 1;
inline constexpr DWORD DM_COPY = 2;
inline constexpr DWORD DM_PROMPT = 4;
inline constexpr DWORD DM_MODIFY = 8;
inline constexpr DWORD DM_OUT_BUFFER = DM_COPY;
inline constexpr DWORD DM_IN_PROMPT = DM_PROMPT;
inline constexpr DWORD DM_IN_BUFFER = DM_MODIFY;

struct DOCUMENTPROPERTYHEADER {
  WORD cbSize;
  WORD Reserved;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
  PDEVMODEW pdmIn;
  PDEVMODEW pdmOut;
  DWORD cbOut;
  DWORD fMode;
};
using PDOCUMENTPROPERTYHEADER = DOCUMENTPROPERTYHEADER*;
static_assert(sizeof(DOCUMENTPROPERTYHEADER) == 48);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, pdmOut) == 32);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, cbOut) == 40);

struct DEVICEPROPERTYHEADER {
  WORD cbSize;
  WORD Flags;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
};
using PDEVICEPROPERTYHEADER = DEVICEPROPERTYHEADER*;
static_assert(sizeof(DEVICEPROPERTYHEADER) == 24);

inline constexpr WORD DPS_NOPERMISSION = 0x0001;

// Modes of the conversion export.
inline constexpr DWORD CDM_CONVERT = 0x01;
inline constexpr DWORD CDM_CONVERT351 = 0x02;
inline constexpr DWORD CDM_DRIVER_DEFAULT = 0x04;

// ---- Device capabilities ----
inline constexpr WORD DC_FIELDS = 1;
inline constexpr WORD DC_PAPERS = 2;
inline constexpr WORD DC_PAPERSIZE = 3;
inline constexpr WORD DC_MINEXTENT = 4;
inline constexpr WORD DC_MAXEXTENT = 5;
inline constexpr WORD DC_BINS = 6;
inline constexpr WORD DC_DUPLEX = 7;
inline constexpr WORD DC_SIZE = 8;
inline constexpr WORD DC_EXTRA = 9;
inline constexpr WORD DC_VERSION = 10;
inline constexpr WORD DC_DRIVER = 11;
inline constexpr WORD DC_BINNAMES = 12;
inline constexpr WORD DC_ENUMRESOLUTIONS = 13;
inline constexpr WORD DC_FILEDEPENDENCIES = 14;
inline constexpr WORD DC_TRUETYPE = 15;
inline constexpr WORD DC_PAPERNAMES = 16;
inline constexpr WORD DC_ORIENTATION = 17;
inline constexpr WORD DC_COPIES = 18;
inline constexpr WORD DC_BINADJUST = 19;
inline constexpr WORD DC_EMF_COMPLIANT = 20;
inline constexpr WORD DC_DATATYPE_PRODUCED = 21;
inline constexpr WORD DC_COLLATE = 22;
inline constexpr WORD DC_MANUFACTURER = 23;
inline constexpr WORD DC_MODEL = 24;
inline constexpr WORD DC_PERSONALITY = 25;
inline constexpr WORD DC_PRINTRATE = 26;
inline constexpr WORD DC_PRINTRATEUNIT = 27;
inline constexpr WORD DC_PRINTERMEM = 28;
inline constexpr WORD DC_MEDIAREADY = 29;
inline constexpr WORD DC_STAPLE = 30;
inline constexpr WORD DC_PRINTRATEPPM = 31;
inline constexpr WORD DC_COLORDEVICE = 32;
inline constexpr WORD DC_NUP = 33;
inline constexpr DWORD GDI_ERROR = 0xFFFFFFFF;
// A form name in a DC_PAPERNAMES or DC_MEDIAREADY answer takes a slot of 64 characters.
inline constexpr int kCapabilityNameSlot = 64;

// ---- The exports of a configuration module ----
using PFN_DrvDocumentPropertySheets = LONG (*)(PPROPSHEETUI_INFO info, LPARAM lParam);
using PFN_DrvDevicePropertySheets = LONG (*)(PPROPSHEETUI_INFO info, LPARAM lParam);
using PFN_DrvConvertDevMode = BOOL (*)(LPWSTR printerName, PDEVMODEW in, PDEVMODEW out, PLONG size, DWORD mode);
using PFN_DrvDeviceCapabilities = DWORD (*)(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output,
                                            PDEVMODEW devmode);
using PFN_DevQueryPrintEx = BOOL (*)(PVOID info);
using PFN_DrvPrinterEvent = BOOL (*)(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam);
