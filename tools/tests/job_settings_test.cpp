#include "job_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "printer_settings/printer_values.h"
#include "win/machine.h"
#include "win/spooler.h"

namespace {

using nlohmann::ordered_json;

class JobSettingsTest : public ::testing::Test {
 protected:
  JobSettingsTest() {
    EXPECT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
    EXPECT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &printer_, nullptr));
    BuildDefaultDevMode(&record_, printer_);
  }
  ~JobSettingsTest() override { ClosePrinter(printer_); }

  void Apply(const char* settings) {
    kqprint::ApplySettings(kqprint::ParseJob(ordered_json::parse(settings), "/").settings, record_, printer_);
  }

  std::string ErrorOf(const char* settings) {
    try {
      Apply(settings);
    } catch (const kqprint::JobError& e) {
      return e.what();
    }
    return "(no error)";
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  HANDLE printer_ = nullptr;
  DriverDevMode record_{};
};

TEST_F(JobSettingsTest, PaperFollowsThePrintersForms) {
  Apply(R"({"settings": {"PaperSize": 8}})");
  EXPECT_EQ(record_.dm.dmPaperSize, 8);
  EXPECT_EQ(record_.dm.dmPaperLength, 4200);
  EXPECT_EQ(record_.dm.dmPaperWidth, 2970);
  EXPECT_EQ(std::u16string(record_.dm.dmFormName), u"A3");

  Apply(R"({"settings": {"PaperSize": 0, "FormName": "letter"}})");
  EXPECT_EQ(record_.dm.dmPaperSize, 1);
  EXPECT_EQ(record_.dm.dmPaperLength, 2794);
  EXPECT_EQ(record_.dm.dmPaperWidth, 2159);

  Apply(R"({"settings": {"PaperSize": 256, "PaperWidth": 1000, "PaperLength": 2000}})");
  EXPECT_EQ(record_.dm.dmPaperSize, DMPAPER_USER);
  EXPECT_EQ(record_.dm.dmPaperWidth, 1000);
  EXPECT_EQ(record_.dm.dmPaperLength, 2000);
  EXPECT_EQ(std::u16string(record_.dm.dmFormName), kCustomFormName);
}

TEST_F(JobSettingsTest, FieldsOfTheRecordByValueName) {
  Apply(R"({"settings": {"DPI": 600, "Orientation": 2, "gdipunt": 0, "OpenFile": 0, "PDFA1B": 1,
                         "Folder": "/tmp/out", "ICCProfile": "C:\\Profiles\\sRGB.icc", "BitmapFontSize": 48}})");
  EXPECT_EQ(record_.dm.dmPrintQuality, 600);
  EXPECT_EQ(record_.dm.dmYResolution, 600);
  EXPECT_EQ(record_.dm.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(record_.priv.GDIPunt, 0);
  EXPECT_EQ(record_.priv.OpenFile, 0);
  EXPECT_EQ(record_.priv.PDFA1B, 1);
  EXPECT_EQ(std::u16string(record_.priv.Folder), u"Z:\\tmp\\out");
  EXPECT_EQ(std::u16string(record_.priv.ICCProfile), u"C:\\Profiles\\sRGB.icc");
  EXPECT_EQ(record_.priv.BitmapFontSize, 48);
}

TEST_F(JobSettingsTest, SettingsTheRecordCannotTakeAreErrors) {
  const struct {
    const char* settings;
    const char* message;
  } cases[] = {
      {R"({"settings": {"PDFVersion": 12}})", "settings.PDFVersion: 12 is not one of 1.3 (13), 1.4 (14), 1.5 (15)"},
      {R"({"settings": {"Overwrite": "yes"}})", "settings.Overwrite: \"yes\" is not true or false (or 1 or 0)"},
      {R"({"settings": {"Overwrite": 2}})", "settings.Overwrite: 2 is not true or false"},
      {R"({"settings": {"Orientation": 3}})", "settings.Orientation: 3 is not one of portrait (1), landscape (2)"},
      {R"({"settings": {"Orientation": true}})", "settings.Orientation: a name, one of portrait (1), landscape (2)"},
      {R"({"settings": {"PaperSize": 300}})", "settings.PaperSize: 300 is not from 0 to 256"},
      {R"({"settings": {"PaperSize": "Nope"}})", "(kqprint --list-settings lists them)"},
      {R"({"settings": {"DPI": 1.5}})", "settings.DPI: a whole number"},
      {R"({"settings": {"Folder": 3}})", "settings.Folder: a text"},
      {R"({"settings": {"Batch": 1}})", "settings.Batch: a value of the printer, not a setting of the job"},
      {R"({"settings": {"Colour": 1}})", "settings.Colour: no such setting (kqprint --list-settings lists them)"},
      {R"({"settings": {"PaperWidth": 1000}})", "settings.PaperWidth: takes effect only with PaperSize 256"},
      {R"({"settings": {"PaperSize": 0, "FormName": "Nope"}})", "the printer has no form \"Nope\""},
      {R"({"settings": {"PaperSize": 250}})", "settings.PaperSize: the printer has no form 250"},
      {R"({"settings": {"FormName": "A form name far longer than thirty-one"}})", "longer than 31 characters"},
  };
  for (const auto& c : cases) EXPECT_NE(ErrorOf(c.settings).find(c.message), std::string::npos) << ErrorOf(c.settings);
}

}  // namespace

namespace {

// One table serves the parser and the listing: every setting round-trips by each of its names and by number, and
// the listing names exactly the table's settings and values.
TEST_F(JobSettingsTest, EverySettingRoundTripsByNameAndByNumberAndIsListed) {
  DriverDevMode defaults{};
  BuildDefaultDevMode(&defaults, printer_);
  auto applied = [&](const kqprint::Setting& setting, ordered_json value) {
    record_ = defaults;
    std::vector<kqprint::JobSetting> given;
    const std::string name = kq::Utf8FromWide(setting.valueName);
    if (setting.customSize) given.push_back({"PaperSize", 256});
    if (name == "FormName") given.push_back({"PaperSize", 0});
    given.push_back({name, std::move(value)});
    kqprint::ApplySettings(given, record_, printer_);
    return record_;
  };
  const std::string listing = kqprint::ListSettings(printer_, defaults);
  std::size_t listed = 0;
  for (std::size_t at = 0; at < listing.size(); at = listing.find('\n', at) + 1)
    if (listing[at] != ' ') ++listed;
  EXPECT_EQ(listed, kqprint::JobSettings().size()) << listing;

  for (const kqprint::Setting& setting : kqprint::JobSettings()) {
    const std::string name = kq::Utf8FromWide(setting.valueName);
    SCOPED_TRACE(name);
    EXPECT_NE(listing.find(name + ": " + std::string(setting.meaning) + "\n    values: "), std::string::npos);
    EXPECT_NE(listing.find("default: " + kqprint::ValueText(setting, defaults, printer_)), std::string::npos);
    switch (setting.kind) {
      case kqprint::SettingKind::Choice: {
        const auto names = kqprint::NamesOf(setting, printer_);
        EXPECT_FALSE(names.empty());
        for (const kqprint::NamedValue& value : names) {
          EXPECT_NE(listing.find(value.name + " (" + std::to_string(value.number) + ")"), std::string::npos)
              << value.name;
          EXPECT_EQ(setting.get(applied(setting, value.name)), value.number) << value.name;
          EXPECT_EQ(setting.get(applied(setting, value.number)), value.number) << value.name;
          EXPECT_EQ(kqprint::ValueText(setting, record_, printer_),
                    value.name + " (" + std::to_string(value.number) + ")");
        }
        break;
      }
      case kqprint::SettingKind::Flag:
        EXPECT_EQ(setting.get(applied(setting, true)), 1);
        EXPECT_EQ(setting.get(applied(setting, false)), 0);
        EXPECT_EQ(setting.get(applied(setting, 1)), 1);
        EXPECT_EQ(setting.get(applied(setting, 0)), 0);
        break;
      case kqprint::SettingKind::Number:
        EXPECT_EQ(setting.get(applied(setting, setting.lowest)), setting.lowest);
        EXPECT_EQ(setting.get(applied(setting, setting.highest)), setting.highest);
        break;
      case kqprint::SettingKind::Text:
        EXPECT_EQ(setting.getText(applied(setting, "a3")), u"a3");
        break;
      case kqprint::SettingKind::Path:
        EXPECT_EQ(setting.getText(applied(setting, "/tmp/x")), u"Z:\\tmp\\x");
        EXPECT_EQ(setting.getText(applied(setting, "C:\\Out")), u"C:\\Out");
        break;
    }
  }
}

TEST_F(JobSettingsTest, SettingsByNameSetTheRecordAsTheirNumbersDo) {
  Apply(R"({"settings": {"PaperSize": "a3", "Orientation": "Landscape", "FontEmbed": "standard", "PDFVersion": "1.5",
                         "UOM": "millimeter", "Overwrite": true, "OpenFile": false}})");
  EXPECT_EQ(record_.dm.dmPaperSize, 8);
  EXPECT_EQ(std::u16string(record_.dm.dmFormName), u"A3");
  EXPECT_EQ(record_.dm.dmPaperLength, 4200);
  EXPECT_EQ(record_.dm.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(record_.priv.FontEmbed, 3);
  EXPECT_EQ(record_.priv.PDFVersion, 15);
  EXPECT_EQ(record_.priv.UOM, 2);
  EXPECT_EQ(record_.priv.Overwrite, 1);
  EXPECT_EQ(record_.priv.OpenFile, 0);

  Apply(R"({"settings": {"PaperSize": "Custom-size Form", "PaperWidth": 1000, "PaperLength": 1500}})");
  EXPECT_EQ(record_.dm.dmPaperSize, DMPAPER_USER);
  EXPECT_EQ(record_.dm.dmPaperWidth, 1000);
}

TEST_F(JobSettingsTest, AMisspeltSettingOrValueNamesTheNearestValidOne) {
  const struct {
    const char* settings;
    const char* message;
  } cases[] = {
      {R"({"settings": {"Orientaton": 1}})", "settings.Orientaton: no such setting; did you mean \"Orientation\"?"},
      {R"({"settings": {"PaperSise": 9}})", "settings.PaperSise: no such setting; did you mean \"PaperSize\"?"},
      {R"({"settings": {"Orientation": "landscap"}})",
       "settings.Orientation: \"landscap\" is not one of portrait (1), landscape (2); did you mean \"landscape\"?"},
      {R"({"settings": {"FontEmbed": "standart"}})", "did you mean \"standard\"?"},
      {R"({"settings": {"PaperSize": "A33"}})",
       "settings.PaperSize: \"A33\" is not one of its"},
      {R"({"settings": {"PaperSize": "Leter"}})", "did you mean \"Letter\"?"},
  };
  for (const auto& c : cases) EXPECT_NE(ErrorOf(c.settings).find(c.message), std::string::npos) << ErrorOf(c.settings);
}

}  // namespace
