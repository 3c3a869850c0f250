// The page bitmap's ink: what is added is whitened, in either corner order and cut to the bitmap; past the most
// rectangles kept, the box holding them all.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "telodrv/page_ink.h"

namespace {

// A black 24-bit bitmap of 40 x 10 pixels with a stride wider than its rows.
struct Page {
  static constexpr LONG kWidth = 40, kHeight = 10, kStride = 124;
  Page() : bytes(kStride * kHeight, 0) {
    so.iBitmapFormat = BMF_24BPP;
    so.sizlBitmap = SIZEL{kWidth, kHeight};
    so.pvBits = so.pvScan0 = bytes.data();
    so.cjBits = static_cast<ULONG>(bytes.size());
    so.lDelta = kStride;
  }
  bool White(LONG x, LONG y) const {
    const BYTE* p = bytes.data() + y * kStride + 3 * x;
    return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF;
  }
  // The white pixels, row by row as strings of '#' (white) and '.'.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (LONG y = 0; y < kHeight; ++y) {
      std::string row;
      for (LONG x = 0; x < kWidth; ++x) row += White(x, y) ? '#' : '.';
      rows.push_back(row);
    }
    return rows;
  }
  std::vector<BYTE> bytes;
  SURFOBJ so{};
};

TEST(PageInk, WhitensWhatWasAddedCutToTheBitmap) {
  Page page;
  telodrv::PageInk ink;
  ink.Add(RECTL{2, 1, 5, 3});
  ink.Add(RECTL{12, 4, 10, 2});     // corners the other way round
  ink.Add(RECTL{38, 8, 45, 20});    // beyond the right and bottom
  ink.Add(RECTL{-5, -5, 1, 1});     // beyond the left and top
  ink.Add(RECTL{20, 5, 20, 9});     // empty
  EXPECT_FALSE(ink.Empty());
  ink.Whiten(page.so);
  EXPECT_TRUE(ink.Empty());
  const std::vector<std::string> expected = {
      "#.......................................",
      "..###...................................",
      "..###.....##............................",
      "..........##............................",
      "........................................",
      "........................................",
      "........................................",
      "........................................",
      "......................................##",
      "......................................##",
  };
  EXPECT_EQ(page.Rows(), expected);
  // Nothing added since: nothing more is whitened, and the padding past the rows is never touched.
  std::fill(page.bytes.begin(), page.bytes.end(), BYTE{0});
  ink.Whiten(page.so);
  EXPECT_TRUE(std::all_of(page.bytes.begin(), page.bytes.end(), [](BYTE b) { return b == 0; }));
}

TEST(PageInk, PastTheMostRectanglesTheBoxHoldingThemIsWhitened) {
  Page page;
  telodrv::PageInk ink;
  for (std::size_t i = 0; i <= telodrv::PageInk::kMaxRects; ++i) ink.Add(RECTL{3, 2, 4, 3});
  ink.Add(RECTL{30, 6, 31, 7});
  ink.Whiten(page.so);
  for (LONG y = 0; y < Page::kHeight; ++y)
    for (LONG x = 0; x < Page::kWidth; ++x)
      EXPECT_EQ(page.White(x, y), x >= 3 && x < 31 && y >= 2 && y < 7) << x << "," << y;
  // Afterwards rectangles are kept again.
  std::fill(page.bytes.begin(), page.bytes.end(), BYTE{0});
  ink.Add(RECTL{0, 0, 1, 1});
  ink.Add(RECTL{39, 9, 40, 10});
  ink.Whiten(page.so);
  EXPECT_TRUE(page.White(0, 0) && page.White(39, 9));
  EXPECT_FALSE(page.White(20, 5));
}

TEST(PageInk, ABitmapOfAnotherFormatIsWhitenedWhole) {
  std::vector<BYTE> bytes(64, 0);
  SURFOBJ so{};
  so.iBitmapFormat = BMF_32BPP;
  so.sizlBitmap = SIZEL{4, 4};
  so.pvBits = so.pvScan0 = bytes.data();
  so.cjBits = static_cast<ULONG>(bytes.size());
  so.lDelta = 16;
  telodrv::PageInk ink;
  ink.Add(RECTL{0, 0, 1, 1});
  ink.Whiten(so);
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return b == 0xFF; }));
}

}  // namespace
