// The page bitmap's ink: what a page added becomes stale at the next page, and is whitened (whole, in either corner
// order and cut to the bitmap) when a drawing or a read meets it, when that page ends, or at once in a crowded band;
// past the most rectangles kept, the box holding them all.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "telodrv/page_ink.h"

namespace {

// A black 24-bit bitmap with a stride wider than its rows.
struct Page {
  explicit Page(LONG w = 40, LONG h = 10) : width(w), height(h), stride(3 * w + 4) {
    bytes.assign(static_cast<std::size_t>(stride * height), 0);
    so.iBitmapFormat = BMF_24BPP;
    so.sizlBitmap = SIZEL{width, height};
    so.pvBits = so.pvScan0 = bytes.data();
    so.cjBits = static_cast<ULONG>(bytes.size());
    so.lDelta = stride;
  }
  bool White(LONG x, LONG y) const {
    const BYTE* p = bytes.data() + y * stride + 3 * x;
    return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF;
  }
  // The white pixels, row by row as strings of '#' (white) and '.'.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (LONG y = 0; y < height; ++y) {
      std::string row;
      for (LONG x = 0; x < width; ++x) row += White(x, y) ? '#' : '.';
      rows.push_back(row);
    }
    return rows;
  }
  bool AllBlack() const { return std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return b == 0; }); }
  LONG width, height, stride;
  std::vector<BYTE> bytes;
  SURFOBJ so{};
};

TEST(PageInk, TheLastPagesInkIsWhitenedWhenItEndsCutToTheBitmap) {
  Page page;
  telodrv::PageInk ink;
  ink.Add(RECTL{2, 1, 5, 3});
  ink.Add(RECTL{12, 4, 10, 2});     // corners the other way round
  ink.Add(RECTL{38, 8, 45, 20});    // beyond the right and bottom
  ink.Add(RECTL{-5, -5, 1, 1});     // beyond the left and top
  ink.Add(RECTL{20, 5, 20, 9});     // empty
  EXPECT_FALSE(ink.Empty());
  ink.NewPage(page.so);
  EXPECT_TRUE(page.AllBlack()) << "nothing is whitened before it is met";
  ink.WhitenStale();
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
  ink.NewPage(page.so);
  ink.WhitenStale();
  EXPECT_TRUE(page.AllBlack());
}

TEST(PageInk, StaleInkIsWhitenedWholeWhereADrawingOrAReadMeetsIt) {
  Page page;
  telodrv::PageInk ink;
  ink.Add(RECTL{2, 1, 6, 3});
  ink.Add(RECTL{20, 1, 25, 3});
  ink.Add(RECTL{30, 6, 35, 9});
  ink.NewPage(page.so);
  ink.Reading(RECTL{5, 2, 8, 4});   // meets the first in one pixel
  ink.Add(RECTL{24, 0, 27, 1});     // touches the second's edge without meeting it
  std::vector<std::string> expected = {
      "........................................",
      "..####..................................",
      "..####..................................",
      "........................................",
      "........................................",
      "........................................",
      "........................................",
      "........................................",
      "........................................",
      "........................................",
  };
  EXPECT_EQ(page.Rows(), expected);
  ink.Add(RECTL{26, 3, 24, 2});     // meets the second; this page's own ink is never whitened on it
  expected[1] = expected[2] = "..####..............#####...............";
  EXPECT_EQ(page.Rows(), expected);
  ink.WhitenStale();  // the page ends: the third
  for (LONG y = 6; y < 9; ++y) expected[static_cast<std::size_t>(y)] = "..............................#####.....";
  EXPECT_EQ(page.Rows(), expected);
  // The next page: what this one drew is stale in turn.
  std::fill(page.bytes.begin(), page.bytes.end(), BYTE{0});
  ink.NewPage(page.so);
  EXPECT_TRUE(page.AllBlack());
  ink.Reading(RECTL{0, 0, 40, 10});
  EXPECT_TRUE(page.White(24, 0) && page.White(25, 2) && !page.White(27, 2) && !page.White(3, 1));
  EXPECT_TRUE(ink.Empty());
}

TEST(PageInk, PastTheMostRectanglesTheBoxHoldingThemIsStale) {
  Page page;
  telodrv::PageInk ink;
  for (std::size_t i = 0; i <= telodrv::PageInk::kMaxRects; ++i) ink.Add(RECTL{3, 2, 4, 3});
  ink.Add(RECTL{30, 6, 31, 7});
  ink.NewPage(page.so);
  EXPECT_TRUE(page.AllBlack());
  ink.Reading(RECTL{10, 4, 11, 5});  // inside the box, away from every rectangle
  for (LONG y = 0; y < page.height; ++y)
    for (LONG x = 0; x < page.width; ++x)
      EXPECT_EQ(page.White(x, y), x >= 3 && x < 31 && y >= 2 && y < 7) << x << "," << y;
  // Afterwards rectangles are kept again.
  std::fill(page.bytes.begin(), page.bytes.end(), BYTE{0});
  ink.Add(RECTL{0, 0, 1, 1});
  ink.Add(RECTL{39, 9, 40, 10});
  ink.NewPage(page.so);
  ink.WhitenStale();
  EXPECT_TRUE(page.White(0, 0) && page.White(39, 9));
  EXPECT_FALSE(page.White(20, 5));
}

TEST(PageInk, ACrowdedBandIsWhitenedWhenThePageStarts) {
  Page page(200, 2 * telodrv::PageInk::kBandRows);
  const LONG second = telodrv::PageInk::kBandRows;
  telodrv::PageInk ink;
  for (LONG i = 0; i <= static_cast<LONG>(telodrv::PageInk::kMaxBandRects); ++i) ink.Add(RECTL{i, 0, i + 1, 1});
  ink.Add(RECTL{0, second, 1, second + 1});
  ink.Add(RECTL{150, second - 1, 151, second + 1});  // in both bands
  ink.NewPage(page.so);
  EXPECT_TRUE(page.White(0, 0) && page.White(static_cast<LONG>(telodrv::PageInk::kMaxBandRects), 0));
  EXPECT_TRUE(page.White(150, second - 1) && page.White(150, second));
  EXPECT_FALSE(page.White(0, second)) << "the second band is not crowded";
  EXPECT_FALSE(ink.Empty());
  ink.Add(RECTL{0, second, 1, second + 1});
  EXPECT_TRUE(page.White(0, second));
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
  ink.NewPage(so);
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](BYTE b) { return b == 0xFF; }));
  EXPECT_TRUE(ink.Empty());
}

}  // namespace
