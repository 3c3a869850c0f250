// Fuzz target of the printer's values under "PrinterDriverData", as whoever administers the printer may have set
// them: the settings record's defaults built from them, and the "FFaces" list of fonts to embed. The input gives
// each value of kNames in turn: a kind byte (REG_DWORD, REG_SZ, REG_BINARY or none), a length byte and the bytes;
// values past the input's end are of no kind the readers take.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "printer_fuzzing.h"
#include "printer_settings/printer_values.h"
#include "win/registry.h"

namespace {

using namespace printer_value;
constexpr const WCHAR* kNames[] = {
    kOrientation,   kPaperSize,        kFormName,  kPaperWidth,     kPaperLength,    kDPI,        kFolder,
    kImageCompress, kFontEmbed,        kOverwrite, kPDFVersion,     kBitmapFontSize, kColorSpace, kICCProfile,
    kUOM,           kIgnoreBackground, kPPOption,  kUseDefFileName, kOpenFile,       kGDIPunt,    kFontWarnMsg,
    kMergeImages,   kPDFA1B,           kUpload,    kFFaces,         kBatch,          kDestName};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto& printer = *new fuzzing::VirtualPrinter(true);
  std::size_t at = 0;
  for (const WCHAR* name : kNames) {
    static constexpr DWORD kKinds[] = {REG_DWORD, REG_SZ, REG_BINARY, REG_NONE};
    DWORD kind = REG_NONE;
    std::vector<BYTE> bytes;
    if (at + 2 <= size) {
      kind = kKinds[data[at] % 4];
      const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
      bytes.assign(data + at + 2, data + at + 2 + length);
      at += 2 + length;
    }
    if (SetPrinterDataExW(printer.handle, kPrinterDriverData, name, kind, bytes.data(),
                          static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS)
      std::abort();
  }

  DriverDevMode record{};
  BuildDefaultDevMode(&record, printer.handle);
  // What the driver and the pages rely on.
  if (!fuzzing::Terminated(record.priv.Folder, kDriverPathChars) ||
      !fuzzing::Terminated(record.priv.ICCProfile, kDriverPathChars) ||
      !fuzzing::Terminated(record.dm.dmFormName, CCHFORMNAME) || record.priv.FontEmbed > 3 ||
      record.priv.BitmapFontSize == 0 || record.dm.dmPaperWidth < 1 || record.dm.dmPaperLength < 1 ||
      record.dm.dmPrintQuality < 1)
    __builtin_trap();

  std::vector<BYTE> stored;
  if (ReadPrinterDriverData(printer.handle, kFFaces, stored)) {
    const FontFaceList faces = FontFaceList::Decode(stored.data(), stored.size());
    // The list written again reads back the same.
    const std::vector<std::uint8_t> again = faces.Encode();
    if (FontFaceList::Decode(again.data(), again.size()).Faces() != faces.Faces()) __builtin_trap();
    for (const auto& face : faces.Faces())
      if (face.empty() || face.find(u'\0') != std::u16string::npos) __builtin_trap();
  }
  return 0;
}
