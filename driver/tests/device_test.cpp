#include <cstring>

#include "driver_fixture.h"

namespace {

using drvtest::DriverTest;

class Device : public DriverTest {};

TEST_F(Device, ResolutionRules) {
  struct Case {
    SHORT requested;
    bool transparent;
    SHORT dpi;
  } const cases[] = {
      {600, true, 300}, {600, false, 600}, {50, false, 300}, {-4, false, 300}, {-4, true, 300},
      {71, false, 300}, {72, false, 72},   {300, true, 300}, {301, true, 300}, {301, false, 301},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.requested << (c.transparent ? " transparent" : " vector"));
    DriverDevMode record = DefaultRecord();
    record.dm.dmPrintQuality = c.requested;
    record.dm.dmYResolution = c.requested;
    record.priv.GDIPunt = c.transparent ? 1 : 0;
    auto pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(pdev->settings.dm.dmPrintQuality, c.dpi);
    EXPECT_EQ(pdev->settings.dm.dmYResolution, c.dpi);
    EXPECT_EQ(gdiInfo.ulLogPixelsX, static_cast<ULONG>(c.dpi));
  }
}

TEST_F(Device, PaperRules) {
  constexpr DWORD kNone = 0;
  struct Case {
    const char* what;
    DWORD fields;
    SHORT paperSize;
    const char16_t* formName;
    SHORT length, width;      // the record's own
    const char16_t* country;  // nullptr: no value
    SHORT wantLength, wantWidth;
  } const cases[] = {
      {"form by index", DM_PAPERSIZE, 9, u"", 100, 100, u"1", 2970, 2100},
      {"Letter by index", DM_PAPERSIZE, 1, u"", 100, 100, u"49", 2794, 2159},
      {"index beyond the forms keeps the record's size", DM_PAPERSIZE, 200, u"", 1500, 1000, u"1", 1500, 1000},
      {"form by name, any case", DM_FORMNAME, 0, u"a4", 100, 100, u"1", 2970, 2100},
      {"the index goes before the name", DM_PAPERSIZE | DM_FORMNAME, 8, u"A4", 100, 100, u"1", 4200, 2970},
      {"unknown name keeps the record's size", DM_FORMNAME, 0, u"No Such Form", 1500, 1000, u"1", 1500, 1000},
      {"index 256 with the record's size", DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH, 256, u"", 1500, 1000,
       u"1", 1500, 1000},
      {"index 256 and nothing else: metric country", DM_PAPERSIZE, 256, u"", 1500, 1000, u"49", 2970, 2100},
      {"no flags, country 1", kNone, 0, u"", 1500, 1000, u"1", 2794, 2159},
      {"no flags, country 49", kNone, 0, u"", 1500, 1000, u"49", 2970, 2100},
      {"no flags, country 52", kNone, 0, u"", 1500, 1000, u"52", 2794, 2159},
      {"no flags, no country", kNone, 0, u"", 1500, 1000, nullptr, 2970, 2100},
      {"only the length flag", DM_PAPERLENGTH, 0, u"", 1500, 1000, u"1", 2794, 2159},
      // A size of 0 or below after the rules gives the locale's paper.
      {"own size of 0", DM_PAPERLENGTH | DM_PAPERWIDTH, 0, u"", 0, 1000, u"1", 2794, 2159},
      {"own negative size", DM_PAPERLENGTH | DM_PAPERWIDTH, 0, u"", 1500, -5, u"49", 2970, 2100},
      {"failed lookup over a size of 0", DM_PAPERSIZE, 200, u"", 0, 0, u"49", 2970, 2100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetCountry(c.country);
    DriverDevMode record = DefaultRecord();
    record.dm.dmFields = c.fields;
    record.dm.dmPaperSize = c.paperSize;
    std::memset(record.dm.dmFormName, 0, sizeof record.dm.dmFormName);
    std::copy_n(c.formName, std::char_traits<char16_t>::length(c.formName), record.dm.dmFormName);
    record.dm.dmPaperLength = c.length;
    record.dm.dmPaperWidth = c.width;
    const PaperSize paper = GetPaperSize(printer, record);
    EXPECT_EQ(paper.length, c.wantLength);
    EXPECT_EQ(paper.width, c.wantWidth);
    auto pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(pdev->settings.dm.dmPaperLength, c.wantLength);
    EXPECT_EQ(pdev->settings.dm.dmPaperWidth, c.wantWidth);
  }
}

TEST_F(Device, AFormNameThatFillsItsFieldIsStillFound) {
  // A form name of 31 characters fills the field up to its last unit; the lookup must not read past the field.
  DriverDevMode record = DefaultRecord();
  record.dm.dmFields = DM_FORMNAME;
  std::fill(std::begin(record.dm.dmFormName), std::end(record.dm.dmFormName), u'x');
  const PaperSize paper = GetPaperSize(printer, record);
  EXPECT_EQ(paper.length, record.dm.dmPaperLength) << "no form matches: the record's size stays";
}

TEST_F(Device, PageSizeInPixels) {
  struct Case {
    SHORT paperSize, dpi, orientation;
    bool transparent;
    std::uint32_t width, height;
  } const cases[] = {
      {9, 300, DMORIENT_PORTRAIT, false, 2480, 3507},  {9, 300, DMORIENT_LANDSCAPE, false, 3507, 2480},
      {1, 300, DMORIENT_PORTRAIT, false, 2550, 3300},  {1, 600, DMORIENT_PORTRAIT, true, 2550, 3300},
      {1, 600, DMORIENT_PORTRAIT, false, 5100, 6600},  {9, 72, DMORIENT_PORTRAIT, false, 595, 841},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "paper " << c.paperSize << " at " << c.dpi << " orientation " << c.orientation);
    DriverDevMode record = DefaultRecord();
    record.dm.dmFields |= DM_PAPERSIZE;
    record.dm.dmPaperSize = c.paperSize;
    record.dm.dmPrintQuality = c.dpi;
    record.dm.dmOrientation = c.orientation;
    record.priv.GDIPunt = c.transparent ? 1 : 0;
    auto pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(pdev->pageWidth, c.width);
    EXPECT_EQ(pdev->pageHeight, c.height);
    EXPECT_EQ(gdiInfo.ulHorzRes, c.width);
    EXPECT_EQ(gdiInfo.ulVertRes, c.height);
  }
}

TEST_F(Device, GdiInfoValues) {
  struct Case {
    SHORT dpi, scale;
    ULONG horzSize, vertSize, logPixels, aspectXY, styleDen;
  } const cases[] = {
      // A4 portrait: 2480 x 3507 at 300 dpi; 4960 x 7015 at 600.
      {300, 100, 209, 296, 300, 424, 100},
      {600, 100, 209, 296, 600, 849, 200},
      {300, 50, 419, 593, 150, 424, 100},
      {300, 0, 209, 296, 300, 424, 100},   // a scale of 0 counts as 100
      {300, -20, 209, 296, 300, 424, 100}, // and so does one below 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " dpi, scale " << c.scale);
    DriverDevMode record = DefaultRecord();
    record.dm.dmFields |= DM_PAPERSIZE;
    record.dm.dmPaperSize = 9;
    record.dm.dmOrientation = DMORIENT_PORTRAIT;
    record.dm.dmPrintQuality = c.dpi;
    record.dm.dmScale = c.scale;
    record.priv.GDIPunt = 0;
    std::memset(&gdiInfo, 0xCD, sizeof gdiInfo);
    auto pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    const ULONG w = pdev->pageWidth, h = pdev->pageHeight;
    GDIINFO want{};
    want.ulVersion = 0x5001;
    want.ulTechnology = DT_RASPRINTER;
    want.ulHorzSize = c.horzSize;
    want.ulVertSize = c.vertSize;
    want.ulHorzRes = w;
    want.ulVertRes = h;
    want.cBitsPixel = 24;
    want.cPlanes = 1;
    want.ulNumColors = 512;
    want.ulLogPixelsX = want.ulLogPixelsY = c.logPixels;
    want.ulAspectX = want.ulAspectY = static_cast<ULONG>(c.dpi);
    want.ulAspectXY = c.aspectXY;
    want.xStyleStep = want.yStyleStep = 1;
    want.denStyleStep = static_cast<LONG>(c.styleDen);
    want.szlPhysSize = SIZEL{static_cast<LONG>(w), static_cast<LONG>(h)};
    want.ulDevicePelsDPI = static_cast<ULONG>(c.dpi);
    EXPECT_EQ(std::memcmp(&gdiInfo, &want, sizeof want), 0) << "every other field is 0";
    EXPECT_EQ(gdiInfo.ulHorzSize, c.horzSize);
    EXPECT_EQ(gdiInfo.ulVertSize, c.vertSize);
    EXPECT_EQ(gdiInfo.ulLogPixelsX, c.logPixels);
    EXPECT_EQ(gdiInfo.ulAspectXY, c.aspectXY);
    EXPECT_EQ(gdiInfo.denStyleStep, static_cast<LONG>(c.styleDen));
  }
}

TEST_F(Device, DevInfoValuesAndThePalette) {
  std::memset(&devInfo, 0xCD, sizeof devInfo);
  auto pdev = Enable(DefaultRecord());
  ASSERT_NE(pdev, nullptr);
  DEVINFO want{};
  want.flGraphicsCaps = 0x5120A73F;
  want.iDitherFormat = BMF_24BPP;
  want.hpalDefault = pdev->palette;
  want.flGraphicsCaps2 = GCAPS2_JPEGSRC;
  EXPECT_EQ(std::memcmp(&devInfo, &want, sizeof want), 0) << "no default fonts, no dither size";
  ASSERT_NE(pdev->palette, nullptr);
  const auto palette = kq::QueryPalette(pdev->palette);
  ASSERT_TRUE(palette.has_value());
  EXPECT_EQ(palette->mode, PAL_RGB);

  const HPALETTE kept = pdev->palette;
  pdev.reset();
  EXPECT_FALSE(kq::QueryPalette(kept).has_value()) << "disabling the device deletes its palette";
}

TEST_F(Device, TheRecordKeepsTheNamesAndHandles) {
  auto pdev = Enable(DefaultRecord());
  ASSERT_NE(pdev, nullptr);
  EXPECT_EQ(pdev->deviceName, u"Kelvo Quenzar Printer");
  EXPECT_EQ(pdev->portName, u"KQPDF:");
  EXPECT_EQ(pdev->printer, printer);
  EXPECT_EQ(pdev->engineDevice, hdev);
  EXPECT_EQ(pdev->surface, nullptr);
  EXPECT_EQ(pdev->writer, nullptr);
}

TEST_F(Device, TheEnginesRecordsAreFilledOnlyAsFarAsTheyReach) {
  DriverDevMode record = DefaultRecord();
  struct Buffers {
    GDIINFO caps;
    BYTE afterCaps[16];
    DEVINFO info;
    BYTE afterInfo[16];
  } buffers;
  std::memset(&buffers, 0xCD, sizeof buffers);
  WCHAR port[] = u"KQPDF:", name[] = u"Kelvo Quenzar Printer";
  const ULONG shortCaps = 20, shortInfo = 8;
  const DHPDEV dhpdev = telodrv::DrvEnablePDEV(&record.dm, port, 0, nullptr, shortCaps,
                                               reinterpret_cast<ULONG*>(&buffers.caps), shortInfo, &buffers.info, hdev,
                                               name, printer);
  ASSERT_NE(dhpdev, nullptr);
  drvtest::PdevPtr pdev(PdevFromHandle(dhpdev));
  EXPECT_EQ(buffers.caps.ulVersion, 0x5001u);
  const auto* caps = reinterpret_cast<const BYTE*>(&buffers.caps);
  for (std::size_t i = shortCaps; i < sizeof buffers.caps; ++i) ASSERT_EQ(caps[i], 0xCD) << "GDIINFO byte " << i;
  EXPECT_EQ(buffers.info.flGraphicsCaps, 0x5120A73Fu);
  const auto* info = reinterpret_cast<const BYTE*>(&buffers.info);
  for (std::size_t i = shortInfo; i < sizeof buffers.info; ++i) ASSERT_EQ(info[i], 0xCD) << "DEVINFO byte " << i;
}

TEST_F(Device, ARecordShorterThanTheDriversStartsFromTheDefaults) {
  SetCountry(u"1");
  struct Case {
    const char* what;
    bool none;
    WORD size, extra;
  } const cases[] = {
      {"no record", true, 0, 0},
      {"public part only", false, 220, 0},
      {"a short private part", false, 220, 100},
      {"an older public part", false, 156, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DriverDevMode record = DefaultRecord();
    record.dm.dmSize = c.size;
    record.dm.dmDriverExtra = c.extra;
    record.dm.dmOrientation = DMORIENT_LANDSCAPE;  // a public field every one of them holds
    std::fill(std::begin(record.priv.Folder), std::end(record.priv.Folder), u'z');  // no private part to trust
    record.priv.GDIPunt = 1;
    WCHAR port[] = u"KQPDF:", name[] = u"Kelvo Quenzar Printer";
    const DHPDEV dhpdev = telodrv::DrvEnablePDEV(c.none ? nullptr : &record.dm, port, 0, nullptr, sizeof(GDIINFO),
                                                 reinterpret_cast<ULONG*>(&gdiInfo), sizeof(DEVINFO), &devInfo, hdev,
                                                 name, printer);
    ASSERT_NE(dhpdev, nullptr);
    drvtest::PdevPtr pdev(PdevFromHandle(dhpdev));
    const DriverDevMode defaults = DefaultRecord();
    EXPECT_EQ(pdev->settings.dm.dmSize, kDriverPublicSize);
    EXPECT_EQ(pdev->settings.dm.dmDriverExtra, kDriverPrivateSize);
    EXPECT_EQ(pdev->settings.priv.GDIPunt, defaults.priv.GDIPunt);
    EXPECT_EQ(pdev->settings.priv.Folder[0], defaults.priv.Folder[0]);
    EXPECT_EQ(pdev->settings.dm.dmOrientation, c.none ? defaults.dm.dmOrientation : DMORIENT_LANDSCAPE);
    EXPECT_GT(pdev->pageWidth, 0u);
  }
}

}  // namespace
