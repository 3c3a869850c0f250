#include <cstring>

#include "printer_fixture.h"

namespace {

class PrinterValuesTest : public PrinterFixture {};

TEST_F(PrinterValuesTest, ReadPrinterDriverDataGrowsToTheValue) {
  SetString(printer_value::kDestName, u"Daily report");
  struct Case {
    const char* what;
    std::size_t startSize;
  };
  for (const Case& c :
       {Case{"from an empty buffer", 0}, Case{"from a short buffer", 4}, Case{"from a larger one", 520}}) {
    std::vector<BYTE> buffer(c.startSize, 0xAB);
    DWORD type = 0;
    ASSERT_TRUE(ReadPrinterDriverData(printer_, printer_value::kDestName, buffer, &type)) << c.what;
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(buffer, Bytes(u"Daily report")) << c.what;
  }
  std::vector<BYTE> buffer;
  EXPECT_FALSE(ReadPrinterDriverData(printer_, printer_value::kBatch, buffer));
  EXPECT_FALSE(ReadPrinterDriverData(nullptr, printer_value::kDestName, buffer));
}

TEST_F(PrinterValuesTest, FontFaceListIsStoredAsBinaryOfItsOwnLength) {
  ASSERT_EQ(WriteFontFaceList(printer_, FontFaceList({u"Arial", u"Symbol"})), ERROR_SUCCESS);
  std::vector<BYTE> buffer;
  DWORD type = 0;
  ASSERT_TRUE(ReadPrinterDriverData(printer_, printer_value::kFFaces, buffer, &type));
  EXPECT_EQ(type, REG_BINARY);
  ASSERT_EQ(buffer.size(), 30u);
  EXPECT_EQ(buffer[0], 30);
  EXPECT_EQ(FontFaceList::Decode(buffer.data(), buffer.size()).Faces(),
            (std::vector<std::u16string>{u"Arial", u"Symbol"}));

  ASSERT_EQ(WriteFontFaceList(printer_, FontFaceList()), ERROR_SUCCESS);
  ASSERT_TRUE(ReadPrinterDriverData(printer_, printer_value::kFFaces, buffer));
  EXPECT_EQ(buffer, (std::vector<BYTE>{4, 0, 0, 0}));

  // A broken stored list claims more than it holds: reading stops at what is there, and the cut name is no entry.
  SetRaw(printer_value::kFFaces, REG_BINARY, {0xE8, 0x03, 0, 0, 'A', 0, 'r', 0});
  ASSERT_TRUE(ReadPrinterDriverData(printer_, printer_value::kFFaces, buffer));
  EXPECT_TRUE(FontFaceList::Decode(buffer.data(), buffer.size()).Faces().empty());
}

TEST_F(PrinterValuesTest, FormByIndex) {
  struct Case {
    int index;
    BOOL found;
    SHORT length, width;
    const char16_t* name;
  };
  const Case cases[] = {
      {1, TRUE, 2794, 2159, u"Letter"},
      {9, TRUE, 2970, 2100, u"A4"},
      {84, TRUE, 2400, 3320, u"Japanese Envelope Kaku #2 Rotat"},  // 31 characters kept
      {118, TRUE, 3240, 4580, u"PRC Envelope #10 Rotated"},
      {119, FALSE, -1, -1, u"unchanged"},
      {0, FALSE, -1, -1, u"unchanged"},
      {-3, FALSE, -1, -1, u"unchanged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    SHORT length = -1, width = -1;
    WCHAR name[CCHFORMNAME];
    lstrcpynW(name, u"unchanged", CCHFORMNAME);
    EXPECT_EQ(GetFormByIndex(printer_, c.index, &length, &width, name), c.found);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(std::u16string(name), c.name);
  }
  SHORT length = 0, width = 0;
  EXPECT_TRUE(GetFormByIndex(printer_, 5, &length, &width, nullptr)) << "the name is optional";
  EXPECT_FALSE(GetFormByIndex(nullptr, 5, &length, &width, nullptr)) << "the enumeration fails";
}

TEST_F(PrinterValuesTest, FormByName) {
  struct Case {
    const char16_t* name;
    BOOL found;
    SHORT length, width, paperSize;
  };
  const Case cases[] = {
      {u"A4", TRUE, 2970, 2100, 9},
      {u"letter", TRUE, 2794, 2159, 1},
      {u"ENVELOPE DL", TRUE, 2200, 1100, 27},
      {u"PRC Envelope #10 Rotated", TRUE, 3240, 4580, 118},
      {u"A4 ", FALSE, -1, -1, -1},
      {u"Custom-size Form", FALSE, -1, -1, -1},
      {u"", FALSE, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    SHORT length = -1, width = -1, paperSize = -1;
    EXPECT_EQ(GetFormByName(printer_, c.name, &length, &width, &paperSize), c.found);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(paperSize, c.paperSize);
  }
}

TEST_F(PrinterValuesTest, ReadPrinterFormsListsTheSpoolersForms) {
  std::vector<PrinterForm> forms;
  ASSERT_TRUE(ReadPrinterForms(printer_, &forms));
  ASSERT_EQ(forms.size(), 118u);
  EXPECT_EQ(forms[8].name, u"A4");
  EXPECT_EQ(forms[8].flags, FORM_BUILTIN);
  EXPECT_EQ(forms[8].width, 210000);
  EXPECT_EQ(forms[8].height, 297000);
  EXPECT_FALSE(ReadPrinterForms(reinterpret_cast<HANDLE>(0x77), &forms));
}

}  // namespace
