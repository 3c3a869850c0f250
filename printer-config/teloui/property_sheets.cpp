// The document and device property sheets: the spooler's entries, the sheet's state and its lifecycle.
#include <cstring>
#include <new>

#include "page_resources.h"
#include "page_state.h"
#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"
#include "win/spooler.h"
#include "win/user.h"

DriverDevMode* OutputRecord(const PageState& state) {
  const DOCUMENTPROPERTYHEADER* header = state.header;
  if (!header || !header->pdmOut || header->cbOut < kDriverDevModeSize) return nullptr;
  return reinterpret_cast<DriverDevMode*>(header->pdmOut);
}

PageState* PageMessage(HWND page, UINT message, LPARAM lParam, void (*start)(HWND page, PageState& state)) {
  if (message != WM_INITDIALOG) return reinterpret_cast<PageState*>(GetWindowLongPtrW(page, DWLP_USER));
  const auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
  auto* state = description ? reinterpret_cast<PageState*>(description->lParam) : nullptr;
  SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  if (state) start(page, *state);
  return state;
}

bool IsApply(LPARAM notification) {
  const auto* notice = reinterpret_cast<const NMHDR*>(notification);
  return notice && notice->code == PSN_APPLY;
}

INT_PTR Answer(HWND page, LONG_PTR result) {
  SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
  return TRUE;
}

namespace {

// Without a dialog: the record's size, or the defaults merged with the caller's record.
LONG RecordWithoutDialog(PDOCUMENTPROPERTYHEADER header) {
  if (!header) return 0;
  if (header->fMode == 0 || !header->pdmOut) {
    header->cbOut = kDriverDevModeSize;
    return static_cast<LONG>(kDriverDevModeSize);
  }
  DriverDevMode record;
  BuildDefaultDevMode(&record, header->hPrinter);
  if ((header->fMode & DM_IN_BUFFER) && header->pdmIn) MergeDevMode(&record, header->pdmIn, header->hPrinter);
  if (header->fMode & DM_OUT_BUFFER) {
    // A caller's record smaller than ours gets nothing but the size it needs.
    if (header->cbOut < kDriverDevModeSize) {
      header->cbOut = kDriverDevModeSize;
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return -1;
    }
    std::memcpy(header->pdmOut, &record, sizeof record);
  }
  return 1;
}

bool AddPage(PageState& state, const WCHAR* templateName, DLGPROC procedure) {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_DEFAULT;
  page.hInstance = TelouiModule();
  page.pszTemplate = templateName;
  page.pfnDlgProc = procedure;
  page.lParam = reinterpret_cast<LPARAM>(&state);
  return state.hostFunction(state.sheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&page), 0) != 0;
}

LONG Init(PPROPSHEETUI_INFO info) {
  auto* header = reinterpret_cast<PDOCUMENTPROPERTYHEADER>(info->lParamInit);
  if (!header || !info->pfnComPropSheet) return -1;
  auto* state = new (std::nothrow) PageState{};
  if (!state) return -1;
  state->sheet = info->hComPropSheet;
  state->header = header;
  state->hostFunction = info->pfnComPropSheet;
  PRINTER_DEFAULTSW full{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterW(header->pszPrinterName, &state->printer, &full)) state->printer = nullptr;
  info->UserData = reinterpret_cast<ULONG_PTR>(state);

  BuildDefaultDevMode(&state->working, header->hPrinter);
  if ((header->fMode & DM_IN_BUFFER) && header->pdmIn) MergeDevMode(&state->working, header->pdmIn, header->hPrinter);
  DriverDevMode* output = OutputRecord(*state);
  state->readOnly = output ? 0 : 1;
  if (output) CopyDevMode(output, &state->working);

  const bool added = AddPage(*state, kGeneralTemplate, GeneralPageProc) &&
                     AddPage(*state, kLayoutTemplate, LayoutPageProc) && AddPage(*state, kFontTemplate, FontPageProc) &&
                     AddPage(*state, kAboutTemplate, AboutPageProc);
  return added ? 1 : -1;
}

LONG Destroy(PPROPSHEETUI_INFO info) {
  auto* state = reinterpret_cast<PageState*>(info->UserData);
  if (!state) return 1;
  DriverDevMode* output = OutputRecord(*state);
  if (state->saveAsDefault && state->printer && output) SaveDevModeAsDefaults(output, state->printer);
  if (state->printer) ClosePrinter(state->printer);
  delete state;
  info->UserData = 0;
  return 1;
}

}  // namespace

extern "C" LONG DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
  if (!info) return RecordWithoutDialog(reinterpret_cast<PDOCUMENTPROPERTYHEADER>(lParam));
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
      return Init(info);
    case PROPSHEETUI_REASON_DESTROY:
      return Destroy(info);
    default: {
      WCHAR debug[64];
      kq::FormatWide(debug, 64, u"DrvDocumentPropertySheets unhandled reason: %d", static_cast<int>(info->Reason));
      return 0;
    }
  }
}

extern "C" LONG DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM) {
  if (!info) return 0;
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      PROPSHEETPAGEW page{};
      page.dwSize = sizeof page;
      page.dwFlags = 0;
      page.hInstance = TelouiModule();
      page.pszTemplate = kAboutTemplate;
      page.pfnDlgProc = AboutPageProc;
      HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
      if (!handle || !info->pfnComPropSheet) return -1;
      if (!info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE, reinterpret_cast<LPARAM>(handle),
                                 0)) {
        DestroyPropertySheetPage(handle);
        return -1;
      }
      return 1;
    }
    case PROPSHEETUI_REASON_DESTROY:
      return 1;
    default: {
      WCHAR debug[64];
      kq::FormatWide(debug, 64, u"DrvDevicePropertySheets unhandled reason: %d", static_cast<int>(info->Reason));
      return 0;
    }
  }
}

INT_PTR AboutPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }
