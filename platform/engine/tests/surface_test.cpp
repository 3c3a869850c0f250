#include <gtest/gtest.h>
#include <pixman.h>

#include <cstring>
#include <vector>

#include "win/engine.h"
#include "win/winddi.h"

namespace {

class Surfaces : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

const BYTE* Bytes(const void* p) { return static_cast<const BYTE*>(p); }

TEST_F(Surfaces, EveryFormatHasDwordAlignedRows) {
  struct Case {
    ULONG format;
    LONG cx;
    LONG stride;
  };
  const Case cases[] = {
      {BMF_1BPP, 1, 4},  {BMF_1BPP, 32, 4},  {BMF_1BPP, 33, 8},  {BMF_4BPP, 8, 4},   {BMF_4BPP, 9, 8},
      {BMF_8BPP, 5, 8},  {BMF_16BPP, 2, 4},  {BMF_16BPP, 3, 8},  {BMF_24BPP, 4, 12}, {BMF_24BPP, 5, 16},
      {BMF_32BPP, 3, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " width " << c.cx);
    HBITMAP hbm = EngCreateBitmap(SIZEL{c.cx, 3}, 0, c.format, 0, nullptr);
    ASSERT_NE(hbm, nullptr);
    SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(hbm));
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->hsurf, reinterpret_cast<HSURF>(hbm));
    EXPECT_EQ(so->sizlBitmap.cx, c.cx);
    EXPECT_EQ(so->sizlBitmap.cy, 3);
    EXPECT_EQ(so->iBitmapFormat, c.format);
    EXPECT_EQ(so->iType, STYPE_BITMAP);
    EXPECT_EQ(so->cjBits, static_cast<ULONG>(3 * c.stride));
    // Bottom-up unless asked otherwise: the top scan line is the last one in memory.
    EXPECT_EQ(so->lDelta, -c.stride);
    EXPECT_EQ(Bytes(so->pvScan0), Bytes(so->pvBits) + 2 * c.stride);
    EXPECT_EQ(so->fjBitmap & BMF_TOPDOWN, 0);
    const std::vector<BYTE> zeros(so->cjBits, 0);
    EXPECT_EQ(std::memcmp(so->pvBits, zeros.data(), zeros.size()), 0);
    EngUnlockSurface(so);
    EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(hbm)));
  }
}

// A page's bitmap takes another allocation than small ones: zeroed unless BMF_NOZEROINIT, every byte usable.
TEST_F(Surfaces, PageSizedBitmapsHoldAllTheirBytes) {
  for (FLONG flags : {FLONG{0}, FLONG{BMF_NOZEROINIT}}) {
    HBITMAP hbm = EngCreateBitmap(SIZEL{2550, 3300}, 0, BMF_24BPP, BMF_TOPDOWN | flags, nullptr);
    ASSERT_NE(hbm, nullptr);
    SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(hbm));
    ASSERT_NE(so, nullptr);
    ASSERT_EQ(so->cjBits, 7652u * 3300);
    if (!flags) {
      const std::vector<BYTE> zeros(so->cjBits, 0);
      EXPECT_EQ(std::memcmp(so->pvBits, zeros.data(), zeros.size()), 0);
    }
    std::memset(so->pvBits, 0xA5, so->cjBits);
    EXPECT_EQ(Bytes(so->pvBits)[so->cjBits - 1], 0xA5);
    EngUnlockSurface(so);
    EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(hbm)));
  }
}

TEST_F(Surfaces, TopDownByFlagOrNegativeHeight) {
  for (auto [cy, fl] : {std::pair<LONG, FLONG>{4, BMF_TOPDOWN}, {-4, 0}}) {
    HBITMAP hbm = EngCreateBitmap(SIZEL{10, cy}, 0, BMF_24BPP, fl, nullptr);
    ASSERT_NE(hbm, nullptr);
    SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(hbm));
    EXPECT_EQ(so->sizlBitmap.cy, 4);
    EXPECT_EQ(so->lDelta, 32);
    EXPECT_EQ(so->pvScan0, so->pvBits);
    EXPECT_EQ(so->cjBits, 128u);
    EXPECT_EQ(so->fjBitmap & BMF_TOPDOWN, BMF_TOPDOWN);
    EngUnlockSurface(so);
    EngDeleteSurface(reinterpret_cast<HSURF>(hbm));
  }
}

TEST_F(Surfaces, CallerWidthAndCallerBits) {
  std::vector<BYTE> bits(40 * 2, 0xAB);
  HBITMAP hbm = EngCreateBitmap(SIZEL{10, 2}, 40, BMF_24BPP, BMF_TOPDOWN, bits.data());
  ASSERT_NE(hbm, nullptr);
  SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(hbm));
  EXPECT_EQ(so->pvBits, bits.data());
  EXPECT_EQ(so->lDelta, 40);
  EXPECT_EQ(so->cjBits, 80u);
  EXPECT_EQ(Bytes(so->pvBits)[0], 0xAB) << "caller bits are not cleared";
  EngUnlockSurface(so);
  EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(hbm)));
  EXPECT_EQ(bits[79], 0xAB) << "the caller's memory stays the caller's";
}

TEST_F(Surfaces, BadRequestsFail) {
  struct Case {
    SIZEL size;
    LONG width;
    ULONG format;
  };
  const Case cases[] = {
      {{10, 10}, 0, 0},          {{10, 10}, 0, BMF_8RLE},  {{10, 10}, 0, BMF_JPEG}, {{10, 10}, 0, BMF_PNG},
      {{10, 10}, 0, 11},         {{0, 10}, 0, BMF_24BPP},  {{-3, 10}, 0, BMF_24BPP}, {{10, 0}, 0, BMF_24BPP},
      {{10, 10}, 28, BMF_24BPP},  // below one row (30 bytes)
      {{10, 10}, 34, BMF_24BPP},  // rows must stay DWORD aligned
      {{10, 10}, -32, BMF_24BPP},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(EngCreateBitmap(c.size, c.width, c.format, 0, nullptr), nullptr)
        << c.size.cx << "x" << c.size.cy << " width " << c.width << " format " << c.format;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{0, 10}, BMF_24BPP), nullptr);
  EXPECT_EQ(EngCreateDeviceSurface(nullptr, SIZEL{10, 10}, BMF_PNG), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Surfaces, TheMachineLimitRefusesLargeBitmaps) {
  EXPECT_EQ(kq::EngineBitmapLimit(*machine), kq::kDefaultEngineBitmapLimit);
  // An A4 page at 300 dpi fits the default limit.
  HBITMAP page = EngCreateBitmap(SIZEL{2480, 3508}, (3 * 2480 + 3) & ~3, BMF_24BPP, BMF_TOPDOWN, nullptr);
  ASSERT_NE(page, nullptr);
  EngDeleteSurface(reinterpret_cast<HSURF>(page));

  kq::SetEngineBitmapLimit(*machine, 1200);  // 10 rows of 120 bytes
  HBITMAP fits = EngCreateBitmap(SIZEL{40, 10}, 0, BMF_24BPP, 0, nullptr);
  EXPECT_NE(fits, nullptr);
  SetLastError(0);
  EXPECT_EQ(EngCreateBitmap(SIZEL{40, 11}, 0, BMF_24BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  // Device surfaces hold no bits and know no limit.
  HSURF device = EngCreateDeviceSurface(nullptr, SIZEL{40000, 40000}, BMF_24BPP);
  EXPECT_NE(device, nullptr);

  // Sizes whose byte count overflows 32 bits are refused, not wrapped.
  kq::SetEngineBitmapLimit(*machine, ~0ull);
  SetLastError(0);
  EXPECT_EQ(EngCreateBitmap(SIZEL{0x7FFFFFFF, 0x7FFFFFFF}, 0, BMF_32BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(EngCreateBitmap(SIZEL{70000, 70000}, 0, BMF_8BPP, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

  // The limit belongs to the machine.
  kq::TemporaryMachine other;
  EXPECT_EQ(kq::EngineBitmapLimit(*other), kq::kDefaultEngineBitmapLimit);
  EngDeleteSurface(reinterpret_cast<HSURF>(fits));
  EngDeleteSurface(device);
}

TEST_F(Surfaces, DeletingALockedSurfaceKeepsItsObjectUntilTheLastUnlock) {
  HBITMAP hbm = EngCreateBitmap(SIZEL{8, 8}, 0, BMF_32BPP, 0, nullptr);
  const HSURF hsurf = reinterpret_cast<HSURF>(hbm);
  SURFOBJ* first = EngLockSurface(hsurf);
  SURFOBJ* second = EngLockSurface(hsurf);
  ASSERT_EQ(first, second);
  EXPECT_EQ(kq::QuerySurface(hsurf)->locks, 2u);
  EXPECT_TRUE(EngDeleteSurface(hsurf));
  // The handle is gone at once...
  SetLastError(0);
  EXPECT_EQ(EngLockSurface(hsurf), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(kq::QuerySurface(hsurf).has_value());
  EXPECT_FALSE(EngDeleteSurface(hsurf));
  // ...while the locked object and its bits stay usable (the sanitizer watches this).
  std::memset(first->pvBits, 0xFF, first->cjBits);
  EngUnlockSurface(first);
  EXPECT_EQ(first->sizlBitmap.cx, 8);
  EngUnlockSurface(second);
  EngUnlockSurface(nullptr);
}

TEST_F(Surfaces, AssociationRecordsDeviceAndHooks) {
  HDEV hdev = kq::CreateEngineDevice();
  auto* pdev = reinterpret_cast<DHPDEV>(0x1234);
  const auto dhsurf = reinterpret_cast<DHSURF>(0x77);
  HSURF hsurf = EngCreateDeviceSurface(dhsurf, SIZEL{2480, 3507}, BMF_24BPP);
  ASSERT_NE(hsurf, nullptr);
  EXPECT_EQ(kq::QuerySurface(hsurf)->type, STYPE_DEVICE);
  EXPECT_EQ(kq::QuerySurface(hsurf)->hdev, nullptr);

  SetLastError(0);
  EXPECT_FALSE(EngAssociateSurface(hsurf, reinterpret_cast<HDEV>(0x999), 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(EngAssociateSurface(reinterpret_cast<HSURF>(0x999), hdev, 0));

  const FLONG hooks = HOOK_BITBLT | HOOK_TEXTOUT | HOOK_GRADIENTFILL;
  ASSERT_TRUE(EngAssociateSurface(hsurf, hdev, hooks));
  EXPECT_EQ(kq::QuerySurface(hsurf)->hooks, hooks);
  EXPECT_EQ(kq::QuerySurface(hsurf)->hdev, hdev);

  SURFOBJ* so = EngLockSurface(hsurf);
  EXPECT_EQ(so->dhsurf, dhsurf);
  EXPECT_EQ(so->hdev, hdev);
  EXPECT_EQ(so->dhpdev, nullptr) << "the driver's device is not known yet";
  EXPECT_EQ(so->pvBits, nullptr);
  EXPECT_EQ(so->cjBits, 0u);
  EXPECT_EQ(so->sizlBitmap.cx, 2480);
  EXPECT_EQ(so->iBitmapFormat, BMF_24BPP);
  EngUnlockSurface(so);

  ASSERT_TRUE(kq::SetEngineDevicePdev(hdev, pdev));
  so = EngLockSurface(hsurf);
  EXPECT_EQ(so->dhpdev, pdev);
  EngUnlockSurface(so);

  EXPECT_TRUE(kq::DeleteEngineDevice(hdev));
  EXPECT_FALSE(kq::DeleteEngineDevice(hdev));
  EXPECT_FALSE(kq::SetEngineDevicePdev(hdev, pdev));
  EXPECT_TRUE(EngDeleteSurface(hsurf));
}

TEST_F(Surfaces, HandlesBelongToTheirMachine) {
  HBITMAP hbm = EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, 0, nullptr);
  {
    kq::TemporaryMachine other;
    kq::MachineScope otherScope(other.Get());
    EXPECT_EQ(EngLockSurface(reinterpret_cast<HSURF>(hbm)), nullptr);
    EXPECT_FALSE(EngDeleteSurface(reinterpret_cast<HSURF>(hbm)));
  }
  EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(hbm)));
}

TEST_F(Surfaces, ThePageBitmapIsPixmansB8G8R8) {
  // Top-down, as the driver makes its page, and bottom-up through a negative stride.
  for (FLONG fl : {BMF_TOPDOWN, FLONG{0}}) {
    HBITMAP hbm = EngCreateBitmap(SIZEL{5, 3}, 0, BMF_24BPP, fl, nullptr);
    SURFOBJ* so = EngLockSurface(reinterpret_cast<HSURF>(hbm));
    pixman_image_t* image = pixman_image_create_bits(PIXMAN_b8g8r8, 5, 3, static_cast<uint32_t*>(so->pvScan0),
                                                     so->lDelta);
    ASSERT_NE(image, nullptr);
    const pixman_color_t red{0xFFFF, 0, 0, 0xFFFF};
    const pixman_color_t blue{0, 0, 0xFFFF, 0xFFFF};
    const pixman_rectangle16_t top{0, 0, 5, 1};
    const pixman_rectangle16_t lastPixel{4, 2, 1, 1};
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, image, &red, 1, &top);
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, image, &blue, 1, &lastPixel);
    pixman_image_unref(image);
    const BYTE* topRow = Bytes(so->pvScan0);
    EXPECT_EQ(topRow[0], 0xFF);  // red, green, blue in memory order
    EXPECT_EQ(topRow[1], 0x00);
    EXPECT_EQ(topRow[2], 0x00);
    EXPECT_EQ(topRow[14], 0x00);
    const BYTE* bottomRow = topRow + 2 * so->lDelta;
    EXPECT_EQ(bottomRow[12], 0x00);
    EXPECT_EQ(bottomRow[14], 0xFF);
    EngUnlockSurface(so);
    EngDeleteSurface(reinterpret_cast<HSURF>(hbm));
  }
}

}  // namespace
