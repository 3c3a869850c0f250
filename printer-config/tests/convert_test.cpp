// The spooler's conversion entry and the merge of a caller's record into the printer's defaults.
#include <random>

#include "teloui_fixture.h"

namespace {

class ConvertTest : public TelouiFixture {
 protected:
  DriverDevMode Merged(const DEVMODEW* src) {
    DriverDevMode record = Build();
    MergeDevMode(&record, src, printer_);
    return record;
  }
  std::u16string Name() { return kq::kVirtualPrinterName; }
};

TEST_F(ConvertTest, ModesAndSizes) {
  struct Case {
    const char* what;
    DWORD mode;
    LONG size;
    bool withIn, withOut;
    WORD outSpecVersion;
    BOOL result;
    DWORD error;  // checked when the result is FALSE
    LONG sizeAfter;
  };
  const Case cases[] = {
      {"default, enough room", CDM_DRIVER_DEFAULT, 1936, false, true, 0, TRUE, 0, 1936},
      {"default, size 100", CDM_DRIVER_DEFAULT, 100, false, true, 0, FALSE, ERROR_INSUFFICIENT_BUFFER, 1936},
      {"default, no output record", CDM_DRIVER_DEFAULT, 1936, false, false, 0, FALSE, ERROR_INVALID_PARAMETER, 1936},
      {"convert", CDM_CONVERT, 4000, true, true, 0x0401, TRUE, 0, 1936},
      {"convert, output of spec 0x0400", CDM_CONVERT, 1936, true, true, 0x0400, FALSE, ERROR_INVALID_PARAMETER, 1936},
      {"convert, small output", CDM_CONVERT, 220, true, true, 0x0401, FALSE, ERROR_INSUFFICIENT_BUFFER, 1936},
      // The version is checked before the room, so the size is left as it was.
      {"convert, small output of spec 0x0400", CDM_CONVERT, 100, true, true, 0x0400, FALSE, ERROR_INVALID_PARAMETER,
       100},
      {"convert, no input, small output", CDM_CONVERT, 100, false, true, 0x0401, FALSE, ERROR_INVALID_PARAMETER, 100},
      {"convert 3.51, small output", CDM_CONVERT351, 100, true, true, 0x0320, FALSE, ERROR_INSUFFICIENT_BUFFER, 1936},
      {"convert, no input", CDM_CONVERT, 1936, false, true, 0x0401, FALSE, ERROR_INVALID_PARAMETER, 1936},
      {"convert 3.51", CDM_CONVERT351, 1936, true, true, 0x0320, TRUE, 0, 1936},
      {"convert 3.51, no output", CDM_CONVERT351, 1936, true, false, 0, FALSE, ERROR_INVALID_PARAMETER, 1936},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DriverDevMode in = Build();
    in.dm.dmFields |= DM_ORIENTATION;
    in.dm.dmOrientation = DMORIENT_LANDSCAPE;
    DriverDevMode out{};
    out.dm.dmSpecVersion = c.outSpecVersion;
    LONG size = c.size;
    std::u16string name = Name();
    SetLastError(0);
    const BOOL result =
        DrvConvertDevMode(name.data(), c.withIn ? &in.dm : nullptr, c.withOut ? &out.dm : nullptr, &size, c.mode);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(size, c.sizeAfter);
    if (!result) {
      EXPECT_EQ(GetLastError(), c.error);
      EXPECT_EQ(out.dm.dmSize, 0) << "the output record stays untouched";
    } else {
      EXPECT_EQ(out.dm.dmSize, kDriverPublicSize);
      EXPECT_EQ(out.dm.dmOrientation, c.mode == CDM_DRIVER_DEFAULT ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE);
    }
  }
}

TEST_F(ConvertTest, UnknownModeAndPrinter) {
  DriverDevMode out{};
  LONG size = 1936;
  std::u16string name = Name();
  SetLastError(1234);
  EXPECT_FALSE(DrvConvertDevMode(name.data(), nullptr, &out.dm, &size, 8));
  EXPECT_EQ(GetLastError(), 1234u) << "an unknown mode leaves the last error alone";
  std::u16string missing = u"No Such Printer";
  EXPECT_FALSE(DrvConvertDevMode(missing.data(), nullptr, &out.dm, &size, CDM_DRIVER_DEFAULT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // A conversion asks for the printer before it looks at the room.
  DriverDevMode in = Build();
  size = 100;
  out.dm.dmSpecVersion = 0x0401;
  EXPECT_FALSE(DrvConvertDevMode(missing.data(), &in.dm, &out.dm, &size, CDM_CONVERT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(size, 100);
}

TEST_F(ConvertTest, ResolutionMerges) {
  struct Case {
    SHORT asked;
    BYTE transparent;
    SHORT merged;
  };
  const Case cases[] = {{600, 1, 300}, {600, 0, 600}, {2400, 0, 2400}, {300, 1, 300},
                        {50, 0, 300},  {72, 1, 72},   {301, 1, 300},   {-5, 0, 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.asked << " dpi, transparency " << int(c.transparent));
    DriverDevMode src = Build();
    src.dm.dmFields = DM_PRINTQUALITY | DM_YRESOLUTION;
    src.dm.dmPrintQuality = src.dm.dmYResolution = c.asked;
    src.priv.GDIPunt = c.transparent;
    const DriverDevMode merged = Merged(&src.dm);
    EXPECT_EQ(merged.dm.dmPrintQuality, c.merged);
    EXPECT_EQ(merged.dm.dmYResolution, c.merged);
  }
}

TEST_F(ConvertTest, PaperRuleOrder) {
  struct Case {
    const char* what;
    DWORD fields;
    SHORT paperSize, length, width;
    const char16_t* formName;
    SHORT wantSize, wantLength, wantWidth;
    const char16_t* wantName;
  };
  const Case cases[] = {
      {"paper number wins over the name", DM_PAPERSIZE | DM_FORMNAME, 9, 0, 0, u"Letter", 9, 2970, 2100, u"A4"},
      {"custom size wins over the name", DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME, 0, 1500, 1000, u"Letter", 256,
       1500, 1000, u"Custom-size Form"},
      {"the name alone", DM_FORMNAME, 0, 0, 0, u"letter", 1, 2794, 2159, u"letter"},
      {"a paper number beyond the forms falls to the name", DM_PAPERSIZE | DM_FORMNAME, 250, 0, 0, u"Letter", 1, 2794,
       2159, u"Letter"},
      {"a size of 0 is no custom size", DM_PAPERLENGTH | DM_PAPERWIDTH, 0, 0, 1000, u"", 9, 2970, 2100, u"A4"},
      {"a negative size is none either", DM_PAPERLENGTH | DM_PAPERWIDTH, 0, -3, 1000, u"", 9, 2970, 2100, u"A4"},
      {"an unknown name keeps the size", DM_FORMNAME, 0, 0, 0, u"No Such Form", 9, 2970, 2100, u"No Such Form"},
  };
  SetCountry(u"49");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DriverDevMode src{};
    src.dm.dmSize = kDriverPublicSize;
    src.dm.dmFields = c.fields;
    src.dm.dmPaperSize = c.paperSize;
    src.dm.dmPaperLength = c.length;
    src.dm.dmPaperWidth = c.width;
    lstrcpynW(src.dm.dmFormName, c.formName, CCHFORMNAME);
    const DriverDevMode merged = Merged(&src.dm);
    EXPECT_EQ(merged.dm.dmPaperSize, c.wantSize);
    EXPECT_EQ(merged.dm.dmPaperLength, c.wantLength);
    EXPECT_EQ(merged.dm.dmPaperWidth, c.wantWidth);
    EXPECT_EQ(Narrow(merged.dm.dmFormName), Narrow(c.wantName));
  }
}

TEST_F(ConvertTest, ScaleAndFieldsThatStay) {
  DriverDevMode src = Build();
  src.dm.dmFields = DM_SCALE | DM_COPIES | DM_COLOR | DM_DUPLEX;
  src.dm.dmScale = 0;
  src.dm.dmCopies = 7;
  src.dm.dmColor = DMCOLOR_MONOCHROME;
  DriverDevMode merged = Merged(&src.dm);
  EXPECT_EQ(merged.dm.dmScale, 100) << "a scale of 0 keeps 100";
  EXPECT_EQ(merged.dm.dmCopies, 1);
  EXPECT_EQ(merged.dm.dmColor, DMCOLOR_COLOR);
  src.dm.dmScale = 50;
  merged = Merged(&src.dm);
  EXPECT_EQ(merged.dm.dmScale, 50);
}

TEST_F(ConvertTest, FormNameIsCutAndTerminated) {
  DriverDevMode src{};
  src.dm.dmSize = kDriverPublicSize;
  src.dm.dmFields = DM_FORMNAME;
  for (auto& c : src.dm.dmFormName) c = u'W';  // no terminator
  const DriverDevMode merged = Merged(&src.dm);
  EXPECT_EQ(Narrow(merged.dm.dmFormName), std::string(31, 'W'));
}

// Records programs hand in: another driver's, an old layout's, one without a private part, and random bytes.
TEST_F(ConvertTest, ForeignAndShortRecords) {
  const DriverDevMode defaults = Build();
  {
    SCOPED_TRACE("another driver's record with a private part of 300 bytes");
    auto bytes = ForeignRecord(kDriverPublicSize, 300, DM_ORIENTATION | DM_PRINTQUALITY);
    Public(bytes)->dmOrientation = DMORIENT_LANDSCAPE;
    Public(bytes)->dmPrintQuality = 1200;
    const DriverDevMode merged = Merged(Public(bytes));
    EXPECT_EQ(merged.dm.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(merged.dm.dmPrintQuality, 300) << "the defaults' transparency caps it";
    EXPECT_EQ(std::memcmp(&merged.priv.Folder, &defaults.priv.Folder, sizeof defaults.priv.Folder), 0);
    EXPECT_EQ(merged.priv.FontEmbed, defaults.priv.FontEmbed);
  }
  {
    SCOPED_TRACE("an old record of 110 bytes: the form name is cut at its end, and the fields after it are not there");
    auto bytes = ForeignRecord(110, 0, DM_ORIENTATION | DM_FORMNAME | DM_ICMMETHOD);
    Public(bytes)->dmOrientation = DMORIENT_LANDSCAPE;
    std::memcpy(bytes.data() + offsetof(DEVMODEW, dmFormName), u"Letter", 8);
    const DriverDevMode merged = Merged(Public(bytes));
    EXPECT_EQ(merged.dm.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(Narrow(merged.dm.dmFormName), "Lett");
    EXPECT_EQ(merged.dm.dmICMMethod, defaults.dm.dmICMMethod);
  }
  {
    SCOPED_TRACE("a record that ends before its fields");
    auto bytes = ForeignRecord(72, 0, DM_ORIENTATION);
    const DriverDevMode merged = Merged(Public(bytes));
    EXPECT_EQ(std::memcmp(&merged.dm, &defaults.dm, sizeof merged.dm), 0);
  }
  {
    SCOPED_TRACE("our layout with a private part of garbage");
    auto bytes = ForeignRecord(kDriverPublicSize, kDriverPrivateSize, 0);
    const DriverDevMode merged = Merged(Public(bytes));
    EXPECT_EQ(merged.priv.Folder[kDriverPathChars - 1], 0);
    EXPECT_EQ(merged.priv.ICCProfile[kDriverPathChars - 1], 0);
    EXPECT_EQ(merged.priv.FontEmbed, defaults.priv.FontEmbed);
    EXPECT_EQ(merged.priv.PDFVersion, defaults.priv.PDFVersion);
    EXPECT_EQ(merged.priv.GDIPunt, defaults.priv.GDIPunt);
    EXPECT_EQ(merged.priv.alwaysOne, 1);
  }
  {
    SCOPED_TRACE("a larger public part: the private part follows it");
    auto bytes = ForeignRecord(kDriverPublicSize + 8, kDriverPrivateSize, 0);
    DriverPrivate priv = defaults.priv;
    priv.FontEmbed = 0;
    priv.GDIPunt = 0;
    std::memcpy(bytes.data() + kDriverPublicSize + 8, &priv, sizeof priv);
    const DriverDevMode merged = Merged(Public(bytes));
    EXPECT_EQ(merged.priv.FontEmbed, 0);
    EXPECT_EQ(merged.priv.GDIPunt, 0);
  }
  std::mt19937 random(15);
  for (int round = 0; round < 200; ++round) {
    const WORD size = static_cast<WORD>(random() % 400);
    const WORD extra = static_cast<WORD>(random() % 2000);
    std::vector<BYTE> bytes(std::max<std::size_t>(size + extra, 72));
    for (auto& b : bytes) b = static_cast<BYTE>(random());
    std::memcpy(bytes.data() + offsetof(DEVMODEW, dmSize), &size, sizeof size);
    std::memcpy(bytes.data() + offsetof(DEVMODEW, dmDriverExtra), &extra, sizeof extra);
    const DriverDevMode merged = Merged(Public(bytes));
    EXPECT_EQ(merged.priv.Folder[kDriverPathChars - 1], 0);
    EXPECT_EQ(merged.dm.dmFormName[CCHFORMNAME - 1], 0);
    EXPECT_LE(merged.priv.FontEmbed, 3);
    EXPECT_GE(merged.dm.dmScale, 1);
  }
}

}  // namespace
