// The device-capability answers, and the form capabilities with the printer's built-in and user forms.
#include "teloui_fixture.h"

namespace {

class CapabilitiesTest : public TelouiFixture {
 protected:
  DWORD Ask(WORD capability, PVOID output = nullptr, PDEVMODEW devmode = nullptr) {
    std::u16string name = kq::kVirtualPrinterName;
    return DrvDeviceCapabilities(printer_, name.data(), capability, output, devmode);
  }
  static constexpr DWORD kBuiltinForms = 118;
};

TEST_F(CapabilitiesTest, EveryCapabilityNumber) {
  struct Case {
    WORD capability;
    DWORD answer;
  };
  const Case fixed[] = {
      {DC_FIELDS, 0x0781FF5F},
      {DC_MINEXTENT, 0x00010001},
      {DC_MAXEXTENT, 0x7FFF7FFF},
      {DC_BINS, 1},
      {DC_DUPLEX, 0},
      {DC_SIZE, GDI_ERROR},
      {DC_EXTRA, 1716},
      {DC_VERSION, 0x401},
      {DC_DRIVER, 0x401},
      {DC_BINNAMES, 1},
      {DC_ENUMRESOLUTIONS, 1},
      {DC_FILEDEPENDENCIES, 0},
      {DC_TRUETYPE, 2},
      {DC_ORIENTATION, 90},
      {DC_COPIES, 1},
      {DC_BINADJUST, 0},
      {DC_EMF_COMPLIANT, 0},
      {DC_DATATYPE_PRODUCED, 0},
      {DC_COLLATE, 0},
      {DC_MANUFACTURER, 0},
      {DC_MODEL, GDI_ERROR},
      {DC_PERSONALITY, 0},
      {DC_PRINTRATE, 1000},
      {DC_PRINTRATEUNIT, 1},
      {DC_PRINTERMEM, 0x10000},
      {DC_STAPLE, 0},
      {DC_PRINTRATEPPM, 1000},
      {DC_COLORDEVICE, 1},
      {DC_NUP, 0},
      {0, GDI_ERROR},
      {34, GDI_ERROR},
      {0xFFFF, GDI_ERROR},
      {DC_PAPERS, kBuiltinForms},
      {DC_PAPERSIZE, kBuiltinForms},
      {DC_PAPERNAMES, kBuiltinForms},
      {DC_MEDIAREADY, kBuiltinForms},
  };
  for (const Case& c : fixed) EXPECT_EQ(Ask(c.capability), c.answer) << "capability " << c.capability;

  DriverDevMode record = Build();
  record.dm.dmFields = 0x1234;
  EXPECT_EQ(Ask(DC_FIELDS, nullptr, &record.dm), 0x1234u) << "the given record's fields";
}

TEST_F(CapabilitiesTest, AnswersWithBuffers) {
  WORD bins[2] = {0, 0xAAAA};
  EXPECT_EQ(Ask(DC_BINS, bins), 1u);
  EXPECT_EQ(bins[0], 7);
  EXPECT_EQ(bins[1], 0xAAAA);
  WCHAR binName[24];
  std::fill(std::begin(binName), std::end(binName), u'x');
  EXPECT_EQ(Ask(DC_BINNAMES, binName), 1u);
  EXPECT_EQ(Narrow(binName), "Virtual Bin");
  LONG resolutions[3] = {0, 0, -1};
  EXPECT_EQ(Ask(DC_ENUMRESOLUTIONS, resolutions), 1u);
  EXPECT_EQ(resolutions[0], 300);
  EXPECT_EQ(resolutions[1], 300);
  EXPECT_EQ(resolutions[2], -1) << "one pair only";
}

TEST_F(CapabilitiesTest, PapersWithBuiltinAndUserForms) {
  AddUserForm(u"Poster", 5000, 7000);
  AddUserForm(u"Postcard Big", 1480, 1000);
  const DWORD count = Ask(DC_PAPERS);
  ASSERT_EQ(count, kBuiltinForms + 2);
  std::vector<WORD> papers(count + 1, 0xBEEF);
  EXPECT_EQ(Ask(DC_PAPERS, papers.data()), count);
  for (DWORD i = 0; i < kBuiltinForms; ++i) EXPECT_EQ(papers[i], i + 1);
  EXPECT_EQ(papers[kBuiltinForms], 256);
  EXPECT_EQ(papers[kBuiltinForms + 1], 256);
  EXPECT_EQ(papers[count], 0xBEEF);

  std::vector<POINT> sizes(count);
  EXPECT_EQ(Ask(DC_PAPERSIZE, sizes.data()), count);
  EXPECT_EQ(sizes[0].x, 2159);  // Letter
  EXPECT_EQ(sizes[0].y, 2794);
  EXPECT_EQ(sizes[8].x, 2100);  // A4
  EXPECT_EQ(sizes[8].y, 2970);
  EXPECT_EQ(sizes[kBuiltinForms].x, 5000);
  EXPECT_EQ(sizes[kBuiltinForms].y, 7000);

  std::vector<WCHAR> names(count * 64, u'x');
  EXPECT_EQ(Ask(DC_PAPERNAMES, names.data()), count);
  EXPECT_EQ(Narrow(&names[0]), "Letter");
  EXPECT_EQ(Narrow(&names[kBuiltinForms * 64]), "Poster");
  EXPECT_EQ(Narrow(&names[(kBuiltinForms + 1) * 64]), "Postcard Big");
}

TEST_F(CapabilitiesTest, LongFormNamesAreCutAt63) {
  const std::u16string longName(80, u'L');
  AddUserForm(longName, 1000, 1000);
  const DWORD count = Ask(DC_MEDIAREADY);
  std::vector<WCHAR> names(count * 64, u'x');
  ASSERT_EQ(Ask(DC_MEDIAREADY, names.data()), count);
  const WCHAR* last = &names[(count - 1) * 64];
  EXPECT_EQ(std::u16string(last), std::u16string(63, u'L'));
}

TEST_F(CapabilitiesTest, UserFormsNeedAFreeNameAndAdministration) {
  AddUserForm(u"Banner", 3000, 900);
  FORM_INFO_1W form{};
  std::u16string name = u"banner";
  form.pName = name.data();
  form.Size = {100000, 100000};
  EXPECT_FALSE(AddFormW(printer_, 1, reinterpret_cast<LPBYTE>(&form)));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  HANDLE user = nullptr;
  ASSERT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &user, nullptr));
  name = u"Other";
  EXPECT_FALSE(AddFormW(user, 1, reinterpret_cast<LPBYTE>(&form)));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ClosePrinter(user);
}

}  // namespace
