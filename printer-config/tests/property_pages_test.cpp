// The document property pages through the common property-sheet host, as the simulated person uses them.
#include <optional>

#include "page_state.h"
#include "teloui_fixture.h"
#include "win/sheet_person.h"
#include "win/simulated_user.h"

namespace {

using Kind = kq::SheetAction::Kind;

kq::SheetAction Do(Kind kind, std::u16string target = {}, std::u16string text = {}) {
  return kq::SheetAction{kind, std::move(target), std::move(text)};
}
kq::SheetAction Visit(std::u16string page) { return Do(Kind::Visit, std::move(page)); }
kq::SheetAction Click(std::u16string control) { return Do(Kind::Click, std::move(control)); }
kq::SheetAction Type(std::u16string control, std::u16string text) {
  return Do(Kind::Type, std::move(control), std::move(text));
}
kq::SheetAction Pick(std::u16string control, std::u16string item) {
  return Do(Kind::Pick, std::move(control), std::move(item));
}
kq::SheetAction Read(std::u16string control) { return Do(Kind::Read, std::move(control)); }

class PropertyPagesTest : public TelouiFixture {
 protected:
  struct Shown {
    LONG answer = 0;
    DWORD result = 0;
    DriverDevMode out{};
  };

  // Shows the document property sheet for a program's record (or none) with an output record (or none).
  Shown Show(std::vector<kq::SheetAction> actions, const DriverDevMode* in = nullptr, bool output = true) {
    machine_->Service<kq::SheetPerson>().Script(std::move(actions));
    Shown shown;
    std::u16string name = kq::kVirtualPrinterName;
    DOCUMENTPROPERTYHEADER header{sizeof header,
                                  0,
                                  printer_,
                                  name.data(),
                                  in ? const_cast<PDEVMODEW>(&in->dm) : nullptr,
                                  output ? &shown.out.dm : nullptr,
                                  output ? kDriverDevModeSize : 0,
                                  DM_IN_PROMPT | DM_OUT_BUFFER | (in ? DM_IN_BUFFER : 0)};
    shown.answer = CommonPropertySheetUIW(nullptr, DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header),
                                          &shown.result, u"Kelvo Quenzar Printer Printing Preferences");
    return shown;
  }

  // What the person read, in order.
  std::vector<std::string> WhatWasRead() const {
    std::vector<std::string> seen;
    for (const auto& entry : machine_->Service<kq::SimulatedUser>().Journal()) {
      if (entry.line.rfind("person read ", 0) == 0) seen.push_back(kq::Utf8FromWide(entry.text));
    }
    return seen;
  }
  bool CouldNotDoSomething() const {
    for (const auto& entry : machine_->Service<kq::SimulatedUser>().Journal()) {
      if (entry.line.find("could not") != std::string::npos) return true;
    }
    return false;
  }

  std::optional<std::vector<BYTE>> Value(const WCHAR* name) {
    std::vector<BYTE> data(8);
    if (!ReadPrinterDriverData(printer_, name, data)) return std::nullopt;
    return data;
  }
  std::optional<DWORD> Number(const WCHAR* name) {
    auto data = Value(name);
    if (!data || data->size() != 4) return std::nullopt;
    DWORD value;
    std::memcpy(&value, data->data(), 4);
    return value;
  }
};

TEST_F(PropertyPagesTest, WithoutADialog) {
  std::u16string name = kq::kVirtualPrinterName;
  DriverDevMode out{};
  DOCUMENTPROPERTYHEADER header{sizeof header, 0, printer_, name.data(), nullptr, &out.dm, 0, 0};
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1936);
  EXPECT_EQ(header.cbOut, 1936u);
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, 0), 0);

  header.fMode = DM_OUT_BUFFER;
  header.cbOut = 1000;
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), -1);
  EXPECT_EQ(header.cbOut, 1936u) << "the size needed";
  EXPECT_EQ(out.dm.dmSize, 0) << "nothing copied into a record that is too small";

  DriverDevMode in = Build();
  in.dm.dmFields = DM_ORIENTATION;
  in.dm.dmOrientation = DMORIENT_LANDSCAPE;
  header.pdmIn = &in.dm;
  header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
  header.cbOut = 1936;
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1);
  EXPECT_EQ(out.dm.dmOrientation, DMORIENT_LANDSCAPE);
}

TEST_F(PropertyPagesTest, LandscapeKeptWhenOnlyGeneralIsVisited) {
  DriverDevMode in = Build();
  in.dm.dmFields = DM_ORIENTATION;
  in.dm.dmOrientation = DMORIENT_LANDSCAPE;
  const Shown shown = Show({Do(Kind::Ok)}, &in);
  EXPECT_EQ(shown.answer, CPSUI_OK);
  EXPECT_EQ(shown.result, static_cast<DWORD>(CPSUI_OK));
  EXPECT_EQ(shown.out.dm.dmOrientation, DMORIENT_LANDSCAPE);
}

TEST_F(PropertyPagesTest, ResolutionCorrections) {
  const Shown shown = Show({
      Read(u"Image Resolution:"),
      Type(u"Image Resolution:", u"1200"),
      Read(u"1034"),           // transparent imaging on: at most 300
      Pick(u"1034", u"2400"),  // not offered while it is on
      Click(u"Support transparent imaging model (72-300)"),
      Type(u"1034", u"3000"),
      Read(u"1034"),  // off: at most 2400
      Type(u"1034", u"50"),
      Read(u"1034"),  // raised only when the person leaves
      Click(u"1006"),
      Read(u"1034"),
      Type(u"1034", u"600"),
      Do(Kind::Ok),
  });
  EXPECT_EQ(WhatWasRead(), (std::vector<std::string>{"300", "300", "2400", "50", "72"}));
  EXPECT_TRUE(CouldNotDoSomething()) << "2400 is not in the list with transparent imaging on";
  EXPECT_EQ(shown.out.dm.dmPrintQuality, 600);
  EXPECT_EQ(shown.out.priv.GDIPunt, 0);
  EXPECT_EQ(shown.out.priv.Overwrite, 1);
}

TEST_F(PropertyPagesTest, CustomSizeInInchesAndItsCentimetreView) {
  const Shown shown = Show({
      Visit(u"Layout"),
      Pick(u"Unit of Metrics:", u"Inch"),
      Pick(u"Page Form:", u"Custom-size Form"),
      Type(u"Height:", u"11"),
      Type(u"Width:", u"8.5"),
      Click(u"Landscape"),
      Pick(u"Unit of Metrics:", u"Centimeter"),
      Read(u"Height:"),
      Read(u"Width:"),
      Read(u"1054"),
      Do(Kind::Ok),
  });
  EXPECT_EQ(WhatWasRead(), (std::vector<std::string>{"27.94", "21.59", "cm"}));
  EXPECT_EQ(shown.out.dm.dmPaperWidth, 2159);
  EXPECT_EQ(shown.out.dm.dmPaperLength, 2794);
  EXPECT_EQ(shown.out.dm.dmPaperSize, DMPAPER_USER);
  EXPECT_EQ(Narrow(shown.out.dm.dmFormName), "Custom-size Form");
  EXPECT_EQ(shown.out.dm.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(shown.out.priv.UOM, 1);
}

TEST_F(PropertyPagesTest, CustomSizesOutsideTheLimitsAreIgnored) {
  const Shown shown = Show({
      Visit(u"Layout"),
      Pick(u"Unit of Metrics:", u"Millimeter"),
      Pick(u"Page Form:", u"Custom-size Form"),
      Type(u"Height:", u"5000"),
      Type(u"Width:", u"200"),
      Do(Kind::Ok),
  });
  EXPECT_EQ(shown.out.dm.dmPaperLength, Build().dm.dmPaperLength) << "5 m does not fit the record";
}

TEST_F(PropertyPagesTest, StoredCustomFormOpensWithItsSize) {
  SetDword(printer_value::kPaperSize, 256);
  SetDword(printer_value::kPaperWidth, 1000);
  SetDword(printer_value::kPaperLength, 1500);
  SetDword(printer_value::kUOM, 2);
  Show({Visit(u"Layout"), Read(u"Page Form:"), Read(u"Height:"), Read(u"Width:"), Pick(u"Page Form:", u"A5"),
        Read(u"Height:"), Do(Kind::Cancel)});
  EXPECT_EQ(WhatWasRead(), (std::vector<std::string>{"Custom-size Form", "150.00", "100.00", "210.00 (disabled)"}));
}

TEST_F(PropertyPagesTest, PdfaSwitchesTheFontsPageToEmbedAll) {
  Show({Visit(u"Fonts"), Click(u"Use the font embedding list below"), Click(u"Clear All"), Read(u"1024"),
        Visit(u"General"), Click(u"Support PDF/A-1b standard"), Visit(u"Fonts"), Read(u"1038"), Read(u"1039"),
        Read(u"1024"), Do(Kind::Cancel)});
  const auto seen = WhatWasRead();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], "");
  EXPECT_EQ(seen[1], "checked");
  EXPECT_EQ(seen[2], "unchecked");
  EXPECT_NE(seen[3].find("DejaVu Sans"), std::string::npos);
  EXPECT_NE(seen[3].find("(disabled)"), std::string::npos);
}

TEST_F(PropertyPagesTest, FontsApplyWritesTheFacesEvenWithoutSaveAsDefault) {
  const Shown shown = Show({Click(u"1062"), Visit(u"Fonts"), Click(u"Use the font embedding list below"),
                            Click(u"Clear All"), Do(Kind::Check, u"1024", u"DejaVu Sans"), Do(Kind::Ok)});
  ASSERT_FALSE(CouldNotDoSomething());
  EXPECT_EQ(shown.out.priv.FontEmbed, 1);
  const auto faces = Value(printer_value::kFFaces);
  ASSERT_TRUE(faces);
  EXPECT_EQ(FontFaceList::Decode(faces->data(), faces->size()).Faces(), std::vector<std::u16string>{u"DejaVu Sans"});
  EXPECT_FALSE(Number(printer_value::kFontEmbed)) << "Save As Default was off";

  // The next sheet shows the stored list.
  SetDword(printer_value::kFontEmbed, 1);
  Show({Visit(u"Fonts"), Read(u"1024"), Do(Kind::Cancel)});
  EXPECT_EQ(WhatWasRead().back(), "DejaVu Sans");
}

TEST_F(PropertyPagesTest, SaveAsDefaultWritesTheValues) {
  machine_->Service<kq::SheetPerson>().AnswerFolderBrowser(u"Z:\\tmp\\out");
  const Shown shown = Show({Click(u"Browse"), Read(u"1005"), Click(u"1064"), Type(u"1034", u"600"),
                            Click(u"Open the PDF file after converting"), Visit(u"Layout"), Click(u"Landscape"),
                            Pick(u"Page Form:", u"Letter"), Do(Kind::Ok)});
  EXPECT_EQ(WhatWasRead(), std::vector<std::string>{"Z:\\tmp\\out"});
  EXPECT_EQ(Narrow(shown.out.priv.Folder), "Z:\\tmp\\out");
  EXPECT_EQ(Number(printer_value::kOrientation), 2u);
  EXPECT_EQ(Number(printer_value::kDPI), 600u);
  EXPECT_EQ(Number(printer_value::kGDIPunt), 0u);
  EXPECT_EQ(Number(printer_value::kOpenFile), 0u);
  EXPECT_EQ(Number(printer_value::kPaperSize), 1u);
  const auto folder = Value(printer_value::kFolder);
  ASSERT_TRUE(folder);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(folder->data()), folder->size() / 2), u"Z:\\tmp\\out");
}

TEST_F(PropertyPagesTest, CancelKeepsTheStartAndSavesNothing) {
  DriverDevMode in = Build();
  in.dm.dmFields = DM_ORIENTATION;
  in.dm.dmOrientation = DMORIENT_LANDSCAPE;
  const Shown shown = Show({Visit(u"Layout"), Click(u"Portrait"), Do(Kind::Cancel)}, &in);
  EXPECT_EQ(shown.answer, CPSUI_CANCEL);
  EXPECT_EQ(shown.out.dm.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_FALSE(Number(printer_value::kOrientation));
}

TEST_F(PropertyPagesTest, WithoutFullAccessNothingIsWritten) {
  kq::SetUserMayAdministerPrinters(*machine_, false);
  const Shown shown = Show({Read(u"1062"), Visit(u"Fonts"), Click(u"Don't embed any fonts"), Do(Kind::Ok)});
  EXPECT_EQ(WhatWasRead(), std::vector<std::string>{"unchecked (disabled)"});
  EXPECT_EQ(shown.answer, CPSUI_OK);
  EXPECT_EQ(shown.out.priv.FontEmbed, 0) << "the pages still work";
  EXPECT_FALSE(Value(printer_value::kFFaces));
  EXPECT_FALSE(Number(printer_value::kFontEmbed));
}

TEST_F(PropertyPagesTest, WithoutAnOutputRecordThePagesAreReadOnly) {
  const Shown shown = Show({Read(u"1005"), Read(u"1062"), Click(u"Overwrite existing PDF file without confirmation"),
                            Visit(u"Fonts"), Click(u"Don't embed any fonts"), Do(Kind::Ok)},
                           nullptr, false);
  EXPECT_EQ(WhatWasRead(), (std::vector<std::string>{" (disabled)", "unchecked (disabled)"}));
  EXPECT_EQ(shown.answer, CPSUI_OK);
  EXPECT_FALSE(Value(printer_value::kFFaces));
  EXPECT_FALSE(Number(printer_value::kOverwrite));
}

TEST_F(PropertyPagesTest, DevicePropertiesShowTheAboutPage) {
  machine_->Service<kq::SheetPerson>().Script({Visit(u"1"), Do(Kind::Ok)});
  std::u16string name = kq::kVirtualPrinterName;
  DEVICEPROPERTYHEADER header{sizeof header, 0, printer_, name.data()};
  DWORD result = 0;
  EXPECT_EQ(CommonPropertySheetUIW(nullptr, DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header), &result,
                                   u"Kelvo Quenzar Printer Properties"),
            CPSUI_OK);
  bool visited = false;
  for (const auto& entry : machine_->Service<kq::SimulatedUser>().Journal())
    visited |= entry.line == "person visited the page \"About\"";
  EXPECT_TRUE(visited);
  EXPECT_FALSE(CouldNotDoSomething());
}

}  // namespace
