#include <algorithm>
#include <cstring>
#include <new>

#include "printer_settings/printer_values.h"
#include "win/spooler.h"

namespace {

// A size in thousandths of a millimetre as a record field in 0.1 mm; sizes that do not fit the field are refused.
bool ToTenthsOfMillimetre(LONG thousandths, SHORT* out) {
  const LONG tenths = thousandths / 100;
  if (tenths < 1 || tenths > 32767) return false;
  *out = static_cast<SHORT>(tenths);
  return true;
}

}  // namespace

BOOL ReadPrinterForms(HANDLE printer, std::vector<PrinterForm>* forms) {
  try {
    DWORD needed = 0, count = 0;
    if (EnumFormsW(printer, 1, nullptr, 0, &needed, &count) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return FALSE;
    std::vector<BYTE> buffer(needed);
    if (!EnumFormsW(printer, 1, buffer.data(), needed, &needed, &count)) return FALSE;
    if (static_cast<std::size_t>(count) * sizeof(FORM_INFO_1W) > buffer.size()) return FALSE;
    forms->clear();
    forms->reserve(count);
    for (DWORD i = 0; i < count; ++i) {
      FORM_INFO_1W info;
      std::memcpy(&info, buffer.data() + i * sizeof info, sizeof info);
      forms->push_back(PrinterForm{info.pName ? std::u16string(info.pName) : std::u16string(), info.Flags, info.Size.cx,
                                   info.Size.cy});
    }
    return TRUE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

BOOL GetFormByIndex(HANDLE printer, int index, SHORT* length, SHORT* width, WCHAR* name) {
  if (index < 1) return FALSE;
  std::vector<PrinterForm> forms;
  if (!ReadPrinterForms(printer, &forms) || static_cast<std::size_t>(index) > forms.size()) return FALSE;
  const PrinterForm& form = forms[static_cast<std::size_t>(index) - 1];
  SHORT formLength = 0, formWidth = 0;
  if (!ToTenthsOfMillimetre(form.height, &formLength) || !ToTenthsOfMillimetre(form.width, &formWidth)) return FALSE;
  *length = formLength;
  *width = formWidth;
  if (name) lstrcpynW(name, form.name.c_str(), CCHFORMNAME);
  return TRUE;
}

BOOL GetFormByName(HANDLE printer, LPCWSTR name, SHORT* length, SHORT* width, SHORT* paperSize) {
  if (!name) return FALSE;
  std::vector<PrinterForm> forms;
  if (!ReadPrinterForms(printer, &forms)) return FALSE;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    if (lstrcmpiW(forms[i].name.c_str(), name) != 0) continue;
    SHORT formLength = 0, formWidth = 0;
    if (!ToTenthsOfMillimetre(forms[i].height, &formLength) || !ToTenthsOfMillimetre(forms[i].width, &formWidth))
      return FALSE;
    *length = formLength;
    *width = formWidth;
    *paperSize = static_cast<SHORT>(std::min<std::size_t>(i + 1, DMPAPER_USER));
    return TRUE;
  }
  return FALSE;
}
