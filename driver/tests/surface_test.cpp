#include <algorithm>

#include "driver_fixture.h"

namespace {

using drvtest::DriverTest;

class Surface : public DriverTest {
 protected:
  // An A4 portrait device at 300 dpi (2480 x 3507 pixels), in vector or transparent mode.
  drvtest::PdevPtr A4Device(bool transparent) {
    DriverDevMode record = DefaultRecord();
    record.dm.dmFields |= DM_PAPERSIZE;
    record.dm.dmPaperSize = 9;
    record.dm.dmOrientation = DMORIENT_PORTRAIT;
    record.dm.dmPrintQuality = 300;
    record.priv.GDIPunt = transparent ? 1 : 0;
    return Enable(record);
  }
};

TEST_F(Surface, VectorModeMakesADeviceSurfaceWithTheHooks) {
  auto pdev = A4Device(false);
  ASSERT_NE(pdev, nullptr);
  const HSURF surface = telodrv::DrvEnableSurface(HandleFromPdev(pdev.get()));
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(pdev->surface, surface);
  const auto info = kq::QuerySurface(surface);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, STYPE_DEVICE);
  EXPECT_EQ(info->hooks, 0x3A5EFu);
  EXPECT_EQ(info->hdev, hdev);
  SURFOBJ* so = EngLockSurface(surface);
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->sizlBitmap.cx, 2480);
  EXPECT_EQ(so->sizlBitmap.cy, 3507);
  EXPECT_EQ(so->iBitmapFormat, BMF_24BPP);
  EXPECT_EQ(so->dhpdev, HandleFromPdev(pdev.get())) << "the engine hands the device back with the surface";
  EngUnlockSurface(so);

  telodrv::DrvDisableSurface(HandleFromPdev(pdev.get()));
  EXPECT_FALSE(kq::QuerySurface(surface).has_value());
  EXPECT_EQ(pdev->surface, nullptr);
}

TEST_F(Surface, TransparentModeMakesAWhitePageBitmap) {
  auto pdev = A4Device(true);
  ASSERT_NE(pdev, nullptr);
  const HSURF surface = telodrv::DrvEnableSurface(HandleFromPdev(pdev.get()));
  ASSERT_NE(surface, nullptr);
  const auto info = kq::QuerySurface(surface);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, STYPE_BITMAP);
  EXPECT_EQ(info->hooks, 0x3A5EFu);
  EXPECT_EQ(info->locks, 0u) << "unlocked after whitening";
  SURFOBJ* so = EngLockSurface(surface);
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->iBitmapFormat, BMF_24BPP);
  EXPECT_EQ(so->sizlBitmap.cx, 2480);
  EXPECT_EQ(so->sizlBitmap.cy, 3507);
  EXPECT_EQ(std::abs(so->lDelta), 7440) << "3 x 2480 + 3, rounded down to a multiple of 4";
  ASSERT_EQ(so->cjBits, 7440u * 3507u);
  const auto* bits = static_cast<const BYTE*>(so->pvBits);
  EXPECT_TRUE(std::all_of(bits, bits + so->cjBits, [](BYTE b) { return b == 0xFF; })) << "a white page";
  EngUnlockSurface(so);
  EXPECT_EQ(pdev->settings.priv.GDIPunt, 1) << "transparent imaging stays on";
  EXPECT_TRUE(JournalOf(kq::JournalEntry::Kind::MessageBox).empty());
  telodrv::DrvDisableSurface(HandleFromPdev(pdev.get()));
}

TEST_F(Surface, APageTooLargeForTheEngineTurnsTransparentImagingOff) {
  // The engine refuses bitmaps above its limit: a page of 7440 x 3507 bytes does not fit in 16 MB.
  kq::SetEngineBitmapLimit(*machine, 16u << 20);
  auto pdev = A4Device(true);
  ASSERT_NE(pdev, nullptr);
  pdev->writer = std::make_unique<CPDF_DocWriter>();
  pdev->writer->gdiPunt = 1;  // as a writer handed on from an earlier device would hold it
  const long threadsBefore = kq::RunningThreadCount(*machine);

  const HSURF surface = telodrv::DrvEnableSurface(HandleFromPdev(pdev.get()));
  ASSERT_NE(surface, nullptr);
  const auto info = kq::QuerySurface(surface);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->type, STYPE_DEVICE) << "the page is converted in vector mode";
  EXPECT_EQ(info->hooks, 0x3A5EFu);
  EXPECT_EQ(pdev->settings.priv.GDIPunt, 0);
  EXPECT_EQ(pdev->writer->gdiPunt, 0u) << "one source of truth for the page's mode";

  const auto boxes = JournalOf(kq::JournalEntry::Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 1u) << JournalText();
  EXPECT_EQ(boxes[0].caption, u"Kelvo Quenzar Zedarod");
  EXPECT_EQ(boxes[0].text,
            u"The page size is too large to support transparent imaging model.\n"
            u"If there are transparent effects in your document, they will get lost.");
  EXPECT_EQ(boxes[0].style, MB_OK | MB_SETFOREGROUND);
  EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore) << "the box's thread is gone";
  telodrv::DrvDisableSurface(HandleFromPdev(pdev.get()));
}

TEST_F(Surface, APageWhoseBytesDoNotFitThirtyTwoBitsIsRefusedBeforeTheEngine) {
  // 32767 x 32767 tenths of a millimetre at 300 dpi: 38700 x 38700 pixels, 4.5 GB of bits.
  DriverDevMode record = DefaultRecord();
  record.dm.dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
  record.dm.dmPaperLength = 32767;
  record.dm.dmPaperWidth = 32767;
  record.dm.dmPrintQuality = 300;
  record.priv.GDIPunt = 1;
  kq::SetEngineBitmapLimit(*machine, ~0ull);
  auto pdev = Enable(record);
  ASSERT_NE(pdev, nullptr);
  ASSERT_GT(PageBitmapStride(pdev->pageWidth) * pdev->pageHeight, 0xFFFFFFFFull);
  const HSURF surface = telodrv::DrvEnableSurface(HandleFromPdev(pdev.get()));
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(kq::QuerySurface(surface)->type, STYPE_DEVICE);
  EXPECT_EQ(pdev->settings.priv.GDIPunt, 0);
  EXPECT_EQ(JournalOf(kq::JournalEntry::Kind::MessageBox).size(), 1u);
  telodrv::DrvDisableSurface(HandleFromPdev(pdev.get()));
}

TEST_F(Surface, ADeviceTheEngineDoesNotKnowGetsNoSurface) {
  auto pdev = A4Device(false);
  ASSERT_NE(pdev, nullptr);
  pdev->engineDevice = reinterpret_cast<HDEV>(0x1234);
  SetLastError(0);
  EXPECT_EQ(telodrv::DrvEnableSurface(HandleFromPdev(pdev.get())), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(pdev->surface, nullptr);
}

}  // namespace
