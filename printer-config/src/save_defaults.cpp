#include <cstring>

#include "printer_settings/printer_values.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace {

SavedPrinterValue Number(const WCHAR* name, LONG value) {
  const auto bits = static_cast<DWORD>(value);
  std::vector<BYTE> data(sizeof bits);
  std::memcpy(data.data(), &bits, sizeof bits);
  return {name, REG_DWORD, std::move(data)};
}

// The characters of a field up to its first zero (or its end), without the zero.
SavedPrinterValue Text(const WCHAR* name, const WCHAR* field, std::size_t units) {
  std::size_t length = 0;
  while (length < units && field[length] != 0) ++length;
  const auto* bytes = reinterpret_cast<const BYTE*>(field);
  return {name, REG_SZ, std::vector<BYTE>(bytes, bytes + length * sizeof(WCHAR))};
}

}  // namespace

std::vector<SavedPrinterValue> ValuesToSave(const DriverDevMode& record) {
  namespace v = printer_value;
  const DEVMODEW& dm = record.dm;
  const DriverPrivate& p = record.priv;
  std::vector<SavedPrinterValue> values;
  if (dm.dmFields & DM_ORIENTATION) values.push_back(Number(v::kOrientation, dm.dmOrientation));
  if (dm.dmFields & DM_PAPERSIZE) values.push_back(Number(v::kPaperSize, dm.dmPaperSize));
  if (dm.dmFields & DM_FORMNAME) values.push_back(Text(v::kFormName, dm.dmFormName, CCHFORMNAME));
  if (dm.dmFields & DM_PAPERWIDTH) values.push_back(Number(v::kPaperWidth, dm.dmPaperWidth));
  if (dm.dmFields & DM_PAPERLENGTH) values.push_back(Number(v::kPaperLength, dm.dmPaperLength));
  if (dm.dmFields & DM_PRINTQUALITY) values.push_back(Number(v::kDPI, dm.dmPrintQuality));
  values.push_back(Number(v::kBitmapFontSize, p.BitmapFontSize));
  values.push_back(Number(v::kOverwrite, p.Overwrite));
  values.push_back(Number(v::kColorSpace, p.ColorSpace));
  values.push_back(Text(v::kFolder, p.Folder, kDriverPathChars));
  values.push_back(Number(v::kFontEmbed, p.FontEmbed));
  values.push_back(Text(v::kICCProfile, p.ICCProfile, kDriverPathChars));
  values.push_back(Number(v::kImageCompress, p.ImageCompress));
  values.push_back(Number(v::kPDFVersion, p.PDFVersion));
  values.push_back(Number(v::kUOM, p.UOM));
  values.push_back(Number(v::kIgnoreBackground, p.IgnoreBackground));
  values.push_back(Number(v::kPPOption, p.PPOption));
  values.push_back(Number(v::kUseDefFileName, p.UseDefFileName));
  values.push_back(Number(v::kOpenFile, p.OpenFile));
  values.push_back(Number(v::kGDIPunt, p.GDIPunt));
  values.push_back(Number(v::kFontWarnMsg, p.FontWarnMsg));
  values.push_back(Number(v::kMergeImages, p.MergeImages));
  values.push_back(Number(v::kPDFA1B, p.PDFA1B));
  values.push_back(Number(v::kUpload, p.Upload));
  return values;
}

BOOL SaveDevModeAsDefaults(const DriverDevMode* record, HANDLE printer) {
  if (!record) return FALSE;
  BOOL all = TRUE;
  for (const SavedPrinterValue& value : ValuesToSave(*record)) {
    const DWORD r = SetPrinterDataExW(printer, kPrinterDriverData, value.name, value.type, value.data.data(),
                                      static_cast<DWORD>(value.data.size()));
    if (r != ERROR_SUCCESS) all = FALSE;
  }
  return all;
}
