// The printer's values under "PrinterDriverData", the defaults of the settings record built from them, and the
// form lookups. Values that cannot be read, or that do not fit their field or their meaning, take their defaults.
#pragma once

#include <vector>

#include "printer_settings/driver_devmode.h"
#include "printer_settings/font_face_list.h"
#include "win/base.h"

inline constexpr WCHAR kPrinterDriverData[] = u"PrinterDriverData";
inline constexpr WCHAR kDriverDeviceName[] = u"Kelvo PDF Printer";
inline constexpr WCHAR kCustomFormName[] = u"Custom-size Form";

// Value names.
namespace printer_value {
inline constexpr WCHAR kOrientation[] = u"Orientation";
inline constexpr WCHAR kPaperSize[] = u"PaperSize";
inline constexpr WCHAR kFormName[] = u"FormName";
inline constexpr WCHAR kPaperWidth[] = u"PaperWidth";
inline constexpr WCHAR kPaperLength[] = u"PaperLength";
inline constexpr WCHAR kDPI[] = u"DPI";
inline constexpr WCHAR kFolder[] = u"Folder";
inline constexpr WCHAR kImageCompress[] = u"ImageCompress";
inline constexpr WCHAR kFontEmbed[] = u"FontEmbed";
inline constexpr WCHAR kOverwrite[] = u"Overwrite";
inline constexpr WCHAR kPDFVersion[] = u"PDFVersion";
inline constexpr WCHAR kBitmapFontSize[] = u"BitmapFontSize";
inline constexpr WCHAR kColorSpace[] = u"ColorSpace";
inline constexpr WCHAR kICCProfile[] = u"ICCProfile";
inline constexpr WCHAR kUOM[] = u"UOM";
inline constexpr WCHAR kIgnoreBackground[] = u"IgnoreBackground";
inline constexpr WCHAR kPPOption[] = u"PPOption";
inline constexpr WCHAR kUseDefFileName[] = u"UseDefFileName";
inline constexpr WCHAR kOpenFile[] = u"OpenFile";
inline constexpr WCHAR kGDIPunt[] = u"GDIPunt";
inline constexpr WCHAR kFontWarnMsg[] = u"FontWarnMsg";
inline constexpr WCHAR kMergeImages[] = u"MergeImages";
inline constexpr WCHAR kPDFA1B[] = u"PDFA1B";
inline constexpr WCHAR kUpload[] = u"Upload";
inline constexpr WCHAR kFFaces[] = u"FFaces";
inline constexpr WCHAR kBatch[] = u"Batch";
inline constexpr WCHAR kDestName[] = u"DestName";
}  // namespace printer_value

// Zeroes the 1936 bytes and fills the record from the printer's values and the locale's defaults.
void BuildDefaultDevMode(DriverDevMode* record, HANDLE printer);

// Makes a private part that came from elsewhere safe to read: its strings end inside their fields, and option
// values outside their ranges (and a bitmap font size of 0) take the value of `fallback`.
void NormalizePrivate(DriverPrivate& priv, const DriverPrivate& fallback);

// One value that "Save As Default" writes.
struct SavedPrinterValue {
  const WCHAR* name;
  DWORD type;  // REG_DWORD (4 bytes) or REG_SZ (the characters without their zero)
  std::vector<BYTE> data;
};
// The values "Save As Default" writes for a record, in the order it writes them.
std::vector<SavedPrinterValue> ValuesToSave(const DriverDevMode& record);
// Writes the record back to the printer's values (needs a handle with PRINTER_ACCESS_ADMINISTER). TRUE when every
// value was written.
BOOL SaveDevModeAsDefaults(const DriverDevMode* record, HANDLE printer);

// Reads a value under "PrinterDriverData". `buffer` starts at the size to try; when the value is larger it is
// reallocated at the size the spooler answers and read again. On success `buffer` holds exactly the bytes read.
BOOL ReadPrinterDriverData(HANDLE printer, LPCWSTR name, std::vector<BYTE>& buffer, DWORD* type = nullptr);

// Stores the list as "FFaces", REG_BINARY, of the size its first 32 bits give.
DWORD WriteFontFaceList(HANDLE printer, const FontFaceList& list);

// The current user's country ("iCountry" under "Control Panel\International") uses metric paper: every country
// but 1, 2, 50..59 and 500..599, and also when the value cannot be read.
BOOL IsMetricLocale();

// One form of the printer, as the spooler lists it (sizes in thousandths of a millimetre).
struct PrinterForm {
  std::u16string name;
  DWORD flags = 0;
  LONG width = 0;
  LONG height = 0;
};
// The printer's forms in the spooler's order. FALSE when the enumeration does not behave as the platform's does
// (the sizing call must fail with ERROR_INSUFFICIENT_BUFFER) or memory is short.
BOOL ReadPrinterForms(HANDLE printer, std::vector<PrinterForm>* forms);

// The form with the 1-based index: its length and width in 0.1 mm and, when `name` is given (32 units), its name
// (at most 31 characters and a zero). FALSE, with nothing changed, for index 0, an index beyond the forms or a
// failed enumeration.
BOOL GetFormByIndex(HANDLE printer, int index, SHORT* length, SHORT* width, WCHAR* name);
// The first form whose name equals `name` ignoring ASCII case: length and width in 0.1 mm and its 1-based index,
// capped at 256, as paper size. FALSE, with nothing changed, when none matches or the enumeration fails.
BOOL GetFormByName(HANDLE printer, LPCWSTR name, SHORT* length, SHORT* width, SHORT* paperSize);

// Copies the 1936 bytes of a record.
void CopyDevMode(DriverDevMode* dst, const DriverDevMode* src);
