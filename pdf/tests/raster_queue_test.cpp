#include <algorithm>

#include "image_fixture.h"

inline bool operator==(const RECTL& a, const RECTL& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

namespace {

std::vector<RECTL> RectsOf(const RectList& list) { return list.Rects(); }

TEST(RectListTest, GrowsBy256AndKeepsItsRectangles) {
  RectList list;
  EXPECT_EQ(list.Capacity(), 256u);
  for (LONG i = 0; i < 257; ++i) list.Add(RECTL{i, 0, i + 1, 1});
  EXPECT_EQ(list.Capacity(), 512u);
  ASSERT_EQ(list.Count(), 257u);
  for (LONG i = 0; i < 257; ++i) ASSERT_TRUE(list[i] == (RECTL{i, 0, i + 1, 1}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.Capacity(), 512u);
}

TEST(RectListTest, CoalescingMergesIntoBandsOnlyWhenThatAddsNoRectangles) {
  struct Case {
    const char* name;
    std::vector<RECTL> in;
    std::vector<RECTL> out;
  } cases[] = {
      {"one rectangle", {{3, 4, 5, 6}}, {{3, 4, 5, 6}}},
      {"side by side", {{0, 0, 10, 10}, {10, 0, 20, 10}}, {{0, 0, 20, 10}}},
      {"one above the other", {{0, 0, 10, 5}, {0, 5, 10, 10}}, {{0, 0, 10, 10}}},
      // Three bands would be more than the two given: unchanged, the overlap written twice.
      {"overlapping", {{0, 0, 10, 10}, {5, 5, 15, 15}}, {{0, 0, 10, 10}, {5, 5, 15, 15}}},
      {"apart in one band", {{0, 0, 3, 2}, {20, 0, 23, 2}, {10, 0, 13, 2}}, {{0, 0, 3, 2}, {10, 0, 13, 2}, {20, 0, 23, 2}}},
      {"within each other", {{0, 0, 20, 20}, {5, 5, 6, 6}, {1, 1, 19, 19}}, {{0, 0, 20, 20}}},
      // Spans that start and end inside one byte, across bytes, and at byte edges.
      {"byte edges", {{1, 0, 7, 1}, {7, 0, 17, 1}, {17, 0, 33, 1}}, {{1, 0, 33, 1}}},
  };
  for (const Case& c : cases) {
    RectList list;
    for (const RECTL& r : c.in) list.Add(r);
    list.Coalesce();
    EXPECT_EQ(RectsOf(list), c.out) << c.name;
  }
}

TEST(RectListTest, FiveHundredRectanglesGoThroughTheMaskAndMoreBecomeTheirBox) {
  for (LONG n : {500, 501}) {
    RectList list;
    // Pairs apart in their rows: the mask keeps them apart; the box does not.
    for (LONG i = 0; i < n; ++i) list.Add(RECTL{(i % 2) * 10, i, (i % 2) * 10 + 5, i + 1});
    list.Coalesce();
    if (n == 500) {
      EXPECT_EQ(list.Count(), 500u);
      EXPECT_TRUE(list[1] == (RECTL{10, 1, 15, 2}));
    } else {
      ASSERT_EQ(list.Count(), 1u);
      EXPECT_TRUE(list[0] == (RECTL{0, 0, 15, 501}));
    }
  }
}

using RasterFallback = ImagePageTest;

TEST_F(RasterFallback, DirtyRectanglesAreClippedToThePageAndKeptOnlyInTransparentMode) {
  writer_.pageWidthPx = 100;
  writer_.pageHeightPx = 100;
  writer_.AddDirtyRect(RECTL{0, 0, 10, 10});
  EXPECT_EQ(writer_.dirtyRects.Count(), 0u) << "vector mode records nothing";
  writer_.gdiPunt = 1;
  writer_.AddDirtyRect(RECTL{-10, -10, 50, 50});
  writer_.AddDirtyRect(RECTL{120, 0, 150, 10});
  writer_.AddDirtyRect(RECTL{60, 30, 40, 20});  // mirrored
  writer_.AddDirtyLine(5, 90, 5, 95);           // vertical: both end pixels
  writer_.AddDirtyLine(99, 99, 120, 120);
  EXPECT_EQ(RectsOf(writer_.dirtyRects),
            (std::vector<RECTL>{{0, 0, 50, 50}, {40, 20, 60, 30}, {5, 90, 6, 96}, {99, 99, 100, 100}}));
  writer_.cancelled = 1;
  writer_.AddDirtyRect(RECTL{0, 0, 10, 10});
  writer_.AddDirtyLine(0, 0, 10, 10);
  EXPECT_EQ(writer_.dirtyRects.Count(), 4u);
}

TEST_F(RasterFallback, AFlushCutsTheRegionsOutOfThePageBitmapAsImages) {
  writer_.gdiPunt = 1;
  TestBitmap page(BMF_24BPP, 2550, 3300, true);
  // Red, green, blue bytes as the page holds them.
  page.Fill(24, [](LONG x, LONG y) { return static_cast<ULONG>((x & 0xFF) | (y & 0xFF) << 8 | 0x40 << 16); });
  writer_.AddDirtyRect(RECTL{0, 0, 10, 10});
  writer_.AddDirtyRect(RECTL{10, 0, 20, 10});
  writer_.AddDirtyRect(RECTL{100, 200, 400, 500});
  PendText();
  writer_.FlushPendingRaster(page.so());
  EXPECT_EQ(Take(), "BT (pending) ET\nq 4.8 0 0 2.4 0 789.6 cm /Im4 Do Q\nq 72 0 0 72 24 672 cm /Im5 Do Q\n");
  EXPECT_EQ(writer_.dirtyRects.Count(), 0u);
  EXPECT_EQ(writer_.pageImages, (std::vector<std::uint32_t>{4, 5}));
  const std::string pixels = Data(4);
  ASSERT_EQ(pixels.size(), 3u * 20 * 10);
  EXPECT_EQ(pixels.substr(3 * (20 * 3 + 17), 3), std::string("\x11\x03\x40", 3));
  EXPECT_EQ(doctest::Value(Dictionary(5), "/Width"), "300");

  // Without a surface the regions are dropped.
  writer_.AddDirtyRect(RECTL{0, 0, 10, 10});
  writer_.FlushPendingRaster(nullptr);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.dirtyRects.Count(), 0u);
}

using ImageQueue = ImagePageTest;

// Queues `count` 24-bit images of 4 x 4 pixels, each as a tile of a row of tiles.
void QueueTiles(CPDF_DocWriter& writer, SURFOBJ* source, XLATEOBJ* xlate, LONG count, LONG first = 0) {
  for (LONG i = first; i < first + count; ++i)
    writer.DrawBitmap(source, xlate, RECTL{(i % 50) * 4, (i / 50) * 4, (i % 50) * 4 + 4, (i / 50) * 4 + 4},
                      RECTL{0, 0, 4, 4});
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(ImageQueue, BatchesAreMergedAtFiveHundredWhenMergingIsOn) {
  TestBitmap source(BMF_24BPP, 4, 4, true);
  auto identity = kq::XlateObject::Identity();
  struct Case {
    const char* name;
    BYTE merge;
    LONG count;
    std::size_t imagesAfter;   // image placements in the content once the queue is flushed
    std::size_t queuedBefore;  // images still queued before that flush
  } cases[] = {
      {"499, merging on", 1, 499, 499, 499},  {"500, merging on", 1, 500, 1, 0},
      {"501, merging on", 1, 501, 2, 1},      {"1000, merging on", 1, 1000, 2, 0},
      {"500, merging off", 0, 500, 500, 0},   {"501, merging off", 0, 501, 501, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writer_.mergeImages = c.merge;
    writer_.pageImages.clear();
    QueueTiles(writer_, source.so(), identity->Object(), c.count);
    EXPECT_EQ(writer_.queuedImages.size(), c.queuedBefore);
    writer_.FlushPendingRaster(nullptr);
    EXPECT_TRUE(writer_.queuedImages.empty());
    const std::string content = Take();
    EXPECT_EQ(Count(content, " Do Q\n"), c.imagesAfter);
    EXPECT_EQ(writer_.pageImages.size(), c.imagesAfter);
  }
}

TEST_F(ImageQueue, AMergedBatchIsClippedToItsTilesAndKeepsTheirPixels) {
  writer_.mergeImages = 1;
  // Ten rows of fifty tiles of 4 x 4 pixels: a 200 x 40 rectangle exactly, so the clip is one rectangle.
  TestBitmap source(BMF_24BPP, 64, 64, false);
  source.Fill(24, [](LONG x, LONG y) { return static_cast<ULONG>(x << 16 | y << 8 | 0x33); });
  kq::PaletteInfo bgr = Mode(PAL_BGR);
  auto xlate = kq::XlateObject::Between(bgr, Mode(PAL_RGB));
  // Each tile comes from (40, 30) of the source; the last one, mirrored, from (0, 0).
  for (LONG i = 0; i < 499; ++i)
    writer_.DrawBitmap(source.so(), xlate->Object(), RECTL{(i % 50) * 4, (i / 50) * 4, (i % 50) * 4 + 4, (i / 50) * 4 + 4},
                       RECTL{40, 30, 44, 34});
  writer_.DrawBitmap(source.so(), xlate->Object(), RECTL{200, 36, 196, 40}, RECTL{0, 0, 4, 4});
  EXPECT_EQ(Take(), "q\n0 782.4 48 9.6 re\nW n\n48 0 0 9.6 0 782.4 cm\n/Im4 Do Q\n");
  EXPECT_EQ(doctest::Value(Dictionary(4), "/Width"), "200");
  EXPECT_EQ(doctest::Value(Dictionary(4), "/Height"), "40");
  const std::string pixels = Data(4);
  ASSERT_EQ(pixels.size(), 3u * 200 * 40);
  const auto at = [&](LONG x, LONG y) { return pixels.substr(3 * (200 * y + x), 3); };
  // Tile 1 (x 4..7) shows source pixels 40..43 of rows 30..33: red x, green y, blue 0x33.
  EXPECT_EQ(at(5, 2), std::string("\x29\x20\x33", 3));
  // The mirrored tile's first column is the source's x 3.
  EXPECT_EQ(at(196, 36), std::string("\x03\x00\x33", 3));
  EXPECT_EQ(at(199, 39), std::string("\x00\x03\x33", 3));
}

TEST_F(ImageQueue, ALaterOverlappingImageIsOnTopAndTheClipFollowsTheTiles) {
  writer_.mergeImages = 1;
  TestBitmap red(BMF_24BPP, 2, 2, true), blue(BMF_24BPP, 2, 2, true);
  red.Fill(24, [](LONG, LONG) { return 0x0000FFu; });   // red first in the page's byte order
  blue.Fill(24, [](LONG, LONG) { return 0xFF0000u; });
  auto identity = kq::XlateObject::Identity();
  for (LONG i = 0; i < 498; ++i) writer_.DrawBitmap(red.so(), identity->Object(), RECTL{i * 2, 100, i * 2 + 2, 102}, RECTL{0, 0, 2, 2});
  writer_.DrawBitmap(red.so(), identity->Object(), RECTL{0, 0, 10, 10}, RECTL{0, 0, 2, 2});
  writer_.DrawBitmap(blue.so(), identity->Object(), RECTL{5, 5, 15, 15}, RECTL{0, 0, 2, 2});
  const std::string content = Take();
  EXPECT_EQ(Count(content, " re\n"), 4u) << content;  // the two squares as three bands, and the row of tiles
  const std::string pixels = Data(4);
  const auto at = [&](LONG x, LONG y) { return pixels.substr(3 * (996 * y + x), 3); };
  EXPECT_EQ(at(2, 2), std::string("\xFF\x00\x00", 3));
  EXPECT_EQ(at(7, 7), std::string("\x00\x00\xFF", 3));
  EXPECT_EQ(at(12, 2), std::string("\xFF\xFF\xFF", 3)) << "outside every image the bitmap is white";
}

TEST_F(ImageQueue, ABatchTooLargeToMergeIsPlacedImageByImage) {
  writer_.mergeImages = 1;
  TestBitmap source(BMF_24BPP, 1, 1, true);
  auto identity = kq::XlateObject::Identity();
  // Opposite corners of a page too large to merge into one bitmap.
  writer_.pageWidthPx = writer_.pageHeightPx = 20000;
  for (LONG i = 0; i < 500; ++i) {
    const LONG at = i % 2 ? 19990 : 0;
    writer_.DrawBitmap(source.so(), identity->Object(), RECTL{at, at, at + 1, at + 1}, RECTL{0, 0, 1, 1});
  }
  EXPECT_EQ(Count(Take(), " Do Q\n"), 500u);
  EXPECT_TRUE(writer_.queuedImages.empty());
}

}  // namespace
