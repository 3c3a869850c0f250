#include <cstring>
#include <functional>

#include "printer_fixture.h"

namespace {

class SaveDefaultsTest : public PrinterFixture {};

std::vector<std::u16string> Names(const std::vector<SavedPrinterValue>& values) {
  std::vector<std::u16string> names;
  for (const auto& v : values) names.emplace_back(v.name);
  return names;
}

const std::vector<std::u16string> kPrivateOrder = {
    u"BitmapFontSize", u"Overwrite",  u"ColorSpace",  u"Folder",           u"FontEmbed", u"ICCProfile",
    u"ImageCompress",  u"PDFVersion", u"UOM",         u"IgnoreBackground", u"PPOption",  u"UseDefFileName",
    u"OpenFile",       u"GDIPunt",    u"FontWarnMsg", u"MergeImages",      u"PDFA1B",    u"Upload"};

std::vector<std::u16string> Then(std::vector<std::u16string> first) {
  first.insert(first.end(), kPrivateOrder.begin(), kPrivateOrder.end());
  return first;
}

TEST_F(SaveDefaultsTest, SaveOrderFollowsTheFields) {
  struct Case {
    const char* what;
    DWORD fields;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      {"the record's own fields", kDriverDevModeFields,
       Then({u"Orientation", u"PaperSize", u"FormName", u"PaperWidth", u"PaperLength", u"DPI"})},
      {"without DM_PRINTQUALITY", kDriverDevModeFields & ~DM_PRINTQUALITY,
       Then({u"Orientation", u"PaperSize", u"FormName", u"PaperWidth", u"PaperLength"})},
      {"only the form name and quality", DM_FORMNAME | DM_PRINTQUALITY, Then({u"FormName", u"DPI"})},
      {"only the paper's size", DM_PAPERLENGTH | DM_PAPERWIDTH, Then({u"PaperWidth", u"PaperLength"})},
      {"no fields", 0, kPrivateOrder},
  };
  DriverDevMode record = Build();
  for (const Case& c : cases) {
    record.dm.dmFields = c.fields;
    EXPECT_EQ(Names(ValuesToSave(record)), c.names) << c.what;
  }
}

TEST_F(SaveDefaultsTest, NumbersAreFourByteDwordsAndTextHasNoZero) {
  DriverDevMode record = Build();
  lstrcpynW(record.priv.Folder, u"C:\\Out", kDriverPathChars);
  record.dm.dmPrintQuality = 600;
  for (const SavedPrinterValue& v : ValuesToSave(record)) {
    const std::u16string name(v.name);
    if (name == u"Folder" || name == u"ICCProfile" || name == u"FormName") {
      EXPECT_EQ(v.type, REG_SZ) << Narrow(v.name);
    } else {
      EXPECT_EQ(v.type, REG_DWORD) << Narrow(v.name);
      EXPECT_EQ(v.data.size(), 4u) << Narrow(v.name);
    }
    const std::vector<BYTE> expected = name == u"Folder"       ? Bytes(u"C:\\Out")
                                       : name == u"ICCProfile" ? std::vector<BYTE>()
                                       : name == u"FormName"   ? Bytes(u"A4")
                                       : name == u"DPI"        ? std::vector<BYTE>{0x58, 0x02, 0, 0}
                                                               : v.data;
    EXPECT_EQ(v.data, expected) << Narrow(v.name);
  }
  // A field without its zero is written up to its end, never beyond.
  for (auto& c : record.priv.Folder) c = u'f';
  for (const SavedPrinterValue& v : ValuesToSave(record)) {
    if (std::u16string(v.name) == u"Folder") {
      EXPECT_EQ(v.data.size(), 520u);
    }
  }
}

TEST_F(SaveDefaultsTest, AllEighteenPrivateValuesRoundTrip) {
  // Each case sets one private value away from its default; saving and building again gives the same record.
  struct Case {
    const char* name;
    std::function<void(DriverPrivate&)> set;
  };
  const Case cases[] = {
      {"Folder", [](DriverPrivate& p) { lstrcpynW(p.Folder, u"Z:\\home\\ann\\out", kDriverPathChars); }},
      {"ImageCompress", [](DriverPrivate& p) { p.ImageCompress = 0; }},
      {"FontEmbed", [](DriverPrivate& p) { p.FontEmbed = 3; }},
      {"Overwrite", [](DriverPrivate& p) { p.Overwrite = 1; }},
      {"PDFVersion", [](DriverPrivate& p) { p.PDFVersion = 15; }},
      {"BitmapFontSize", [](DriverPrivate& p) { p.BitmapFontSize = 300; }},
      {"ColorSpace", [](DriverPrivate& p) { p.ColorSpace = 2; }},
      {"ICCProfile", [](DriverPrivate& p) { lstrcpynW(p.ICCProfile, u"C:\\sRGB.icc", kDriverPathChars); }},
      {"UOM", [](DriverPrivate& p) { p.UOM = 2; }},
      {"IgnoreBackground", [](DriverPrivate& p) { p.IgnoreBackground = 1; }},
      {"PPOption", [](DriverPrivate& p) { p.PPOption = 0; }},
      {"UseDefFileName", [](DriverPrivate& p) { p.UseDefFileName = 1; }},
      {"OpenFile", [](DriverPrivate& p) { p.OpenFile = 0; }},
      {"GDIPunt", [](DriverPrivate& p) { p.GDIPunt = 0; }},
      {"FontWarnMsg", [](DriverPrivate& p) { p.FontWarnMsg = 1; }},
      {"MergeImages", [](DriverPrivate& p) { p.MergeImages = 0; }},
      {"PDFA1B", [](DriverPrivate& p) { p.PDFA1B = 1; }},
      {"Upload", [](DriverPrivate& p) { p.Upload = 1; }},
  };
  ASSERT_EQ(std::size(cases), 18u);
  SetCountry(u"49");
  const DriverDevMode defaults = Build();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseFreshPrinter();
    DriverDevMode record = defaults;
    c.set(record.priv);
    ASSERT_NE(std::memcmp(&record, &defaults, sizeof record), 0) << "the test value differs from the default";
    ASSERT_TRUE(SaveDevModeAsDefaults(&record, printer_));
    DriverDevMode back = Build();
    back.priv.buildSerial = record.priv.buildSerial;
    EXPECT_EQ(std::memcmp(&back, &record, sizeof back), 0);
  }
}

TEST_F(SaveDefaultsTest, PublicValuesRoundTrip) {
  SetCountry(u"1");
  DriverDevMode record = Build();
  record.dm.dmOrientation = DMORIENT_LANDSCAPE;
  record.dm.dmPaperSize = DMPAPER_USER;
  record.dm.dmPaperWidth = 1234;
  record.dm.dmPaperLength = 2345;
  lstrcpynW(record.dm.dmFormName, kCustomFormName, CCHFORMNAME);
  record.dm.dmPrintQuality = 600;
  ASSERT_TRUE(SaveDevModeAsDefaults(&record, printer_));
  const DriverDevMode back = Build();
  EXPECT_EQ(back.dm.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(back.dm.dmPaperSize, DMPAPER_USER);
  EXPECT_EQ(back.dm.dmPaperWidth, 1234);
  EXPECT_EQ(back.dm.dmPaperLength, 2345);
  EXPECT_EQ(std::u16string(back.dm.dmFormName), kCustomFormName);
  EXPECT_EQ(back.dm.dmPrintQuality, 600);
  EXPECT_EQ(back.dm.dmYResolution, 600);
}

TEST_F(SaveDefaultsTest, WithoutPrintQualityTheDpiStaysAsItWas) {
  SetDword(printer_value::kDPI, 144);
  DriverDevMode record = Build();
  record.dm.dmFields &= ~DM_PRINTQUALITY;
  record.dm.dmPrintQuality = 1200;
  record.priv.Overwrite = 1;
  record.priv.GDIPunt = 0;
  ASSERT_TRUE(SaveDevModeAsDefaults(&record, printer_));
  const DriverDevMode back = Build();
  EXPECT_EQ(back.dm.dmPrintQuality, 144);
  EXPECT_EQ(back.priv.Overwrite, 1);
  EXPECT_EQ(back.priv.GDIPunt, 0);
}

TEST_F(SaveDefaultsTest, AHandleWithoutAdministrationSavesNothing) {
  HANDLE user = nullptr;
  ASSERT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &user, nullptr));
  DriverDevMode record = Build();
  record.priv.FontEmbed = 0;
  EXPECT_FALSE(SaveDevModeAsDefaults(&record, user));
  ClosePrinter(user);
  EXPECT_EQ(Build().priv.FontEmbed, 2);
}

}  // namespace
