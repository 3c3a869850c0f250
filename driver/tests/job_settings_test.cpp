#include <functional>

#include "driver_fixture.h"
#include "pdf/doc_writer.h"
#include "printer_settings/font_face_list.h"

namespace {

using drvtest::DriverTest;

class JobSettings : public DriverTest {
 protected:
  // An A4 portrait device at 300 dpi with the record's options set by `edit`.
  template <class Edit>
  drvtest::PdevPtr Device(Edit edit) {
    DriverDevMode record = DefaultRecord();
    record.dm.dmFields |= DM_PAPERSIZE;
    record.dm.dmPaperSize = 9;
    record.dm.dmOrientation = DMORIENT_PORTRAIT;
    record.dm.dmPrintQuality = 300;
    edit(record);
    return Enable(record);
  }
  static void SetFolder(DriverDevMode& record, kq::WStringView folder) {
    std::fill(std::begin(record.priv.Folder), std::end(record.priv.Folder), u'\0');
    std::copy(folder.begin(), folder.end(), record.priv.Folder);
  }
};

TEST_F(JobSettings, AnInteractiveJobTakesTheRecord) {
  auto pdev = Device([](DriverDevMode& r) {
    SetFolder(r, u"C:\\Out");
    r.priv.ImageCompress = 1;
    r.priv.Overwrite = 1;
    r.priv.UseDefFileName = 1;
    r.priv.OpenFile = 1;
    r.priv.FontEmbed = 0;
    r.priv.PPOption = 1;
    r.priv.GDIPunt = 1;
    r.priv.FontWarnMsg = 1;
    r.priv.MergeImages = 1;
    r.priv.PDFA1B = 0;
    r.priv.Upload = 1;
  });
  ASSERT_NE(pdev, nullptr);
  CPDF_DocWriter writer;
  writer.progressArgs->interactive = 0;
  writer.LoadJobSettings(*pdev);
  EXPECT_EQ(writer.printer, printer);
  EXPECT_EQ(writer.pageWidthPx, 2480);
  EXPECT_EQ(writer.pageHeightPx, 3507);
  EXPECT_DOUBLE_EQ(writer.pointsPerPixel, 72.0 / 300);
  EXPECT_DOUBLE_EQ(writer.textWriter.scale, 72.0 / 300) << "the text writer's device space";
  EXPECT_DOUBLE_EQ(writer.textWriter.pageHeight, 3507);
  EXPECT_EQ(writer.imageCompression, 1u);
  EXPECT_EQ(writer.deviceName, u"Kelvo Quenzar Printer");
  EXPECT_EQ(writer.folder, u"C:\\Out");
  EXPECT_EQ(writer.overwrite, 1u);
  EXPECT_EQ(writer.useDefaultFileName, 1u);
  EXPECT_EQ(writer.openFile, 1u);
  EXPECT_EQ(writer.runPostProcessor, 1u);
  EXPECT_EQ(writer.fontEmbed, 0u);
  EXPECT_EQ(writer.fontFaces, nullptr) << "no faces are read when nothing is embedded";
  EXPECT_EQ(writer.batch, 0u);
  EXPECT_EQ(writer.destName[0], 0);
  EXPECT_EQ(writer.progressArgs->interactive.load(), 1u);
  EXPECT_EQ(writer.paperWidthPt, 595) << "2100 x 72 / 254";
  EXPECT_EQ(writer.paperHeightPt, 841) << "2970 x 72 / 254";
  EXPECT_EQ(writer.gdiPunt, 1u);
  EXPECT_EQ(writer.fontWarning, 1u);
  EXPECT_EQ(writer.mergeImages, 1);
  EXPECT_EQ(writer.pdfA1b, 0);
  EXPECT_EQ(writer.upload, 1);
}

TEST_F(JobSettings, ThePostProcessorRunsOnlyForOptionOne) {
  for (BYTE option : {0, 1, 2}) {
    auto pdev = Device([&](DriverDevMode& r) { r.priv.PPOption = option; });
    ASSERT_NE(pdev, nullptr);
    CPDF_DocWriter writer;
    writer.LoadJobSettings(*pdev);
    EXPECT_EQ(writer.runPostProcessor, option == 1 ? 1u : 0u) << int{option};
  }
}

TEST_F(JobSettings, BatchModeTakesThePrinterValuesAndForcesTheNamingOptions) {
  SetPrinterNumber(printer_value::kBatch, 1);
  SetPrinterText(printer_value::kDestName, u"Daily");
  SetPrinterText(printer_value::kFolder, u"C:\\Batch");
  SetPrinterNumber(printer_value::kFontEmbed, 3);
  const FontFaceList faces({u"Arial", u"Symbol"});
  ASSERT_EQ(WriteFontFaceList(printer, faces), ERROR_SUCCESS);
  struct Case {
    const char* what;
    const char16_t* recordFolder;
    const char16_t* folder;
  } const cases[] = {
      {"an empty record folder takes the printer's", u"", u"C:\\Batch"},
      {"the record's folder goes first", u"C:\\Mine", u"C:\\Mine"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto pdev = Device([&](DriverDevMode& r) {
      SetFolder(r, c.recordFolder);
      r.priv.Overwrite = 0;
      r.priv.UseDefFileName = 0;
      r.priv.OpenFile = 1;
      r.priv.FontEmbed = 0;
    });
    ASSERT_NE(pdev, nullptr);
    CPDF_DocWriter writer;
    writer.LoadJobSettings(*pdev);
    EXPECT_EQ(writer.batch, 1u);
    EXPECT_EQ(kq::WString(writer.destName.data()), u"Daily");
    EXPECT_EQ(writer.folder, c.folder);
    EXPECT_EQ(writer.overwrite, 1u);
    EXPECT_EQ(writer.useDefaultFileName, 1u);
    EXPECT_EQ(writer.openFile, 0u);
    EXPECT_EQ(writer.fontEmbed, 3u) << "the printer's value, not the record's";
    EXPECT_EQ(writer.progressArgs->interactive.load(), 0u);
    ASSERT_NE(writer.fontFaces, nullptr);
    EXPECT_EQ(writer.fontFaces->Faces(), faces.Faces());
  }
}

TEST_F(JobSettings, BatchValuesThatCannotBeUsedTakeTheirDefaults) {
  SetPrinterNumber(printer_value::kBatch, 1);
  struct Case {
    const char* what;
    std::function<void()> set;
    kq::WString destName;
  } const cases[] = {
      {"no name", [] {}, u""},
      {"a number where a text belongs",
       [this] { SetPrinterNumber(printer_value::kDestName, 7); }, u""},
      {"a name without its zero", [this] { SetPrinterText(printer_value::kDestName, u"Daily", false); }, u"Daily"},
      {"a name of 259 characters fits", [this] { SetPrinterText(printer_value::kDestName, kq::WString(259, u'n')); },
       kq::WString(259, u'n')},
      {"260 characters without the zero are cut to 259",
       [this] { SetPrinterText(printer_value::kDestName, kq::WString(260, u'n'), false); }, kq::WString(259, u'n')},
      {"a name larger than 520 bytes is not read",
       [this] { SetPrinterText(printer_value::kDestName, kq::WString(300, u'n')); }, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.set();
    auto pdev = Device([](DriverDevMode& r) { SetFolder(r, u""); });
    ASSERT_NE(pdev, nullptr);
    CPDF_DocWriter writer;
    writer.LoadJobSettings(*pdev);
    EXPECT_EQ(kq::WString(writer.destName.data()), c.destName);
    EXPECT_EQ(writer.destName.back(), 0);
    EXPECT_EQ(writer.folder, u"") << "no printer folder";
    EXPECT_EQ(writer.fontEmbed, 0u) << "no printer value: nothing embedded";
  }
}

TEST_F(JobSettings, ABatchValueThatIsNoNumberIsNoBatch) {
  SetPrinterText(printer_value::kBatch, u"1");
  SetPrinterText(printer_value::kDestName, u"Daily");
  auto pdev = Device([](DriverDevMode&) {});
  ASSERT_NE(pdev, nullptr);
  CPDF_DocWriter writer;
  writer.LoadJobSettings(*pdev);
  EXPECT_EQ(writer.batch, 0u);
  EXPECT_EQ(writer.destName[0], 0);
  EXPECT_EQ(writer.progressArgs->interactive.load(), 1u);
}

TEST_F(JobSettings, PdfAForcesEmbeddingOfAllFonts) {
  const FontFaceList faces({u"Arial"});
  ASSERT_EQ(WriteFontFaceList(printer, faces), ERROR_SUCCESS);
  for (BYTE embed : {0, 1, 3}) {
    SCOPED_TRACE(int{embed});
    auto pdev = Device([&](DriverDevMode& r) {
      r.priv.PDFA1B = 1;
      r.priv.FontEmbed = embed;
    });
    ASSERT_NE(pdev, nullptr);
    CPDF_DocWriter writer;
    writer.LoadJobSettings(*pdev);
    EXPECT_EQ(writer.pdfA1b, 1);
    EXPECT_EQ(writer.fontEmbed, 2u);
    ASSERT_NE(writer.fontFaces, nullptr) << "the face list is read for every embedding job";
    EXPECT_EQ(writer.fontFaces->Faces(), faces.Faces());
  }
}

TEST_F(JobSettings, ReloadingReplacesTheFaceList) {
  ASSERT_EQ(WriteFontFaceList(printer, FontFaceList({u"Arial"})), ERROR_SUCCESS);
  auto pdev = Device([](DriverDevMode& r) { r.priv.FontEmbed = 1; });
  ASSERT_NE(pdev, nullptr);
  CPDF_DocWriter writer;
  writer.LoadJobSettings(*pdev);
  ASSERT_NE(writer.fontFaces, nullptr);
  ASSERT_EQ(WriteFontFaceList(printer, FontFaceList({u"Symbol", u"Courier"})), ERROR_SUCCESS);
  writer.LoadJobSettings(*pdev);
  ASSERT_NE(writer.fontFaces, nullptr);
  EXPECT_EQ(writer.fontFaces->Faces(), FontFaceList({u"Symbol", u"Courier"}).Faces());
}

TEST_F(JobSettings, AFolderThatFillsTheRecordsFieldIsCutToItsLength) {
  auto pdev = Device([](DriverDevMode& r) {
    std::fill(std::begin(r.priv.Folder), std::end(r.priv.Folder), u'f');
  });
  ASSERT_NE(pdev, nullptr);
  CPDF_DocWriter writer;
  writer.LoadJobSettings(*pdev);
  EXPECT_EQ(writer.folder, kq::WString(259, u'f'));
}

TEST_F(JobSettings, ATransparentDeviceThatFellBackToVectorModeLoadsVectorMode) {
  kq::SetEngineBitmapLimit(*machine, 1u << 20);
  auto pdev = Device([](DriverDevMode& r) { r.priv.GDIPunt = 1; });
  ASSERT_NE(pdev, nullptr);
  ASSERT_NE(telodrv::DrvEnableSurface(HandleFromPdev(pdev.get())), nullptr);
  CPDF_DocWriter writer;
  writer.LoadJobSettings(*pdev);
  EXPECT_EQ(writer.gdiPunt, 0u);
  telodrv::DrvDisableSurface(HandleFromPdev(pdev.get()));
}

}  // namespace
