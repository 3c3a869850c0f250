#include <atomic>
#include <cstring>

#include "printer_settings/printer_values.h"
#include "printer_settings/setting_values.h"
#include "value_readers.h"

namespace {

// The build serial of the records this process builds; nothing reads it back.
std::atomic<DWORD> buildSerial{0};

// An option byte of the private part with its printer value, defaults and allowed range.
struct ByteOption {
  const WCHAR* name;
  BYTE DriverPrivate::*field;
  BYTE metricDefault;
  BYTE otherDefault;
  BYTE lowest;
  BYTE highest;
};

using namespace setting_value;

constexpr ByteOption kByteOptions[] = {
    {printer_value::kImageCompress, &DriverPrivate::ImageCompress, kYes, kYes, kNo, kYes},
    {printer_value::kFontEmbed, &DriverPrivate::FontEmbed, kEmbedAll, kEmbedAll, kEmbedNone, kEmbedNonStandard},
    {printer_value::kOverwrite, &DriverPrivate::Overwrite, kNo, kNo, kNo, kYes},
    {printer_value::kPDFVersion, &DriverPrivate::PDFVersion, kPdf14, kPdf14, kPdf13, kPdf15},
    {printer_value::kColorSpace, &DriverPrivate::ColorSpace, 0, 0, 0, 255},
    {printer_value::kUOM, &DriverPrivate::UOM, kUnitCentimeter, kUnitInch, kUnitInch, kUnitMillimeter},
    {printer_value::kIgnoreBackground, &DriverPrivate::IgnoreBackground, kNo, kNo, kNo, kYes},
    {printer_value::kPPOption, &DriverPrivate::PPOption, kYes, kYes, kNo, kYes},
    {printer_value::kUseDefFileName, &DriverPrivate::UseDefFileName, kNo, kNo, kNo, kYes},
    {printer_value::kOpenFile, &DriverPrivate::OpenFile, kYes, kYes, kNo, kYes},
    {printer_value::kGDIPunt, &DriverPrivate::GDIPunt, kYes, kYes, kNo, kYes},
    {printer_value::kFontWarnMsg, &DriverPrivate::FontWarnMsg, kNo, kNo, kNo, kYes},
    {printer_value::kMergeImages, &DriverPrivate::MergeImages, kYes, kYes, kNo, kYes},
    {printer_value::kPDFA1B, &DriverPrivate::PDFA1B, kNo, kNo, kNo, kYes},
    {printer_value::kUpload, &DriverPrivate::Upload, kNo, kNo, kNo, kYes},
};

// A DWORD value that lies in [lowest, highest], else the default.
DWORD ReadInRange(HANDLE printer, const WCHAR* name, DWORD lowest, DWORD highest, DWORD fallback) {
  const auto value = ReadDwordValue(printer, name);
  return value && *value >= lowest && *value <= highest ? *value : fallback;
}

SHORT ReadShort(HANDLE printer, const WCHAR* name, SHORT lowest, SHORT fallback) {
  return static_cast<SHORT>(
      ReadInRange(printer, name, static_cast<DWORD>(lowest), 32767, static_cast<DWORD>(fallback)));
}

void SetText(WCHAR* field, std::size_t units, const WCHAR* text) { lstrcpynW(field, text, static_cast<int>(units)); }

void FillPublic(DEVMODEW& dm, HANDLE printer, bool metric) {
  const SHORT localePaper = metric ? DMPAPER_A4 : DMPAPER_LETTER;
  const SHORT localeLength = metric ? 2970 : 2794;
  const SHORT localeWidth = metric ? 2100 : 2159;

  SetText(dm.dmDeviceName, CCHDEVICENAME, kDriverDeviceName);
  dm.dmSpecVersion = kDriverVersion;
  dm.dmDriverVersion = kDriverVersion;
  dm.dmSize = kDriverPublicSize;
  dm.dmDriverExtra = kDriverPrivateSize;
  dm.dmFields = kDriverDevModeFields;
  dm.dmOrientation = static_cast<SHORT>(
      ReadInRange(printer, printer_value::kOrientation, DMORIENT_PORTRAIT, DMORIENT_LANDSCAPE, DMORIENT_PORTRAIT));
  dm.dmPaperSize = ReadShort(printer, printer_value::kPaperSize, 0, localePaper);
  if (!ReadStringValue(printer, printer_value::kFormName, dm.dmFormName, CCHFORMNAME))
    SetText(dm.dmFormName, CCHFORMNAME, metric ? u"A4" : u"Letter");

  // The paper rules; a form lookup that finds nothing leaves the locale's paper, never a 0 x 0 page.
  dm.dmPaperLength = localeLength;
  dm.dmPaperWidth = localeWidth;
  if (dm.dmPaperSize == DMPAPER_USER) {
    SetText(dm.dmFormName, CCHFORMNAME, kCustomFormName);
    dm.dmPaperWidth = ReadShort(printer, printer_value::kPaperWidth, 1, localeWidth);
    dm.dmPaperLength = ReadShort(printer, printer_value::kPaperLength, 1, localeLength);
  } else if (dm.dmPaperSize >= 1 && dm.dmPaperSize < DMPAPER_USER) {
    // The form's name is not copied: dmFormName stays as "FormName" (or the locale's default) gives it.
    GetFormByIndex(printer, dm.dmPaperSize, &dm.dmPaperLength, &dm.dmPaperWidth, nullptr);
  } else {
    GetFormByName(printer, dm.dmFormName, &dm.dmPaperLength, &dm.dmPaperWidth, &dm.dmPaperSize);
  }

  dm.dmScale = 100;
  dm.dmCopies = 1;
  dm.dmDefaultSource = 1;
  dm.dmPrintQuality = ReadShort(printer, printer_value::kDPI, 1, 300);
  dm.dmYResolution = dm.dmPrintQuality;
  dm.dmColor = DMCOLOR_COLOR;
  dm.dmDuplex = DMDUP_SIMPLEX;
  dm.dmTTOption = DMTT_DOWNLOAD_OUTLINE;
  dm.dmCollate = 0;
  dm.dmNup = 2;
  dm.dmICMMethod = 2;
  dm.dmICMIntent = 1;
  dm.dmMediaType = 1;
  dm.dmDitherType = 1;
}

void FillPrivate(DriverPrivate& priv, HANDLE printer, bool metric) {
  priv.reserved0 = 0;
  priv.buildSerial = buildSerial.fetch_add(1, std::memory_order_relaxed);
  if (!ReadStringValue(printer, printer_value::kFolder, priv.Folder, kDriverPathChars)) priv.Folder[0] = 0;
  if (!ReadStringValue(printer, printer_value::kICCProfile, priv.ICCProfile, kDriverPathChars)) priv.ICCProfile[0] = 0;
  for (const ByteOption& option : kByteOptions) {
    const BYTE fallback = metric ? option.metricDefault : option.otherDefault;
    priv.*option.field = static_cast<BYTE>(ReadInRange(printer, option.name, option.lowest, option.highest, fallback));
  }
  priv.BitmapFontSize = static_cast<WORD>(ReadInRange(printer, printer_value::kBitmapFontSize, 1, 0xFFFF, 100));
  priv.alwaysOne = 1;
}

}  // namespace

void NormalizePrivate(DriverPrivate& priv, const DriverPrivate& fallback) {
  priv.reserved0 = 0;
  priv.Folder[kDriverPathChars - 1] = 0;
  priv.ICCProfile[kDriverPathChars - 1] = 0;
  for (const ByteOption& option : kByteOptions) {
    const BYTE value = priv.*option.field;
    if (value < option.lowest || value > option.highest) priv.*option.field = fallback.*option.field;
  }
  if (priv.BitmapFontSize == 0) priv.BitmapFontSize = fallback.BitmapFontSize;
  priv.alwaysOne = 1;
}

void BuildDefaultDevMode(DriverDevMode* record, HANDLE printer) {
  if (!record) return;
  std::memset(record, 0, sizeof *record);
  const bool metric = IsMetricLocale() != FALSE;
  FillPublic(record->dm, printer, metric);
  FillPrivate(record->priv, printer, metric);
}

void CopyDevMode(DriverDevMode* dst, const DriverDevMode* src) {
  if (dst && src && dst != src) std::memmove(dst, src, sizeof *dst);
}
