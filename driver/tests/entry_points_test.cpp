// The driver's outer frame: the two exports, the function table, the escapes, the catch-all and its box, and the
// device and document entries' hand-over to the document writer.
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "driver_fixture.h"
#include "entry_guard.h"
#include "function_table.h"
#include "module.h"
#include "win/enginebrush.h"
#include "win/sysinfoapi.h"

namespace {

using drvtest::DriverTest;

template <class F>
PFN Fn(F* entry) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(entry));
}

TEST(DriverExports, EnableDriverHandsOutTheTableInItsOrder) {
  DRVENABLEDATA data{};
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5_01, 15, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(data.pdrvfn, nullptr);
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5_01, sizeof data, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // Any engine version: the driver answers with its own.
  for (ULONG engine : {0u, DDI_DRIVER_VERSION_NT4, DDI_DRIVER_VERSION_NT5_01}) {
    for (ULONG size : {16u, 64u}) {
      DRVENABLEDATA enable{};
      ASSERT_TRUE(DrvEnableDriver(engine, size, &enable));
      EXPECT_EQ(enable.iDriverVersion, 0x30000u);
      EXPECT_EQ(enable.c, 28u);
    }
  }

  const struct {
    ULONG index;
    PFN entry;
  } expected[] = {
      {8, Fn(&DrvDisableDriver)},    {0, Fn(&DrvEnablePDEV)},           {7, Fn(&DrvResetPDEV)},
      {1, Fn(&DrvCompletePDEV)},     {2, Fn(&DrvDisablePDEV)},          {3, Fn(&DrvEnableSurface)},
      {4, Fn(&DrvDisableSurface)},   {24, Fn(&DrvEscape)},              {31, Fn(&DrvLineTo)},
      {14, Fn(&DrvStrokePath)},      {16, Fn(&DrvStrokeAndFillPath)},   {15, Fn(&DrvFillPath)},
      {19, Fn(&DrvCopyBits)},        {12, Fn(&DrvRealizeBrush)},        {70, Fn(&DrvPlgBlt)},
      {18, Fn(&DrvBitBlt)},          {20, Fn(&DrvStretchBlt)},          {69, Fn(&DrvStretchBltROP)},
      {71, Fn(&DrvAlphaBlend)},      {68, Fn(&DrvGradientFill)},        {74, Fn(&DrvTransparentBlt)},
      {37, Fn(&DrvGetGlyphMode)},    {23, Fn(&DrvTextOut)},             {32, Fn(&DrvSendPage)},
      {33, Fn(&DrvStartPage)},       {35, Fn(&DrvStartDoc)},            {34, Fn(&DrvEndDoc)},
      {76, Fn(&DrvQueryDeviceSupport)},
  };
  static_assert(std::size(expected) == 28);
  ASSERT_TRUE(DrvEnableDriver(DDI_DRIVER_VERSION_NT5_01, sizeof data, &data));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(data.pdrvfn[i].iFunc, expected[i].index) << "row " << i + 1;
    EXPECT_EQ(data.pdrvfn[i].pfn, expected[i].entry) << "row " << i + 1;
  }
}

TEST(DriverExports, QueryDriverInfoAnswersUserModeOnlyIntoFourBytes) {
  alignas(8) BYTE buffer[8] = {};
  DWORD needed = 0;
  ASSERT_TRUE(DrvQueryDriverInfo(DRVQUERY_USERMODE, buffer, 4, &needed));
  DWORD mode = 0;
  std::memcpy(&mode, buffer, 4);
  EXPECT_EQ(mode, 1u);
  // An unaligned buffer is written byte by byte.
  ASSERT_TRUE(DrvQueryDriverInfo(DRVQUERY_USERMODE, buffer + 1, 7, nullptr));
  std::memcpy(&mode, buffer + 1, 4);
  EXPECT_EQ(mode, 1u);

  const struct {
    DWORD mode;
    PVOID buffer;
    DWORD size;
  } refused[] = {
      {DRVQUERY_USERMODE, buffer, 3},
      {DRVQUERY_USERMODE, nullptr, 4},
      {2, buffer, 4},
  };
  for (const auto& c : refused) {
    needed = 0;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(DrvQueryDriverInfo(c.mode, c.buffer, c.size, &needed));
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_FALSE(DrvQueryDriverInfo(DRVQUERY_USERMODE, buffer, 3, nullptr));
}

TEST(DriverEscapes, AcknowledgePrivateEscapesAndListTwoOfThem) {
  auto query = [](ULONG escape, ULONG size) {
    BYTE in[8] = {};
    std::memcpy(in, &escape, sizeof escape);
    return DrvEscape(nullptr, QUERYESCSUPPORT, size, in, 0, nullptr);
  };
  EXPECT_EQ(query(6001, 4), 1u);
  EXPECT_EQ(query(6002, 8), 1u);
  EXPECT_EQ(query(6003, 4), 0u) << "accepted, but not listed";
  EXPECT_EQ(query(QUERYESCSUPPORT, 4), 0u);
  EXPECT_EQ(query(6001, 3), 0u) << "fewer than 4 bytes ask for nothing";
  EXPECT_EQ(DrvEscape(nullptr, QUERYESCSUPPORT, 4, nullptr, 0, nullptr), 0u);
  for (ULONG escape : {6001u, 6002u, 6003u}) EXPECT_EQ(DrvEscape(nullptr, escape, 0, nullptr, 0, nullptr), 1u);
  for (ULONG escape : {0u, 7u, 6000u, 6004u}) EXPECT_EQ(DrvEscape(nullptr, escape, 0, nullptr, 0, nullptr), 0u);
  EXPECT_FALSE(DrvQueryDeviceSupport(nullptr, nullptr, nullptr, 0, 0, nullptr, 0, nullptr));
}

class EntryPoints : public DriverTest {
 protected:
  // A device with its surface, locked as the engine hands it to the document and page entries.
  void Open(DriverDevMode record) {
    pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    surface = DrvEnableSurface(HandleFromPdev(pdev.get()));
    ASSERT_NE(surface, nullptr);
    so = EngLockSurface(surface);
    ASSERT_NE(so, nullptr);
  }
  void TearDown() override {
    if (so) EngUnlockSurface(so);
    if (pdev && pdev->surface) DrvDisableSurface(HandleFromPdev(pdev.get()));
  }

  std::size_t SaveAsShown() const { return JournalOf(kq::JournalEntry::Kind::SaveAs).size(); }

  drvtest::PdevPtr pdev;
  HSURF surface = nullptr;
  SURFOBJ* so = nullptr;
};

TEST_F(EntryPoints, AFaultBeneathAnEntryShowsOneBoxWithItsTagAndFails) {
  const kq::WString expected =
      u"Error happened to Kelvo Quenzar Zedarod. Your PDF document might not be complete.\n\nError tag = "
      u"\"DrvStrokePath\".\n\n";
  EXPECT_EQ(DdiExceptionText("DrvStrokePath").substr(0, expected.size()), expected);
  EXPECT_NE(DdiExceptionText("DrvStrokePath").find(u"support@"), kq::WString::npos);

  EXPECT_FALSE(GuardEntry("DrvStrokePath", FALSE, []() -> BOOL { throw std::bad_alloc(); }));
  // A file that could not be written was removed whole: the box says why, and not that it might be incomplete.
  EXPECT_FALSE(GuardEntry("DrvEndDoc", FALSE, []() -> BOOL { throw PdfOutputError(ERROR_DISK_FULL); }));
  EXPECT_EQ(GuardEntry("DrvEnableSurface", HSURF{}, []() -> HSURF { throw 42; }), nullptr);
  GuardVoidEntry("DrvDisablePDEV", [] { throw std::runtime_error("gone"); });
  EXPECT_TRUE(GuardEntry("DrvBitBlt", FALSE, [] { return TRUE; }));

  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 4u) << JournalText();
  const kq::WString texts[] = {DdiExceptionText("DrvStrokePath"),
                               u"Kelvo Quenzar Zedarod could not write your PDF document: there is not enough space "
                               u"on the disk. No file was made, and a file of that name was left as it was.\n\n"
                               u"Error tag = \"DrvEndDoc\".",
                               DdiExceptionText("DrvEnableSurface"), DdiExceptionText("DrvDisablePDEV")};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(boxes[i].caption, u"Kelvo Quenzar Zedarod");
    EXPECT_EQ(boxes[i].text, texts[i]);
    EXPECT_EQ(boxes[i].style & MB_TYPEMASK, MB_OK);
  }
}

TEST_F(EntryPoints, ADocumentWithoutAJobOfItsOwnContinuesTheOneUnderWay) {
  Open(DefaultRecord());
  person.CancelSaveAs();
  WCHAR first[] = u"First";
  ASSERT_TRUE(DrvStartDoc(so, first, 1));
  CPDF_DocWriter* writer = pdev->writer.get();
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(SaveAsShown(), 1u);
  EXPECT_EQ(writer->cancelled, 1u);

  WCHAR second[] = u"Second";
  EXPECT_TRUE(DrvStartDoc(so, second, 0));
  EXPECT_EQ(pdev->writer.get(), writer);
  EXPECT_EQ(SaveAsShown(), 1u) << "nothing was started again";
  EXPECT_EQ(writer->cancelled, 1u);
  EXPECT_TRUE(DrvStartPage(so));
  EXPECT_TRUE(DrvSendPage(so));
  EXPECT_TRUE(DrvEndDoc(so, 0));

  // A new job on the same device reuses the writer after a reset.
  person.CancelSaveAs();
  WCHAR third[] = u"Third";
  EXPECT_TRUE(DrvStartDoc(so, third, 2));
  EXPECT_EQ(pdev->writer.get(), writer);
  EXPECT_EQ(SaveAsShown(), 2u);
  EXPECT_TRUE(DrvEndDoc(so, 0));
  EXPECT_TRUE(JournalOf(kq::JournalEntry::Kind::MessageBox).empty()) << JournalText();
}

// What the last page drew is whitened as the new one meets it: read whole, the new page is white.
TEST_F(EntryPoints, StartPageLeavesAPageBitmapThatReadsWhiteInTransparentMode) {
  DriverDevMode record = DefaultRecord();
  record.priv.GDIPunt = 1;
  Open(record);
  ASSERT_NE(so->pvBits, nullptr);
  pdev->writer = std::make_unique<CPDF_DocWriter>();
  pdev->writer->LoadJobSettings(*pdev);
  pdev->writer->contentStream = std::make_unique<std::string>();
  // The engine draws at the page's first and last pixels.
  auto black = kq::BrushObject::Solid(0);
  const LONG width = so->sizlBitmap.cx, height = so->sizlBitmap.cy;
  for (RECTL rect : {RECTL{0, 0, 400, 1}, RECTL{width - 1, height - 1, width, height}})
    EXPECT_TRUE(DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, black->Object(), nullptr,
                          0xF0F0));
  const auto* bits = static_cast<const BYTE*>(so->pvBits);
  ASSERT_EQ(bits[0], 0);
  ASSERT_EQ(bits[(height - 1) * so->lDelta + 3 * (width - 1)], 0);
  EXPECT_TRUE(DrvStartPage(so));
  pdev->writer->beforeBitmapRead(so, RECTL{0, 0, width, height});
  EXPECT_TRUE(std::all_of(bits, bits + so->cjBits, [](BYTE b) { return b == 0xFF; }));
}

TEST_F(EntryPoints, ResetHandsTheWriterToTheNewDeviceWithItsSettings) {
  Open(DefaultRecord());
  DriverDevMode other = DefaultRecord();
  other.priv.GDIPunt = 0;
  other.dm.dmPrintQuality = other.dm.dmYResolution = 600;
  auto next = Enable(other);
  ASSERT_NE(next, nullptr);
  // Without a writer there is nothing to hand on.
  EXPECT_TRUE(DrvResetPDEV(HandleFromPdev(pdev.get()), HandleFromPdev(next.get())));
  EXPECT_EQ(next->writer, nullptr);

  person.CancelSaveAs();
  WCHAR name[] = u"Reset";
  ASSERT_TRUE(DrvStartDoc(so, name, 1));
  CPDF_DocWriter* writer = pdev->writer.get();
  EXPECT_DOUBLE_EQ(writer->pointsPerPixel, 72.0 / 300);
  EXPECT_TRUE(DrvResetPDEV(HandleFromPdev(pdev.get()), HandleFromPdev(next.get())));
  EXPECT_EQ(pdev->writer, nullptr);
  EXPECT_EQ(next->writer.get(), writer);
  EXPECT_EQ(next->surface, surface) << "until the new device's own DrvEnableSurface";
  EXPECT_DOUBLE_EQ(writer->pointsPerPixel, 72.0 / 600);
  next->surface = nullptr;
}

TEST_F(EntryPoints, CallsWithoutADeviceDrawNothingAndDocumentsFail) {
  SURFOBJ bare{};
  SetLastError(ERROR_SUCCESS);
  WCHAR name[] = u"None";
  EXPECT_FALSE(DrvStartDoc(&bare, name, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(DrvStartPage(nullptr));
  EXPECT_FALSE(DrvEndDoc(&bare, 0));
  RECTL rect{0, 0, 10, 10};
  EXPECT_TRUE(DrvBitBlt(&bare, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr, 0xF0F0));
  EXPECT_TRUE(DrvTextOut(&bare, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_TRUE(DrvRealizeBrush(nullptr, &bare, nullptr, nullptr, nullptr, 0));
  DrvCompletePDEV(nullptr, hdev);
  DrvDisablePDEV(nullptr);
  EXPECT_TRUE(JournalOf(kq::JournalEntry::Kind::MessageBox).empty()) << JournalText();
}

TEST_F(DriverTest, OsVersionNumberIsTheMachinesVersion) {
  for (DWORD version : {600u, 501u}) {
    kq::SetWindowsVersion(*machine, version);
    InitOsVersion();
    EXPECT_EQ(OsVersionNumber, version);
  }
}

}  // namespace
