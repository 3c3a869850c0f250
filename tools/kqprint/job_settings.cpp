#include "job_settings.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "job_names.h"
#include "printer_settings/printer_values.h"
#include "printer_settings/setting_values.h"
#include "win/paths.h"

namespace kqprint {

namespace {

// ---- The record's fields ----

template <auto Field>
int GetPublic(const DriverDevMode& record) {
  return static_cast<int>(record.dm.*Field);
}
template <auto Field>
void SetPublic(DriverDevMode& record, int value) {
  record.dm.*Field = static_cast<std::remove_reference_t<decltype(record.dm.*Field)>>(value);
}
template <auto Field>
int GetPrivate(const DriverDevMode& record) {
  return static_cast<int>(record.priv.*Field);
}
template <auto Field>
void SetPrivate(DriverDevMode& record, int value) {
  record.priv.*Field = static_cast<std::remove_reference_t<decltype(record.priv.*Field)>>(value);
}

// A text field's characters up to its zero (or its end).
template <std::size_t N>
kq::WString Bounded(const WCHAR (&field)[N]) {
  return kq::WString(field, std::find(field, field + N, u'\0') - field);
}
template <std::size_t N>
void CopyText(WCHAR (&field)[N], const kq::WString& text) {
  lstrcpynW(field, text.c_str(), static_cast<int>(N));
}

kq::WString GetFormName(const DriverDevMode& record) { return Bounded(record.dm.dmFormName); }
void SetFormName(DriverDevMode& record, const kq::WString& text) { CopyText(record.dm.dmFormName, text); }
kq::WString GetFolder(const DriverDevMode& record) { return Bounded(record.priv.Folder); }
void SetFolder(DriverDevMode& record, const kq::WString& text) { CopyText(record.priv.Folder, text); }
kq::WString GetProfile(const DriverDevMode& record) { return Bounded(record.priv.ICCProfile); }
void SetProfile(DriverDevMode& record, const kq::WString& text) { CopyText(record.priv.ICCProfile, text); }

void SetResolution(DriverDevMode& record, int dpi) {
  record.dm.dmPrintQuality = record.dm.dmYResolution = static_cast<SHORT>(dpi);
}

Setting Flag(const WCHAR* name, std::string_view meaning, int (*get)(const DriverDevMode&),
             void (*set)(DriverDevMode&, int)) {
  return Setting{.valueName = name, .meaning = meaning, .kind = SettingKind::Flag, .lowest = setting_value::kNo,
                 .highest = setting_value::kYes, .get = get, .set = set};
}

// The choices of a settings table as the tool lists them.
template <std::size_t N>
std::vector<NamedValue> Table(const setting_value::Named (&table)[N]) {
  std::vector<NamedValue> names;
  for (const setting_value::Named& named : table) names.push_back({named.name, named.number, named.meaning});
  return names;
}

Setting Path(const WCHAR* name, std::string_view meaning, kq::WString (*get)(const DriverDevMode&),
             void (*set)(DriverDevMode&, const kq::WString&)) {
  return Setting{.valueName = name, .meaning = meaning, .kind = SettingKind::Path,
                 .maxChars = kDriverPathChars - 1, .getText = get, .setText = set};
}

// Values of the printer that the record does not carry.
constexpr std::array kPrinterOnly = {printer_value::kFFaces, printer_value::kBatch, printer_value::kDestName};

// Value names are compared ignoring ASCII case, as the printer's values are.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return kq::FoldAscii(static_cast<unsigned char>(x)) == kq::FoldAscii(static_cast<unsigned char>(y));
         });
}

std::string Utf8(const WCHAR* text) { return kq::Utf8FromWide(text); }

std::string Range(const Setting& setting) {
  return "a whole number from " + std::to_string(setting.lowest) + " to " + std::to_string(setting.highest);
}

std::string Named(const NamedValue& value) { return value.name + " (" + std::to_string(value.number) + ")"; }

std::string Listed(const std::vector<NamedValue>& names) {
  std::string list;
  for (const NamedValue& value : names) list += (list.empty() ? "" : ", ") + Named(value);
  return list;
}

// Choices are listed in an error when they are few; a long list is left to --list-settings.
constexpr std::size_t kChoicesInAnError = 12;

std::string Choices(const std::vector<NamedValue>& names) {
  if (names.size() <= kChoicesInAnError) return "one of " + Listed(names);
  return "one of its " + std::to_string(names.size()) + " names (kqprint --list-settings lists them)";
}

class Applier {
 public:
  Applier(const Setting& setting, const JobSetting& given, HANDLE printer)
      : setting_(setting), given_(given), printer_(printer) {}

  std::string Where() const { return "settings." + given_.name; }

  [[noreturn]] void Fail(const std::string& why) const { throw JobError(Where() + ": " + why); }

  int Number() const {
    const auto& value = given_.value;
    if (!value.is_number_integer()) Fail(Range(setting_));
    const auto number = value.get<long long>();
    if (number < setting_.lowest || number > setting_.highest)
      Fail(std::to_string(number) + " is not from " + std::to_string(setting_.lowest) + " to " +
           std::to_string(setting_.highest));
    return static_cast<int>(number);
  }

  int Choice() const {
    const auto& value = given_.value;
    const std::vector<NamedValue> names = NamesOf(setting_, printer_);
    if (value.is_string()) {
      const std::string text = value.get<std::string>();
      for (const NamedValue& named : names)
        if (SameName(named.name, text)) return named.number;
      std::vector<std::string_view> known;
      for (const NamedValue& named : names) known.push_back(named.name);
      const std::string nearest = NearestName(text, known);
      Fail("\"" + text + "\" is not " + Choices(names) +
           (nearest.empty() ? std::string() : "; did you mean \"" + nearest + "\"?"));
    }
    if (!value.is_number_integer()) Fail("a name, " + Choices(names) + ", or " + Range(setting_));
    const auto number = value.get<long long>();
    if (number < setting_.lowest || number > setting_.highest) {
      if (names.size() == static_cast<std::size_t>(setting_.highest - setting_.lowest + 1))
        Fail(std::to_string(number) + " is not " + Choices(names));
      Fail(std::to_string(number) + " is not from " + std::to_string(setting_.lowest) + " to " +
           std::to_string(setting_.highest));
    }
    return static_cast<int>(number);
  }

  int Flag() const {
    const auto& value = given_.value;
    if (value.is_boolean()) return value.get<bool>() ? setting_value::kYes : setting_value::kNo;
    if (value.is_number_integer() &&
        (value.get<long long>() == setting_value::kNo || value.get<long long>() == setting_value::kYes))
      return static_cast<int>(value.get<long long>());
    Fail(value.dump() + " is not true or false (or 1 or 0)");
  }

  kq::WString Text() const {
    if (!given_.value.is_string()) Fail("a text");
    kq::WString text = kq::WideFromUtf8(given_.value.get<std::string>());
    if (text.size() > setting_.maxChars) Fail("longer than " + std::to_string(setting_.maxChars) + " characters");
    return text;
  }

  // A path a person hands in: a POSIX path names a Z: path; a path with a drive is taken as it is.
  kq::WString Path() const {
    const kq::WString text = Text();
    if (text.empty()) return text;
    const bool hasDrive = text.size() >= 2 && text[1] == u':' &&
                          ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
    if (hasDrive) return text;
    kq::WString path = kq::WindowsPathFromPosix(given_.value.get<std::string>());
    if (path.size() > setting_.maxChars)
      Fail("the path is longer than " + std::to_string(setting_.maxChars) + " characters");
    return path;
  }

  void Into(DriverDevMode& record) const {
    switch (setting_.kind) {
      case SettingKind::Number: setting_.set(record, Number()); break;
      case SettingKind::Choice: setting_.set(record, Choice()); break;
      case SettingKind::Flag: setting_.set(record, Flag()); break;
      case SettingKind::Text: setting_.setText(record, Text()); break;
      case SettingKind::Path: setting_.setText(record, Path()); break;
    }
  }

 private:
  const Setting& setting_;
  const JobSetting& given_;
  HANDLE printer_;
};

void SettlePaper(DEVMODEW& dm, HANDLE printer) {
  if (dm.dmPaperSize == DMPAPER_USER) {
    CopyText(dm.dmFormName, kCustomFormName);
  } else if (dm.dmPaperSize >= 1 && dm.dmPaperSize < DMPAPER_USER) {
    WCHAR name[CCHFORMNAME] = {};
    if (!GetFormByIndex(printer, dm.dmPaperSize, &dm.dmPaperLength, &dm.dmPaperWidth, name))
      throw JobError("settings.PaperSize: the printer has no form " + std::to_string(dm.dmPaperSize));
    CopyText(dm.dmFormName, name);
  } else if (!GetFormByName(printer, dm.dmFormName, &dm.dmPaperLength, &dm.dmPaperWidth, &dm.dmPaperSize)) {
    throw JobError("settings.FormName: the printer has no form \"" + kq::Utf8FromWide(dm.dmFormName) + "\"");
  }
}

const Setting* Find(std::string_view name) {
  for (const Setting& setting : JobSettings())
    if (SameName(Utf8(setting.valueName), name)) return &setting;
  return nullptr;
}

[[noreturn]] void Unknown(const JobSetting& given) {
  for (const WCHAR* name : kPrinterOnly) {
    if (SameName(Utf8(name), given.name))
      throw JobError("settings." + given.name + ": a value of the printer, not a setting of the job");
  }
  std::vector<std::string> names;
  for (const Setting& setting : JobSettings()) names.push_back(Utf8(setting.valueName));
  const std::vector<std::string_view> known(names.begin(), names.end());
  const std::string hint = Hint(given.name, known, "");
  throw JobError("settings." + given.name + ": no such setting" +
                 (hint.empty() ? " (kqprint --list-settings lists them)" : hint));
}

// Items joined by ", ", wrapped between items at the width, each line after the first indented.
std::string Wrapped(const std::vector<std::string>& items, std::size_t indent, std::size_t width = 100) {
  std::string out;
  std::size_t column = indent;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string item = items[i] + (i + 1 < items.size() ? "," : "");
    if (i > 0 && column + 1 + item.size() > width) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (i > 0) {
      out += ' ';
      ++column;
    }
    out += item;
    column += item.size();
  }
  return out;
}

std::vector<std::string> ValuesText(const Setting& setting, HANDLE printer) {
  switch (setting.kind) {
    case SettingKind::Number: return {Range(setting)};
    case SettingKind::Flag: return {"true or false (1 or 0)"};
    case SettingKind::Text: return {"a text of at most " + std::to_string(setting.maxChars) + " characters"};
    case SettingKind::Path:
      return {"a path of at most " + std::to_string(setting.maxChars) + " characters (a POSIX path names a Z: path)"};
    case SettingKind::Choice: break;
  }
  std::vector<std::string> items;
  const std::vector<NamedValue> names = NamesOf(setting, printer);
  for (const NamedValue& value : names)
    items.push_back(Named(value) + (value.meaning.empty() ? "" : ": " + value.meaning));
  if (names.size() < static_cast<std::size_t>(setting.highest - setting.lowest + 1))
    items.push_back("or another number from " + std::to_string(setting.lowest) + " to " +
                    std::to_string(setting.highest));
  return items;
}

}  // namespace

const std::vector<Setting>& JobSettings() {
  static const std::vector<Setting> settings = {
      {.valueName = printer_value::kOrientation,
       .meaning = "the paper's orientation",
       .kind = SettingKind::Choice,
       .lowest = DMORIENT_PORTRAIT,
       .highest = DMORIENT_LANDSCAPE,
       .names = {{"portrait", DMORIENT_PORTRAIT, ""}, {"landscape", DMORIENT_LANDSCAPE, ""}},
       .get = GetPublic<&DEVMODEW::dmOrientation>,
       .set = SetPublic<&DEVMODEW::dmOrientation>},
      {.valueName = printer_value::kPaperSize,
       .meaning = "the paper: a form of the printer, by name or number; 0 takes the form FormName names",
       .kind = SettingKind::Choice,
       .lowest = 0,
       .highest = DMPAPER_USER,
       .get = GetPublic<&DEVMODEW::dmPaperSize>,
       .set = SetPublic<&DEVMODEW::dmPaperSize>,
       .paper = true},
      {.valueName = printer_value::kFormName,
       .meaning = "the name of the paper's form, taken with PaperSize 0",
       .kind = SettingKind::Text,
       .maxChars = CCHFORMNAME - 1,
       .getText = GetFormName,
       .setText = SetFormName,
       .paper = true},
      {.valueName = printer_value::kPaperWidth,
       .meaning = "the custom paper's width in 0.1 mm, taken with PaperSize 256",
       .kind = SettingKind::Number,
       .lowest = 1,
       .highest = 32767,
       .get = GetPublic<&DEVMODEW::dmPaperWidth>,
       .set = SetPublic<&DEVMODEW::dmPaperWidth>,
       .paper = true,
       .customSize = true},
      {.valueName = printer_value::kPaperLength,
       .meaning = "the custom paper's length in 0.1 mm, taken with PaperSize 256",
       .kind = SettingKind::Number,
       .lowest = 1,
       .highest = 32767,
       .get = GetPublic<&DEVMODEW::dmPaperLength>,
       .set = SetPublic<&DEVMODEW::dmPaperLength>,
       .paper = true,
       .customSize = true},
      {.valueName = printer_value::kDPI,
       .meaning = "the resolution in dots per inch (GDIPunt caps it at 300)",
       .kind = SettingKind::Number,
       .lowest = 1,
       .highest = 32767,
       .get = GetPublic<&DEVMODEW::dmPrintQuality>,
       .set = SetResolution},
      Path(printer_value::kFolder, "the output folder: default names go there and Save As starts there", GetFolder,
           SetFolder),
      Flag(printer_value::kImageCompress, "lossy (JPEG) compression of images",
           GetPrivate<&DriverPrivate::ImageCompress>, SetPrivate<&DriverPrivate::ImageCompress>),
      {.valueName = printer_value::kFontEmbed,
       .meaning = "which fonts are embedded",
       .kind = SettingKind::Choice,
       .lowest = setting_value::kEmbedNone,
       .highest = setting_value::kEmbedNonStandard,
       .names = Table(setting_value::kFontEmbedNames),
       .get = GetPrivate<&DriverPrivate::FontEmbed>,
       .set = SetPrivate<&DriverPrivate::FontEmbed>},
      Flag(printer_value::kOverwrite, "replace an existing output file without asking",
           GetPrivate<&DriverPrivate::Overwrite>, SetPrivate<&DriverPrivate::Overwrite>),
      {.valueName = printer_value::kPDFVersion,
       .meaning = "the PDF version chosen on the General page",
       .kind = SettingKind::Choice,
       .lowest = setting_value::kPdf13,
       .highest = setting_value::kPdf15,
       .names = Table(setting_value::kPdfVersionNames),
       .get = GetPrivate<&DriverPrivate::PDFVersion>,
       .set = SetPrivate<&DriverPrivate::PDFVersion>},
      {.valueName = printer_value::kBitmapFontSize,
       .meaning = "the bitmap font size in pixels",
       .kind = SettingKind::Number,
       .lowest = 1,
       .highest = 0xFFFF,
       .get = GetPrivate<&DriverPrivate::BitmapFontSize>,
       .set = SetPrivate<&DriverPrivate::BitmapFontSize>},
      {.valueName = printer_value::kColorSpace,
       .meaning = "the colour space choice",
       .kind = SettingKind::Number,
       .lowest = 0,
       .highest = 255,
       .get = GetPrivate<&DriverPrivate::ColorSpace>,
       .set = SetPrivate<&DriverPrivate::ColorSpace>},
      Path(printer_value::kICCProfile, "the ICC profile's path", GetProfile, SetProfile),
      {.valueName = printer_value::kUOM,
       .meaning = "the unit of the Layout page",
       .kind = SettingKind::Choice,
       .lowest = setting_value::kUnitInch,
       .highest = setting_value::kUnitMillimeter,
       .names = Table(setting_value::kUnitNames),
       .get = GetPrivate<&DriverPrivate::UOM>,
       .set = SetPrivate<&DriverPrivate::UOM>},
      Flag(printer_value::kIgnoreBackground, "ignore drawing that depends on the background",
           GetPrivate<&DriverPrivate::IgnoreBackground>, SetPrivate<&DriverPrivate::IgnoreBackground>),
      Flag(printer_value::kPPOption, "run the post-processor on the finished file",
           GetPrivate<&DriverPrivate::PPOption>, SetPrivate<&DriverPrivate::PPOption>),
      Flag(printer_value::kUseDefFileName, "name the file from Folder and the document's title, without asking",
           GetPrivate<&DriverPrivate::UseDefFileName>, SetPrivate<&DriverPrivate::UseDefFileName>),
      Flag(printer_value::kOpenFile, "open the finished file", GetPrivate<&DriverPrivate::OpenFile>,
           SetPrivate<&DriverPrivate::OpenFile>),
      Flag(printer_value::kGDIPunt, "the transparent imaging model: a page bitmap, at most 300 dpi",
           GetPrivate<&DriverPrivate::GDIPunt>, SetPrivate<&DriverPrivate::GDIPunt>),
      Flag(printer_value::kFontWarnMsg, "warn when a font cannot be embedded", GetPrivate<&DriverPrivate::FontWarnMsg>,
           SetPrivate<&DriverPrivate::FontWarnMsg>),
      Flag(printer_value::kMergeImages, "merge large batches of small images into one image",
           GetPrivate<&DriverPrivate::MergeImages>, SetPrivate<&DriverPrivate::MergeImages>),
      Flag(printer_value::kPDFA1B, "PDF/A-1b output (embeds every font)", GetPrivate<&DriverPrivate::PDFA1B>,
           SetPrivate<&DriverPrivate::PDFA1B>),
      Flag(printer_value::kUpload, "the upload flag, carried to the driver", GetPrivate<&DriverPrivate::Upload>,
           SetPrivate<&DriverPrivate::Upload>),
  };
  return settings;
}

std::vector<NamedValue> NamesOf(const Setting& setting, HANDLE printer) {
  std::vector<NamedValue> names = setting.names;
  if (setting.valueName == printer_value::kPaperSize) {
    std::vector<PrinterForm> forms;
    if (ReadPrinterForms(printer, &forms)) {
      for (std::size_t i = 0; i < forms.size() && i + 1 < DMPAPER_USER; ++i) {
        // A name met before selects the earlier form.
        const std::string name = kq::Utf8FromWide(forms[i].name);
        if (std::none_of(names.begin(), names.end(), [&](const NamedValue& v) { return SameName(v.name, name); }))
          names.push_back({name, static_cast<int>(i + 1), ""});
      }
    }
    names.push_back({Utf8(kCustomFormName), DMPAPER_USER, "PaperWidth by PaperLength"});
  }
  return names;
}

std::string ValueText(const Setting& setting, const DriverDevMode& record, HANDLE printer) {
  switch (setting.kind) {
    case SettingKind::Number: return std::to_string(setting.get(record));
    case SettingKind::Flag: return setting.get(record) ? "true" : "false";
    case SettingKind::Text:
    case SettingKind::Path: {
      const kq::WString text = setting.getText(record);
      return text.empty() ? "none" : "\"" + kq::Utf8FromWide(text) + "\"";
    }
    case SettingKind::Choice: break;
  }
  const int number = setting.get(record);
  for (const NamedValue& value : NamesOf(setting, printer))
    if (value.number == number) return Named(value);
  return std::to_string(number);
}

void ApplySettings(const std::vector<JobSetting>& settings, DriverDevMode& record, HANDLE printer) {
  bool paper = false;
  const JobSetting* customSize = nullptr;
  for (const JobSetting& given : settings) {
    const Setting* setting = Find(given.name);
    if (!setting) Unknown(given);
    Applier(*setting, given, printer).Into(record);
    paper = paper || setting->paper;
    if (setting->customSize) customSize = &given;
  }
  // A paper width or length is the size of a custom form; with a form of the printer it would be lost.
  if (customSize && record.dm.dmPaperSize != DMPAPER_USER)
    throw JobError("settings." + customSize->name + ": takes effect only with PaperSize 256 (a custom size)");
  if (paper) SettlePaper(record.dm, printer);
}

std::string ListSettings(HANDLE printer, const DriverDevMode& defaults) {
  std::string text;
  for (const Setting& setting : JobSettings()) {
    text += Utf8(setting.valueName) + ": " + std::string(setting.meaning) + "\n";
    text += "    values: " + Wrapped(ValuesText(setting, printer), 12) + "\n";
    text += "    default: " + ValueText(setting, defaults, printer) + "\n";
  }
  return text;
}

}  // namespace kqprint
