#include <gtest/gtest.h>

#include "win/engine.h"
#include "win/winddi.h"

namespace {

class Palettes : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(Palettes, KindsKeepWhatDefinesThem) {
  HPALETTE rgb = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(kq::QueryPalette(rgb)->mode, PAL_RGB);

  ULONG colors[] = {0x000000, 0xFFFFFF, 0x0000FF};
  HPALETTE indexed = EngCreatePalette(PAL_INDEXED, 3, colors, 0, 0, 0);
  ASSERT_NE(indexed, nullptr);
  colors[0] = 0x123456;  // the palette holds its own copy
  EXPECT_EQ(kq::QueryPalette(indexed)->colors, (std::vector<ULONG>{0x000000, 0xFFFFFF, 0x0000FF}));

  HPALETTE unset = EngCreatePalette(PAL_INDEXED, 2, nullptr, 0, 0, 0);
  EXPECT_EQ(kq::QueryPalette(unset)->colors, (std::vector<ULONG>{0, 0}));

  HPALETTE fields = EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0xF800, 0x07E0, 0x001F);
  const auto info = kq::QueryPalette(fields);
  EXPECT_EQ(info->red, 0xF800u);
  EXPECT_EQ(info->green, 0x07E0u);
  EXPECT_EQ(info->blue, 0x001Fu);

  EXPECT_NE(rgb, indexed);
  for (HPALETTE h : {rgb, indexed, unset, fields}) EXPECT_TRUE(EngDeletePalette(h));
  SetLastError(0);
  EXPECT_FALSE(EngDeletePalette(rgb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(kq::QueryPalette(rgb).has_value());
}

TEST_F(Palettes, BadRequestsFail) {
  struct Case {
    ULONG mode;
    ULONG count;
    FLONG red;
  };
  for (const Case& c : {Case{0, 0, 0}, Case{0x10, 0, 0}, Case{PAL_INDEXED | PAL_RGB, 2, 0}, Case{PAL_INDEXED, 0, 0},
                        Case{PAL_INDEXED, 0x10001, 0}, Case{PAL_BITFIELDS, 0, 0}}) {
    SetLastError(0);
    EXPECT_EQ(EngCreatePalette(c.mode, c.count, nullptr, c.red, 0x00FF00, 0xFF), nullptr) << c.mode;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}

}  // namespace
