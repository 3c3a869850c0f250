#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "win/machine.h"
#include "win/spooler.h"

namespace {

class FormsTest : public ::testing::Test {
 protected:
  FormsTest() {
    EXPECT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
    EXPECT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &printer_, nullptr));
  }
  ~FormsTest() override { ClosePrinter(printer_); }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  HANDLE printer_ = nullptr;
};

TEST_F(FormsTest, SizingCallThenRecordsWithTheirNamesInside) {
  DWORD needed = 0, returned = 9;
  ASSERT_FALSE(EnumFormsW(printer_, 1, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(returned, 0u);
  ASSERT_GT(needed, 118 * sizeof(FORM_INFO_1W));

  std::vector<BYTE> buffer(needed);
  EXPECT_FALSE(EnumFormsW(printer_, 1, buffer.data(), needed - 1, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_TRUE(EnumFormsW(printer_, 1, buffer.data(), needed, &needed, &returned));
  ASSERT_EQ(returned, 118u);

  std::vector<FORM_INFO_1W> forms(returned);
  std::memcpy(forms.data(), buffer.data(), returned * sizeof(FORM_INFO_1W));
  std::set<std::u16string> names;
  for (const auto& f : forms) {
    const auto* name = reinterpret_cast<const BYTE*>(f.pName);
    ASSERT_TRUE(name >= buffer.data() + returned * sizeof(FORM_INFO_1W) && name < buffer.data() + needed);
    EXPECT_EQ(f.Flags, FORM_BUILTIN);
    EXPECT_EQ(f.ImageableArea.left, 0);
    EXPECT_EQ(f.ImageableArea.top, 0);
    EXPECT_EQ(f.ImageableArea.right, f.Size.cx);
    EXPECT_EQ(f.ImageableArea.bottom, f.Size.cy);
    std::u16string folded(f.pName);
    for (auto& c : folded) c = kq::FoldAscii(c);
    EXPECT_TRUE(names.insert(folded).second) << "form names are unique ignoring case";
  }

  // Form i is paper size i; sizes in thousandths of a millimetre.
  struct Expected {
    int paperSize;
    const char16_t* name;
    LONG cx, cy;
  };
  const Expected expected[] = {
      {1, u"Letter", 215900, 279400},
      {3, u"Tabloid", 279400, 431800},
      {5, u"Legal", 215900, 355600},
      {7, u"Executive", 184150, 266700},
      {8, u"A3", 297000, 420000},
      {9, u"A4", 210000, 297000},
      {11, u"A5", 148000, 210000},
      {12, u"B4 (JIS)", 257000, 364000},
      {13, u"B5 (JIS)", 182000, 257000},
      {20, u"Envelope #10", 104775, 241300},
      {27, u"Envelope DL", 110000, 220000},
      {28, u"Envelope C5", 162000, 229000},
      {37, u"Envelope Monarch", 98425, 190500},
      {50, u"Letter Extra", 241300, 304800},
      {66, u"A2", 420000, 594000},
      {70, u"A6", 105000, 148000},
      {118, u"PRC Envelope #10 Rotated", 458000, 324000},
  };
  for (const auto& e : expected) {
    const FORM_INFO_1W& f = forms[e.paperSize - 1];
    EXPECT_EQ(std::u16string(f.pName), e.name) << e.paperSize;
    EXPECT_EQ(f.Size.cx, e.cx) << e.paperSize;
    EXPECT_EQ(f.Size.cy, e.cy) << e.paperSize;
  }
}

TEST_F(FormsTest, OnlyLevelOneAndOpenHandles) {
  DWORD needed = 0, returned = 0;
  EXPECT_FALSE(EnumFormsW(printer_, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_FALSE(EnumFormsW(reinterpret_cast<HANDLE>(0x1234), 1, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FormsTest, TheFormsAreSeededOncePerDatabase) {
  // A second machine object on the same root (another process would do the same) finds the same forms.
  auto later = std::make_shared<kq::Machine>(kq::MachineConfig{machine_->Root()});
  kq::MachineScope bind(later);
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &printer, nullptr));
  DWORD needed = 0, returned = 0;
  EnumFormsW(printer, 1, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(EnumFormsW(printer, 1, buffer.data(), needed, &needed, &returned));
  EXPECT_EQ(returned, 118u);
  ClosePrinter(printer);
}

}  // namespace
