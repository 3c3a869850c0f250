// The job's settings, from the device record, its settings record and the printer values.
#include <algorithm>
#include <vector>

#include "pdf/doc_writer.h"
#include "printer_settings/printer_values.h"
#include "printer_settings/setting_values.h"
#include "telodrv/driver_pdev.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace {

// A number among the printer values: a REG_DWORD of exactly 4 bytes, else `fallback`.
DWORD ReadPrinterNumber(HANDLE printer, LPCWSTR name, DWORD fallback) {
  DWORD value = 0, type = 0, needed = 0;
  const DWORD r = GetPrinterDataExW(printer, kPrinterDriverData, name, &type, reinterpret_cast<BYTE*>(&value),
                                    sizeof value, &needed);
  if (r != ERROR_SUCCESS || type != REG_DWORD || needed != sizeof value) return fallback;
  return value;
}

// A text among the printer values, read into `units` code units (the value may hold at most that many bytes
// twice): at most units - 1 characters up to the first zero, always terminated. Empty when the value is missing,
// is no REG_SZ, or is larger.
kq::WString ReadPrinterText(HANDLE printer, LPCWSTR name, std::size_t units) {
  std::vector<WCHAR> buffer(units, 0);
  DWORD type = 0, needed = 0;
  const DWORD r = GetPrinterDataExW(printer, kPrinterDriverData, name, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                    static_cast<DWORD>(units * sizeof(WCHAR)), &needed);
  if (r != ERROR_SUCCESS || type != REG_SZ) return {};
  const std::size_t read = std::min<std::size_t>(needed / sizeof(WCHAR), units - 1);
  const auto end = std::find(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(read), WCHAR{0});
  return kq::WString(buffer.begin(), end);
}

// A wide field of the record, which need not hold its zero: at most its length - 1 characters.
template <std::size_t N>
kq::WString FieldText(const WCHAR (&field)[N]) {
  const auto end = std::find(field, field + N - 1, WCHAR{0});
  return kq::WString(field, end);
}

}  // namespace

void CPDF_DocWriter::LoadJobSettings(const DriverPdev& pdev) {
  const DriverDevMode& record = pdev.settings;
  const DriverPrivate& options = record.priv;

  progressArgs->interactive = 1;
  printer = pdev.printer;
  // The page bitmap's surface belongs to the device whose ink it holds.
  beforeBitmapRead = [](SURFOBJ* surface, const RECTL& rect) {
    if (surface && surface->dhpdev) PdevFromHandle(surface->dhpdev)->ink.Reading(rect);
  };
  pageWidthPx = static_cast<std::int32_t>(pdev.pageWidth);
  pageHeightPx = static_cast<std::int32_t>(pdev.pageHeight);
  pointsPerPixel = 72.0 / record.dm.dmPrintQuality;
  imageCompression = options.ImageCompress;
  deviceName = pdev.deviceName;
  folder = FieldText(options.Folder);

  overwrite = options.Overwrite;
  useDefaultFileName = options.UseDefFileName;
  openFile = options.OpenFile;
  fontEmbed = options.FontEmbed;

  batch = ReadPrinterNumber(printer, printer_value::kBatch, setting_value::kNo);
  destName.fill(0);
  if (batch != setting_value::kNo) {
    const kq::WString name = ReadPrinterText(printer, printer_value::kDestName, destName.size());
    std::copy(name.begin(), name.end(), destName.begin());
    if (folder.empty()) folder = ReadPrinterText(printer, printer_value::kFolder, MAX_PATH);
    overwrite = setting_value::kYes;
    useDefaultFileName = setting_value::kYes;
    openFile = setting_value::kNo;
    fontEmbed = ReadPrinterNumber(printer, printer_value::kFontEmbed, setting_value::kEmbedNone);
  }

  progressArgs->interactive = batch == setting_value::kNo ? 1 : 0;
  runPostProcessor = options.PPOption == setting_value::kYes ? 1 : 0;

  textWriter.SetDeviceSpace(pointsPerPixel, pageHeightPx);

  paperWidthPt = record.dm.dmPaperWidth * 72 / 254;
  paperHeightPt = record.dm.dmPaperLength * 72 / 254;

  gdiPunt = options.GDIPunt;
  fontWarning = options.FontWarnMsg;
  mergeImages = options.MergeImages;
  pdfA1b = options.PDFA1B;
  if (pdfA1b) fontEmbed = setting_value::kEmbedAll;

  if (fontEmbed != setting_value::kEmbedNone) {
    fontFaces.reset();
    std::vector<BYTE> bytes;
    if (ReadPrinterDriverData(printer, printer_value::kFFaces, bytes))
      fontFaces = std::make_unique<FontFaceList>(FontFaceList::Decode(bytes.data(), bytes.size()));
  }

  upload = options.Upload;
}
