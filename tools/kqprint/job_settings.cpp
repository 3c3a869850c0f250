#include "job_settings.h"

#include <array>
#include <optional>
#include <string_view>

#include "printer_settings/printer_values.h"
#include "win/paths.h"

namespace kqprint {

namespace {

// An option byte of the record's private part and the values it takes.
struct ByteSetting {
  const WCHAR* name;
  BYTE DriverPrivate::*field;
  int lowest;
  int highest;
};

constexpr std::array kByteSettings = {
    ByteSetting{printer_value::kImageCompress, &DriverPrivate::ImageCompress, 0, 1},
    ByteSetting{printer_value::kFontEmbed, &DriverPrivate::FontEmbed, 0, 3},
    ByteSetting{printer_value::kOverwrite, &DriverPrivate::Overwrite, 0, 1},
    ByteSetting{printer_value::kPDFVersion, &DriverPrivate::PDFVersion, 13, 15},
    ByteSetting{printer_value::kColorSpace, &DriverPrivate::ColorSpace, 0, 255},
    ByteSetting{printer_value::kUOM, &DriverPrivate::UOM, 0, 2},
    ByteSetting{printer_value::kIgnoreBackground, &DriverPrivate::IgnoreBackground, 0, 1},
    ByteSetting{printer_value::kPPOption, &DriverPrivate::PPOption, 0, 1},
    ByteSetting{printer_value::kUseDefFileName, &DriverPrivate::UseDefFileName, 0, 1},
    ByteSetting{printer_value::kOpenFile, &DriverPrivate::OpenFile, 0, 1},
    ByteSetting{printer_value::kGDIPunt, &DriverPrivate::GDIPunt, 0, 1},
    ByteSetting{printer_value::kFontWarnMsg, &DriverPrivate::FontWarnMsg, 0, 1},
    ByteSetting{printer_value::kMergeImages, &DriverPrivate::MergeImages, 0, 1},
    ByteSetting{printer_value::kPDFA1B, &DriverPrivate::PDFA1B, 0, 1},
    ByteSetting{printer_value::kUpload, &DriverPrivate::Upload, 0, 1},
};

// Values of the printer that the record does not carry.
constexpr std::array kPrinterOnly = {printer_value::kFFaces, printer_value::kBatch, printer_value::kDestName};

// Value names are compared ignoring ASCII case, as the printer's values are.
bool Is(const std::string& name, const WCHAR* valueName) {
  const kq::WString wide = kq::WideFromUtf8(name);
  const kq::WStringView expected(valueName);
  if (wide.size() != expected.size()) return false;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (kq::FoldAscii(wide[i]) != kq::FoldAscii(expected[i])) return false;
  }
  return true;
}

std::string Where(const JobSetting& setting) { return "settings." + setting.name; }

int Number(const JobSetting& setting, int lowest, int highest) {
  if (!setting.value.is_number_integer())
    throw JobError(Where(setting) + ": a whole number from " + std::to_string(lowest) + " to " +
                   std::to_string(highest));
  const auto value = setting.value.get<long long>();
  if (value < lowest || value > highest)
    throw JobError(Where(setting) + ": " + std::to_string(value) + " is not from " + std::to_string(lowest) +
                   " to " + std::to_string(highest));
  return static_cast<int>(value);
}

kq::WString Text(const JobSetting& setting, std::size_t maxChars) {
  if (!setting.value.is_string()) throw JobError(Where(setting) + ": a text");
  kq::WString text = kq::WideFromUtf8(setting.value.get<std::string>());
  if (text.size() > maxChars)
    throw JobError(Where(setting) + ": longer than " + std::to_string(maxChars) + " characters");
  return text;
}

// A path a person hands in: a POSIX path names a Z: path; a path with a drive is taken as it is.
kq::WString PathSetting(const JobSetting& setting) {
  const kq::WString text = Text(setting, kDriverPathChars - 1);
  if (text.empty()) return text;
  const bool hasDrive = text.size() >= 2 && text[1] == u':' &&
                        ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
  if (hasDrive) return text;
  kq::WString path = kq::WindowsPathFromPosix(setting.value.get<std::string>());
  if (path.size() > static_cast<std::size_t>(kDriverPathChars - 1))
    throw JobError(Where(setting) + ": the path is longer than " + std::to_string(kDriverPathChars - 1) +
                   " characters");
  return path;
}

void CopyText(WCHAR* field, std::size_t units, const kq::WString& text) {
  lstrcpynW(field, text.c_str(), static_cast<int>(units));
}

void SettlePaper(DEVMODEW& dm, HANDLE printer) {
  if (dm.dmPaperSize == DMPAPER_USER) {
    CopyText(dm.dmFormName, CCHFORMNAME, kCustomFormName);
  } else if (dm.dmPaperSize >= 1 && dm.dmPaperSize < DMPAPER_USER) {
    WCHAR name[CCHFORMNAME] = {};
    if (!GetFormByIndex(printer, dm.dmPaperSize, &dm.dmPaperLength, &dm.dmPaperWidth, name))
      throw JobError("settings.PaperSize: the printer has no form " + std::to_string(dm.dmPaperSize));
    CopyText(dm.dmFormName, CCHFORMNAME, name);
  } else if (!GetFormByName(printer, dm.dmFormName, &dm.dmPaperLength, &dm.dmPaperWidth, &dm.dmPaperSize)) {
    throw JobError("settings.FormName: the printer has no form \"" + kq::Utf8FromWide(dm.dmFormName) + "\"");
  }
}

}  // namespace

void ApplySettings(const std::vector<JobSetting>& settings, DriverDevMode& record, HANDLE printer) {
  DEVMODEW& dm = record.dm;
  DriverPrivate& priv = record.priv;
  bool paper = false;
  const JobSetting* customSize = nullptr;
  for (const JobSetting& setting : settings) {
    if (Is(setting.name, printer_value::kOrientation)) {
      dm.dmOrientation = static_cast<SHORT>(Number(setting, DMORIENT_PORTRAIT, DMORIENT_LANDSCAPE));
    } else if (Is(setting.name, printer_value::kPaperSize)) {
      dm.dmPaperSize = static_cast<SHORT>(Number(setting, 0, DMPAPER_USER));
      paper = true;
    } else if (Is(setting.name, printer_value::kFormName)) {
      CopyText(dm.dmFormName, CCHFORMNAME, Text(setting, CCHFORMNAME - 1));
      paper = true;
    } else if (Is(setting.name, printer_value::kPaperWidth)) {
      dm.dmPaperWidth = static_cast<SHORT>(Number(setting, 1, 32767));
      paper = true;
      customSize = &setting;
    } else if (Is(setting.name, printer_value::kPaperLength)) {
      dm.dmPaperLength = static_cast<SHORT>(Number(setting, 1, 32767));
      paper = true;
      customSize = &setting;
    } else if (Is(setting.name, printer_value::kDPI)) {
      dm.dmPrintQuality = dm.dmYResolution = static_cast<SHORT>(Number(setting, 1, 32767));
    } else if (Is(setting.name, printer_value::kFolder)) {
      CopyText(priv.Folder, kDriverPathChars, PathSetting(setting));
    } else if (Is(setting.name, printer_value::kICCProfile)) {
      CopyText(priv.ICCProfile, kDriverPathChars, PathSetting(setting));
    } else if (Is(setting.name, printer_value::kBitmapFontSize)) {
      priv.BitmapFontSize = static_cast<WORD>(Number(setting, 1, 0xFFFF));
    } else {
      const ByteSetting* option = nullptr;
      for (const ByteSetting& candidate : kByteSettings) {
        if (Is(setting.name, candidate.name)) option = &candidate;
      }
      if (option) {
        priv.*option->field = static_cast<BYTE>(Number(setting, option->lowest, option->highest));
        continue;
      }
      for (const WCHAR* name : kPrinterOnly) {
        if (Is(setting.name, name))
          throw JobError(Where(setting) + ": a value of the printer, not a setting of the job");
      }
      throw JobError(Where(setting) + ": no such setting");
    }
  }
  // A paper width or length is the size of a custom form; with a form of the printer it would be lost.
  if (customSize && dm.dmPaperSize != DMPAPER_USER)
    throw JobError(Where(*customSize) + ": takes effect only with PaperSize 256 (a custom size)");
  if (paper) SettlePaper(dm, printer);
}

}  // namespace kqprint
