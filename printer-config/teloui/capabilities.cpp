// The device-capability answers and the form capabilities behind four of them.
#include <cstring>
#include <vector>

#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"
#include "win/spooler.h"

namespace {

template <class T>
void Put(PVOID output, std::size_t index, T value) {
  std::memcpy(static_cast<BYTE*>(output) + index * sizeof value, &value, sizeof value);
}

}  // namespace

DWORD EnumFormCapabilities(HANDLE printer, WORD capability, PVOID output) {
  std::vector<PrinterForm> forms;
  if (!ReadPrinterForms(printer, &forms)) return GDI_ERROR;
  if (!output) return static_cast<DWORD>(forms.size());
  WORD builtinNumber = 0;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    const PrinterForm& form = forms[i];
    switch (capability) {
      case DC_PAPERS: {
        const bool numbered = form.flags == FORM_BUILTIN || form.flags == FORM_PRINTER;
        Put<WORD>(output, i, numbered ? ++builtinNumber : static_cast<WORD>(DMPAPER_USER));
        break;
      }
      case DC_PAPERSIZE:
        Put<POINT>(output, i, POINT{form.width / 100, form.height / 100});
        break;
      case DC_PAPERNAMES:
      case DC_MEDIAREADY: {
        WCHAR slot[kCapabilityNameSlot] = {};
        lstrcpynW(slot, form.name.c_str(), kCapabilityNameSlot);
        std::memcpy(static_cast<BYTE*>(output) + i * sizeof slot, slot, sizeof slot);
        break;
      }
      default:
        return GDI_ERROR;
    }
  }
  return static_cast<DWORD>(forms.size());
}

extern "C" DWORD DrvDeviceCapabilities(HANDLE printer, PWSTR, WORD capability, PVOID output, PDEVMODEW devmode) {
  switch (capability) {
    case DC_FIELDS:
      return devmode ? devmode->dmFields : kDriverDevModeFields;
    case DC_PAPERS:
    case DC_PAPERSIZE:
    case DC_PAPERNAMES:
    case DC_MEDIAREADY:
      return EnumFormCapabilities(printer, capability, output);
    case DC_MINEXTENT:
      return 0x00010001;
    case DC_MAXEXTENT:
      return 0x7FFF7FFF;
    case DC_BINS:
      if (output) Put<WORD>(output, 0, 7);
      return 1;
    case DC_BINNAMES:
      if (output) std::memcpy(output, u"Virtual Bin", sizeof u"Virtual Bin");
      return 1;
    case DC_ENUMRESOLUTIONS:
      if (output) {
        Put<LONG>(output, 0, 300);
        Put<LONG>(output, 1, 300);
      }
      return 1;
    case DC_EXTRA:
      return kDriverPrivateSize;
    case DC_VERSION:
    case DC_DRIVER:
      return kDriverVersion;
    case DC_TRUETYPE:
      return 2;
    case DC_ORIENTATION:
      return 90;
    case DC_COPIES:
    case DC_PRINTRATEUNIT:
    case DC_COLORDEVICE:
      return 1;
    case DC_PRINTRATE:
    case DC_PRINTRATEPPM:
      return 1000;
    case DC_PRINTERMEM:
      return 0x10000;
    case DC_DUPLEX:
    case DC_FILEDEPENDENCIES:
    case DC_BINADJUST:
    case DC_EMF_COMPLIANT:
    case DC_DATATYPE_PRODUCED:
    case DC_COLLATE:
    case DC_MANUFACTURER:
    case DC_PERSONALITY:
    case DC_STAPLE:
    case DC_NUP:
      return 0;
    default: {
      // Kept for a debugger's eyes; nothing shows it.
      WCHAR debug[64];
      kq::FormatWide(debug, 64, u"DrvDeviceCapabilities Unhandled: %d", static_cast<int>(capability));
      return GDI_ERROR;
    }
  }
}
