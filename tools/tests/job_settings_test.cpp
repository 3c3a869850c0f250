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
      {R"({"settings": {"PDFVersion": 12}})", "settings.PDFVersion: 12 is not from 13 to 15"},
      {R"({"settings": {"Overwrite": "yes"}})", "settings.Overwrite: a whole number from 0 to 1"},
      {R"({"settings": {"DPI": 1.5}})", "settings.DPI: a whole number"},
      {R"({"settings": {"Folder": 3}})", "settings.Folder: a text"},
      {R"({"settings": {"Batch": 1}})", "settings.Batch: a value of the printer, not a setting of the job"},
      {R"({"settings": {"Colour": 1}})", "settings.Colour: no such setting"},
      {R"({"settings": {"PaperWidth": 1000}})", "settings.PaperWidth: takes effect only with PaperSize 256"},
      {R"({"settings": {"PaperSize": 0, "FormName": "Nope"}})", "the printer has no form \"Nope\""},
      {R"({"settings": {"PaperSize": 250}})", "settings.PaperSize: the printer has no form 250"},
      {R"({"settings": {"FormName": "A form name far longer than thirty-one"}})", "longer than 31 characters"},
  };
  for (const auto& c : cases) EXPECT_NE(ErrorOf(c.settings).find(c.message), std::string::npos) << ErrorOf(c.settings);
}

}  // namespace
