#include <cstring>
#include <optional>

#include "printer_fixture.h"

namespace {

class DefaultDevModeTest : public PrinterFixture {};

TEST_F(DefaultDevModeTest, CountryDecidesMetric) {
  struct Case {
    const char16_t* country;  // nullptr: no value
    bool metric;
  };
  const Case cases[] = {
      {u"1", false},          {u"2", false},
      {u"50", false},         {u"55", false},
      {u"59", false},         {u"500", false},
      {u"599", false},        {u" 1", false},
      {u"1x", false},         {u"001", false},
      {u"+2", false},         {u"49", true},
      {u"3", true},           {u"86", true},
      {u"60", true},          {u"499", true},
      {u"600", true},         {u"0", true},
      {u"-1", true},          {u"abc", true},
      {u"x1", true},          {u"", true},
      {u"99999999999", true}, {u"12345678901234567", true},  // 34 bytes with its zero: more than the 32 bytes read
      {nullptr, true},
  };
  for (const Case& c : cases) {
    SetCountry(c.country);
    EXPECT_EQ(IsMetricLocale() != FALSE, c.metric) << (c.country ? Narrow(c.country) : "no value");
  }
}

TEST_F(DefaultDevModeTest, CountryThatCannotBeReadCountsAsMetric) {
  EXPECT_TRUE(IsMetricLocale()) << "no key";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Control Panel\\International", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExW(key, u"iCountry", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(IsMetricLocale()) << "a number, not a text";
}

TEST_F(DefaultDevModeTest, LocaleDecidesPaperFormAndUnit) {
  struct Case {
    const char16_t* country;
    SHORT paperSize, length, width;
    const char16_t* formName;
    BYTE uom;
  };
  const Case cases[] = {
      {u"49", 9, 2970, 2100, u"A4", 1},
      {u"1", 1, 2794, 2159, u"Letter", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.country));
    SetCountry(c.country);
    const DriverDevMode r = Build();
    EXPECT_EQ(r.dm.dmPaperSize, c.paperSize);
    EXPECT_EQ(r.dm.dmPaperLength, c.length);
    EXPECT_EQ(r.dm.dmPaperWidth, c.width);
    EXPECT_EQ(std::u16string(r.dm.dmFormName), c.formName);
    EXPECT_EQ(r.priv.UOM, c.uom);
  }
}

TEST_F(DefaultDevModeTest, PaperRules) {
  struct Case {
    const char* what;
    std::optional<DWORD> paperSize, paperWidth, paperLength;
    const char16_t* formName;  // nullptr: no value
    SHORT expectedSize, expectedLength, expectedWidth;
    const char16_t* expectedForm;
  };
  const Case cases[] = {
      {"custom size takes the width and defaults the length", 256, 1000, std::nullopt, u"Letter", 256, 2970, 1000,
       u"Custom-size Form"},
      {"custom size with both", 256, 1500, 2500, nullptr, 256, 2500, 1500, u"Custom-size Form"},
      {"custom size with nonsense sizes", 256, 0, 40000, nullptr, 256, 2970, 2100, u"Custom-size Form"},
      {"form by index", 5, std::nullopt, std::nullopt, nullptr, 5, 3556, 2159, u"A4"},
      {"form by index keeps the stored name", 8, std::nullopt, std::nullopt, u"Letter", 8, 4200, 2970, u"Letter"},
      {"form by index beyond the forms", 200, std::nullopt, std::nullopt, nullptr, 200, 2970, 2100, u"A4"},
      {"form by name", 0, std::nullopt, std::nullopt, u"legal", 5, 3556, 2159, u"legal"},
      {"form by name above 256", 300, std::nullopt, std::nullopt, u"A3", 8, 4200, 2970, u"A3"},
      {"unknown form name", 0, std::nullopt, std::nullopt, u"Nonsense", 0, 2970, 2100, u"Nonsense"},
      {"paper size beyond its field", 0x10000, std::nullopt, std::nullopt, nullptr, 9, 2970, 2100, u"A4"},
  };
  SetCountry(u"49");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseFreshPrinter();
    if (c.paperSize) SetDword(printer_value::kPaperSize, *c.paperSize);
    if (c.paperWidth) SetDword(printer_value::kPaperWidth, *c.paperWidth);
    if (c.paperLength) SetDword(printer_value::kPaperLength, *c.paperLength);
    if (c.formName) SetString(printer_value::kFormName, c.formName);
    const DriverDevMode r = Build();
    EXPECT_EQ(r.dm.dmPaperSize, c.expectedSize);
    EXPECT_EQ(r.dm.dmPaperLength, c.expectedLength);
    EXPECT_EQ(r.dm.dmPaperWidth, c.expectedWidth);
    EXPECT_EQ(std::u16string(r.dm.dmFormName), c.expectedForm);
    EXPECT_TRUE(r.dm.dmFields & DM_PAPERSIZE && r.dm.dmFields & DM_PAPERLENGTH && r.dm.dmFields & DM_PAPERWIDTH &&
                r.dm.dmFields & DM_FORMNAME);
  }
}

TEST_F(DefaultDevModeTest, WithoutAPrinterEveryValueTakesItsDefault) {
  SetCountry(u"1");
  DriverDevMode r;
  BuildDefaultDevMode(&r, nullptr);
  EXPECT_EQ(r.dm.dmPaperSize, 1);
  EXPECT_EQ(r.dm.dmPaperLength, 2794);
  EXPECT_EQ(r.dm.dmPaperWidth, 2159);
  EXPECT_EQ(r.dm.dmPrintQuality, 300);
  EXPECT_EQ(r.priv.FontEmbed, 2);
  EXPECT_EQ(r.priv.UOM, 0);
}

TEST_F(DefaultDevModeTest, StoredZeroIsNotTheDefault) {
  EXPECT_EQ(Build().priv.FontEmbed, 2) << "missing";
  SetDword(printer_value::kFontEmbed, 0);
  EXPECT_EQ(Build().priv.FontEmbed, 0) << "stored 0";
}

TEST_F(DefaultDevModeTest, MalformedValuesGiveTheDefault) {
  struct Case {
    const char* what;
    const WCHAR* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  const auto dword = [](DWORD v) {
    return std::vector<BYTE>{static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                             static_cast<BYTE>(v >> 24)};
  };
  namespace v = printer_value;
  const Case cases[] = {
      {"number stored as text", v::kFontEmbed, REG_SZ, Bytes(u"0")},
      {"number stored as binary", v::kDPI, REG_BINARY, dword(600)},
      {"number of 2 bytes", v::kFontEmbed, REG_DWORD, {0, 0}},
      {"number of 8 bytes", v::kOverwrite, REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"empty number", v::kOpenFile, REG_DWORD, {}},
      {"orientation 3", v::kOrientation, REG_DWORD, dword(3)},
      {"orientation 0", v::kOrientation, REG_DWORD, dword(0)},
      {"negative paper size", v::kPaperSize, REG_DWORD, dword(0xFFFFFFF7)},
      {"DPI 0", v::kDPI, REG_DWORD, dword(0)},
      {"DPI beyond its field", v::kDPI, REG_DWORD, dword(40000)},
      {"PDF version 16", v::kPDFVersion, REG_DWORD, dword(16)},
      {"font embedding 4", v::kFontEmbed, REG_DWORD, dword(4)},
      {"font embedding 258", v::kFontEmbed, REG_DWORD, dword(258)},
      {"unit 3", v::kUOM, REG_DWORD, dword(3)},
      {"flag 2", v::kGDIPunt, REG_DWORD, dword(2)},
      {"flag 256", v::kOpenFile, REG_DWORD, dword(256)},
      {"post-processing 7", v::kPPOption, REG_DWORD, dword(7)},
      {"colour space 300", v::kColorSpace, REG_DWORD, dword(300)},
      {"bitmap font size 0", v::kBitmapFontSize, REG_DWORD, dword(0)},
      {"bitmap font size 70000", v::kBitmapFontSize, REG_DWORD, dword(70000)},
      {"folder as binary", v::kFolder, REG_BINARY, Bytes(u"C:\\Out")},
      {"folder as a number", v::kFolder, REG_DWORD, dword(0x41)},
      {"folder longer than its field", v::kFolder, REG_SZ, Bytes(std::u16string(300, u'f'))},
      {"profile longer than its field", v::kICCProfile, REG_SZ, Bytes(std::u16string(261, u'p'))},
      {"form name longer than 64 bytes", v::kFormName, REG_SZ, Bytes(std::u16string(33, u'n'))},
      {"form name as binary", v::kFormName, REG_BINARY, Bytes(u"Legal")},
  };
  SetCountry(u"49");
  const DriverDevMode defaults = Build();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseFreshPrinter();
    SetRaw(c.name, c.type, c.data);
    DriverDevMode r = Build();
    r.priv.buildSerial = defaults.priv.buildSerial;
    EXPECT_EQ(std::memcmp(&r, &defaults, sizeof r), 0) << "the record equals the one without the value";
  }
}

TEST_F(DefaultDevModeTest, StringsAreCutToTheirFieldAndTerminated) {
  struct Case {
    const WCHAR* name;
    std::size_t stored;  // characters, written without a zero
    std::size_t kept;
  };
  const Case cases[] = {
      {printer_value::kFolder, 260, 259}, {printer_value::kFolder, 259, 259}, {printer_value::kICCProfile, 260, 259},
      {printer_value::kFormName, 32, 31}, {printer_value::kFormName, 31, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name) + " of " + std::to_string(c.stored));
    SetString(c.name, std::u16string(c.stored, u'z'));
    const DriverDevMode r = Build();
    const WCHAR* field = c.name == printer_value::kFolder       ? r.priv.Folder
                         : c.name == printer_value::kICCProfile ? r.priv.ICCProfile
                                                                : r.dm.dmFormName;
    EXPECT_EQ(std::u16string(field), std::u16string(c.kept, u'z'));
  }
  // A zero inside the text ends it.
  SetRaw(printer_value::kFolder, REG_SZ, Bytes(std::u16string_view(u"C:\\Out\0junk", 11)));
  EXPECT_EQ(std::u16string(Build().priv.Folder), u"C:\\Out");
}

}  // namespace
