#include <gtest/gtest.h>

#include "draw_fixture.h"

namespace {

using drawtest::Bitmap;
using drawtest::kBlue;
using drawtest::kRed;
using drawtest::kWhite;

constexpr ROP4 Rop4(DWORD rop3) { return ((rop3 >> 16) & 0xFF) * 0x101; }

class Blits : public ::testing::Test {
 protected:
  static kq::PaletteInfo Palette(ULONG mode, std::vector<ULONG> colors = {}) {
    kq::PaletteInfo p;
    p.mode = mode;
    p.colors = std::move(colors);
    return p;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

// Pattern 0xF0, source 0xCC and destination 0xAA give, bit by bit, every combination: the result is the
// operation's own code.
TEST_F(Blits, EveryTernaryOperation) {
  Bitmap source(1, 1, BMF_8BPP);
  source.Set(0, 0, 0xCC);
  auto pattern = kq::BrushObject::Solid(0xF0);
  for (ULONG rop = 0; rop < 256; ++rop) {
    Bitmap target(2, 1, BMF_8BPP);
    target.FillAll(0xAA);
    RECTL trg{0, 0, 1, 1};
    POINTL at{0, 0};
    ASSERT_TRUE(EngBitBlt(target.so(), source.so(), nullptr, nullptr, nullptr, &trg, &at, nullptr,
                          pattern->Object(), nullptr, rop * 0x101))
        << rop;
    EXPECT_EQ(target.Get(0, 0), rop) << "rop " << std::hex << rop;
    EXPECT_EQ(target.Get(1, 0), 0xAAu);
  }
}

TEST_F(Blits, NamedOperationsOnThePage) {
  struct Case {
    DWORD rop;
    ULONG want;  // source 0x00FF33 over 0x0F0F0F, pattern 0x123456
  };
  const Case cases[] = {{SRCCOPY, 0x00FF33},   {PATCOPY, 0x123456},   {BLACKNESS, 0x000000}, {WHITENESS, 0xFFFFFF},
                        {SRCAND, 0x000F03},    {SRCPAINT, 0x0FFF3F},  {SRCINVERT, 0x0FF03C}};
  for (const auto& c : cases) {
    Bitmap page(4, 4, BMF_24BPP);
    page.FillAll(0x0F0F0F);
    Bitmap source(4, 4, BMF_24BPP);
    source.FillAll(0x00FF33);
    auto brush = kq::BrushObject::Solid(0x123456);
    RECTL trg{1, 1, 3, 3};
    POINTL at{0, 0};
    ASSERT_TRUE(EngBitBlt(page.so(), source.so(), nullptr, nullptr, nullptr, &trg, &at, nullptr, brush->Object(),
                          nullptr, Rop4(c.rop)));
    EXPECT_EQ(page.Get(1, 1), c.want) << std::hex << c.rop;
    EXPECT_EQ(page.Get(2, 2), c.want);
    EXPECT_EQ(page.Get(0, 0), 0x0F0F0Fu);
    EXPECT_EQ(page.Get(3, 3), 0x0F0F0Fu);
  }
}

TEST_F(Blits, MaskChoosesForegroundOrBackgroundOperation) {
  Bitmap page(8, 2, BMF_24BPP);
  page.FillAll(kWhite);
  Bitmap source(8, 2, BMF_24BPP);
  source.FillAll(kRed);
  Bitmap mask(12, 2, BMF_1BPP);
  for (LONG x = 0; x < 12; x += 2) mask.Set(x, 1, 1);  // the mask is read from its point (2, 1)
  RECTL trg{0, 0, 8, 1};
  POINTL at{0, 0}, maskAt{2, 1};
  ASSERT_TRUE(EngBitBlt(page.so(), source.so(), mask.so(), nullptr, nullptr, &trg, &at, &maskAt, nullptr, nullptr,
                        0xAACC));
  EXPECT_EQ(page.Picture(kRed), "#.#.#.#.\n........\n");
  // A mask over a pattern: 0xAAF0 paints the brush where the mask is set.
  auto blue = kq::BrushObject::Solid(kBlue);
  RECTL row2{0, 1, 8, 2};
  POINTL maskAt2{3, 1};
  ASSERT_TRUE(EngBitBlt(page.so(), nullptr, mask.so(), nullptr, nullptr, &row2, nullptr, &maskAt2, blue->Object(),
                        nullptr, 0xAAF0));
  EXPECT_EQ(page.Picture(kBlue), "........\n.#.#.#.#\n");
}

TEST_F(Blits, OneBitSourceThroughATranslation) {
  Bitmap page(8, 1, BMF_24BPP);
  Bitmap glyph(8, 1, BMF_1BPP);
  glyph.Row(0)[0] = 0xB4;  // 1011 0100
  auto xlate = kq::XlateObject::Table({kWhite, kRed});
  RECTL trg{0, 0, 8, 1};
  POINTL at{0, 0};
  ASSERT_TRUE(EngCopyBits(page.so(), glyph.so(), nullptr, xlate->Object(), &trg, &at));
  EXPECT_EQ(page.Picture(kRed), "#.##.#..\n");
  EXPECT_EQ(page.Count(kWhite), 4);
  // A 4-bit source through its palette into the page's RGB.
  Bitmap four(3, 1, BMF_4BPP);
  four.Set(0, 0, 2);
  four.Set(1, 0, 9);
  four.Set(2, 0, 15);
  auto vga = kq::XlateObject::Between(
      Palette(PAL_INDEXED, {0, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0, 0x808080,
                            0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF}),
      Palette(PAL_RGB));
  RECTL three{0, 0, 3, 1};
  ASSERT_TRUE(EngCopyBits(page.so(), four.so(), nullptr, vga->Object(), &three, &at));
  EXPECT_EQ(page.Get(0, 0), 0x008000u);
  EXPECT_EQ(page.Get(1, 0), 0x0000FFu);
  EXPECT_EQ(page.Get(2, 0), 0xFFFFFFu);
}

TEST_F(Blits, CopiesIntoEveryFormat) {
  // Red, white and black through a translation from the page's RGB to each format's colours.
  Bitmap source(3, 1, BMF_24BPP);
  source.Set(0, 0, kRed);
  source.Set(1, 0, kWhite);
  source.Set(2, 0, 0);
  struct Case {
    ULONG format;
    kq::PaletteInfo palette;
    ULONG want[3];
  };
  kq::PaletteInfo bits;
  bits.mode = PAL_BITFIELDS;
  bits.red = 0x7C00;
  bits.green = 0x03E0;
  bits.blue = 0x001F;
  const Case cases[] = {
      {BMF_1BPP, Palette(PAL_INDEXED, {0, kWhite}), {0, 1, 0}},
      {BMF_4BPP, Palette(PAL_INDEXED, {0, kWhite, kRed}), {2, 1, 0}},
      {BMF_8BPP, Palette(PAL_INDEXED, {kWhite, 0, kRed}), {2, 0, 1}},
      {BMF_16BPP, bits, {0x7C00, 0x7FFF, 0}},
      {BMF_24BPP, Palette(PAL_BGR), {0xFF0000, 0xFFFFFF, 0}},
      {BMF_32BPP, Palette(PAL_RGB), {kRed, kWhite, 0}},
  };
  for (const auto& c : cases) {
    Bitmap target(5, 2, c.format);
    auto xlate = kq::XlateObject::Between(Palette(PAL_RGB), c.palette);
    RECTL trg{1, 1, 4, 2};
    POINTL at{0, 0};
    ASSERT_TRUE(EngBitBlt(target.so(), source.so(), nullptr, nullptr, xlate->Object(), &trg, &at, nullptr, nullptr,
                          nullptr, 0xCCCC));
    for (LONG x = 0; x < 3; ++x) EXPECT_EQ(target.Get(x + 1, 1), c.want[x]) << "format " << c.format << " x " << x;
    EXPECT_EQ(target.Get(0, 1), 0u);
    EXPECT_EQ(target.Get(4, 1), 0u);
  }
}

TEST_F(Blits, SourcesAreReadWhereTheyExistAndOverlapsAreSafe) {
  Bitmap page(6, 6, BMF_24BPP);
  page.FillAll(kWhite);
  Bitmap source(2, 2, BMF_24BPP);
  source.FillAll(kRed);
  RECTL trg{0, 0, 6, 6};
  POINTL at{-1, -1};  // one row and column before the source, and far past its end
  ASSERT_TRUE(EngCopyBits(page.so(), source.so(), nullptr, nullptr, &trg, &at));
  EXPECT_EQ(page.Picture(kRed), "......\n.##...\n.##...\n......\n......\n......\n");

  // Scrolling a bitmap onto itself reads the pixels as they were.
  Bitmap strip(6, 1, BMF_8BPP);
  for (LONG x = 0; x < 6; ++x) strip.Set(x, 0, static_cast<ULONG>(x));
  RECTL right{1, 0, 6, 1};
  POINTL from{0, 0};
  ASSERT_TRUE(EngCopyBits(strip.so(), strip.so(), nullptr, nullptr, &right, &from));
  for (LONG x = 1; x < 6; ++x) EXPECT_EQ(strip.Get(x, 0), static_cast<ULONG>(x - 1));
  Bitmap wide(6, 1, BMF_8BPP);  // and through the general path, with a brush in the operation
  for (LONG x = 0; x < 6; ++x) wide.Set(x, 0, static_cast<ULONG>(x));
  auto zero = kq::BrushObject::Solid(0);
  ASSERT_TRUE(EngBitBlt(wide.so(), wide.so(), nullptr, nullptr, nullptr, &right, &from, nullptr, zero->Object(),
                        nullptr, 0xFCFC));  // P | S
  for (LONG x = 1; x < 6; ++x) EXPECT_EQ(wide.Get(x, 0), static_cast<ULONG>(x - 1));

  SetLastError(0);
  EXPECT_FALSE(EngBitBlt(page.so(), nullptr, nullptr, nullptr, nullptr, &trg, &at, nullptr, nullptr, nullptr, 0xCCCC));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "a source operation needs a source";
  EXPECT_FALSE(EngBitBlt(page.so(), nullptr, nullptr, nullptr, nullptr, &trg, nullptr, nullptr, nullptr, nullptr, 0xF0F0));
}

TEST_F(Blits, StretchingMirroringAndAveraging) {
  Bitmap source(2, 2, BMF_24BPP);
  source.Set(0, 0, kRed);
  source.Set(1, 0, kBlue);
  source.Set(0, 1, kWhite);
  source.Set(1, 1, 0);
  Bitmap page(4, 4, BMF_24BPP);
  RECTL dst{0, 0, 4, 4}, src{0, 0, 2, 2};
  ASSERT_TRUE(EngStretchBlt(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &dst, &src, nullptr,
                            COLORONCOLOR));
  EXPECT_EQ(page.Picture(kRed), "##..\n##..\n....\n....\n");
  EXPECT_EQ(page.Picture(kWhite), "....\n....\n##..\n##..\n");
  RECTL mirrored{4, 0, 0, 4};
  ASSERT_TRUE(EngStretchBlt(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &mirrored, &src,
                            nullptr, COLORONCOLOR));
  EXPECT_EQ(page.Picture(kRed), "..##\n..##\n....\n....\n");

  // Halftoning a black and white checkerboard down to one pixel gives grey.
  Bitmap board(4, 4, BMF_24BPP);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 4; ++x) board.Set(x, y, (x + y) % 2 ? kWhite : 0);
  Bitmap small(2, 2, BMF_24BPP);
  RECTL all{0, 0, 2, 2}, from{0, 0, 4, 4};
  ASSERT_TRUE(EngStretchBlt(small.so(), board.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &all, &from, nullptr,
                            HALFTONE));
  for (LONG y = 0; y < 2; ++y)
    for (LONG x = 0; x < 2; ++x) {
      const ULONG v = small.Get(x, y);
      for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>((v >> shift) & 0xFF), 128, 2) << x << "," << y;
    }
  // Without halftoning the nearest pixel wins.
  ASSERT_TRUE(EngStretchBlt(small.so(), board.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &all, &from, nullptr,
                            COLORONCOLOR));
  EXPECT_TRUE(small.Get(0, 0) == 0 || small.Get(0, 0) == kWhite);

  // A stretch with a mask leaves the destination where the mask is clear.
  Bitmap mask(2, 2, BMF_1BPP);
  mask.Set(0, 0, 1);
  page.FillAll(0x777777);
  ASSERT_TRUE(EngStretchBlt(page.so(), source.so(), mask.so(), nullptr, nullptr, nullptr, nullptr, &dst, &src, nullptr,
                            COLORONCOLOR));
  EXPECT_EQ(page.Count(kRed), 4);
  EXPECT_EQ(page.Count(0x777777), 12);
  // With a brush and an operation.
  auto blue = kq::BrushObject::Solid(kBlue);
  ASSERT_TRUE(EngStretchBltROP(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &dst, &src, nullptr,
                               COLORONCOLOR, blue->Object(), 0xC0C0));  // P & S
  EXPECT_EQ(page.Get(3, 0), kBlue);
  EXPECT_EQ(page.Get(0, 0), 0u);
  EXPECT_FALSE(EngStretchBlt(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &dst, &src, nullptr, 9));
}

TEST_F(Blits, ParallelogramsMapTheSourceCorners) {
  Bitmap source(2, 2, BMF_24BPP);
  source.Set(0, 0, kRed);
  source.Set(1, 0, kBlue);
  source.Set(0, 1, kWhite);
  source.Set(1, 1, 0x00FF00);
  RECTL src{0, 0, 2, 2};
  // Upright and twice as large, then a quarter turn clockwise: the source's top row runs down the right edge.
  Bitmap page(8, 8, BMF_24BPP);
  page.FillAll(0x777777);
  POINTFIX upright[3] = {{2 * 16, 2 * 16}, {6 * 16, 2 * 16}, {2 * 16, 6 * 16}};
  ASSERT_TRUE(EngPlgBlt(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, upright, &src, nullptr,
                        COLORONCOLOR));
  EXPECT_EQ(page.Picture(kRed), "........\n........\n..##....\n..##....\n........\n........\n........\n........\n");
  EXPECT_EQ(page.Get(5, 5), 0x00FF00u);
  EXPECT_EQ(page.Count(0x777777), 48);

  page.FillAll(0x777777);
  POINTFIX turned[3] = {{6 * 16, 2 * 16}, {6 * 16, 6 * 16}, {2 * 16, 2 * 16}};  // A top right, B below, C left
  ASSERT_TRUE(EngPlgBlt(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, turned, &src, nullptr,
                        COLORONCOLOR));
  EXPECT_EQ(page.Get(5, 2), kRed);
  EXPECT_EQ(page.Get(5, 5), kBlue);
  EXPECT_EQ(page.Get(2, 2), kWhite);
  EXPECT_EQ(page.Get(2, 5), 0x00FF00u);

  POINTFIX flat[3] = {{0, 0}, {64, 0}, {128, 0}};
  EXPECT_TRUE(EngPlgBlt(page.so(), source.so(), nullptr, nullptr, nullptr, nullptr, nullptr, flat, &src, nullptr,
                        COLORONCOLOR));
}

TEST_F(Blits, TransparentBlitsSkipTheColourKey) {
  Bitmap source(4, 1, BMF_8BPP);
  for (LONG x = 0; x < 4; ++x) source.Set(x, 0, x % 2 ? 5 : 9);
  Bitmap page(4, 1, BMF_24BPP);
  page.FillAll(kWhite);
  auto xlate = kq::XlateObject::Table(std::vector<ULONG>(16, kRed));
  RECTL dst{0, 0, 4, 1}, src{0, 0, 4, 1};
  ASSERT_TRUE(EngTransparentBlt(page.so(), source.so(), nullptr, xlate->Object(), &dst, &src, 5, 0));
  EXPECT_EQ(page.Picture(kRed), "#.#.\n");
}

TEST_F(Blits, AlphaBlendingWithConstantAndPerPixelAlpha) {
  Bitmap page(2, 1, BMF_24BPP);
  page.FillAll(0);
  Bitmap white(2, 1, BMF_24BPP);
  white.FillAll(kWhite);
  RECTL dst{0, 0, 1, 1}, src{0, 0, 1, 1};
  BLENDOBJ half{{AC_SRC_OVER, 0, 128, 0}};
  ASSERT_TRUE(EngAlphaBlend(page.so(), white.so(), nullptr, nullptr, &dst, &src, &half));
  EXPECT_NEAR(static_cast<int>(page.Get(0, 0) & 0xFF), 128, 1);
  EXPECT_NEAR(static_cast<int>(page.Get(0, 0) >> 16), 128, 1);
  EXPECT_EQ(page.Get(1, 0), 0u);

  // Premultiplied 32-bit pixels: a half-covering red over white, and an opaque blue.
  Bitmap layer(2, 1, BMF_32BPP);
  layer.Set(0, 0, 0x80000080);  // alpha 0x80, red 0x80 premultiplied
  layer.Set(1, 0, 0xFFFF0000);
  page.FillAll(kWhite);
  RECTL two{0, 0, 2, 1};
  BLENDOBJ perPixel{{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}};
  ASSERT_TRUE(EngAlphaBlend(page.so(), layer.so(), nullptr, nullptr, &two, &two, &perPixel));
  const ULONG mixed = page.Get(0, 0);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 255, 1);
  EXPECT_NEAR(static_cast<int>((mixed >> 8) & 0xFF), 127, 1);
  EXPECT_NEAR(static_cast<int>(mixed >> 16), 127, 1);
  EXPECT_EQ(page.Get(1, 0), kBlue);

  // Stretching while blending, and a clip.
  Bitmap wide(4, 1, BMF_24BPP);
  RECTL four{0, 0, 4, 1};
  BLENDOBJ opaque{{AC_SRC_OVER, 0, 255, 0}};
  auto clip = kq::ClipObject::Rectangle({0, 0, 3, 1});
  ASSERT_TRUE(EngAlphaBlend(wide.so(), white.so(), clip->Object(), nullptr, &four, &src, &opaque));
  EXPECT_EQ(wide.Picture(kWhite), "###.\n");
  BLENDOBJ bad{{1, 0, 255, 0}};
  EXPECT_FALSE(EngAlphaBlend(wide.so(), white.so(), nullptr, nullptr, &four, &src, &bad));
}

TEST_F(Blits, GradientsReachTheirVertexColours) {
  Bitmap page(11, 5, BMF_24BPP);
  page.FillAll(0x777777);
  TRIVERTEX v[2] = {{0, 0, 0xFF00, 0, 0, 0}, {11, 5, 0, 0, 0xFF00, 0}};
  GRADIENT_RECT rect{0, 1};
  RECTL extents{0, 0, 11, 5};
  ASSERT_TRUE(EngGradientFill(page.so(), nullptr, nullptr, v, 2, &rect, 1, &extents, nullptr, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(page.Get(0, 0), kRed);
  EXPECT_EQ(page.Get(0, 4), kRed);
  EXPECT_EQ(page.Get(10, 0), kBlue);
  EXPECT_EQ(page.Get(10, 4), kBlue);
  EXPECT_EQ(page.Get(5, 2), 0x800080u);  // half way, rounded
  ASSERT_TRUE(EngGradientFill(page.so(), nullptr, nullptr, v, 2, &rect, 1, &extents, nullptr, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(page.Get(10, 0), kRed);
  EXPECT_EQ(page.Get(0, 4), kBlue);

  // A triangle: pixels near each vertex take its colour, pixels outside stay.
  Bitmap tri(40, 40, BMF_24BPP);
  tri.FillAll(0x777777);
  TRIVERTEX t[3] = {{0, 0, 0xFF00, 0, 0, 0}, {40, 0, 0, 0xFF00, 0, 0}, {0, 40, 0, 0, 0xFF00, 0}};
  GRADIENT_TRIANGLE mesh{0, 1, 2};
  ASSERT_TRUE(EngGradientFill(tri.so(), nullptr, nullptr, t, 3, &mesh, 1, nullptr, nullptr, GRADIENT_FILL_TRIANGLE));
  const auto near = [&](LONG x, LONG y, ULONG want) {
    const ULONG got = tri.Get(x, y);
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), 16)
          << x << "," << y;
  };
  near(0, 0, kRed);
  near(38, 0, 0x00FF00);
  near(0, 38, kBlue);
  EXPECT_EQ(tri.Get(39, 39), 0x777777u);
  EXPECT_EQ(tri.Get(25, 25), 0x777777u);

  // Into a four-bit bitmap through its colours: the ends are exact palette colours.
  Bitmap four(8, 1, BMF_4BPP);
  TRIVERTEX bw[2] = {{0, 0, 0, 0, 0, 0}, {8, 1, 0xFF00, 0xFF00, 0xFF00, 0}};
  RECTL e8{0, 0, 8, 1};
  ASSERT_TRUE(EngGradientFill(four.so(), nullptr, nullptr, bw, 2, &rect, 1, &e8, nullptr, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(four.Get(0, 0), 0u);
  EXPECT_EQ(four.Get(7, 0), 15u);

  // A bad index draws nothing.
  page.FillAll(0x777777);
  GRADIENT_RECT bad[2] = {{0, 1}, {0, 2}};
  SetLastError(0);
  EXPECT_FALSE(EngGradientFill(page.so(), nullptr, nullptr, v, 2, bad, 2, &extents, nullptr, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(page.Count(0x777777), 55);
  EXPECT_FALSE(EngGradientFill(page.so(), nullptr, nullptr, v, 2, &rect, 1, &extents, nullptr, 7));
}

TEST_F(Blits, CallsAreRecorded) {
  kq::ClearEngineCalls(*machine);
  Bitmap page(8, 8, BMF_24BPP);
  auto brush = kq::BrushObject::Solid(kRed);
  RECTL trg{1, 2, 5, 6};
  EngBitBlt(page.so(), nullptr, nullptr, nullptr, nullptr, &trg, nullptr, nullptr, brush->Object(), nullptr, 0xF0F0);
  EXPECT_EQ(page.Count(kRed), 16);
  POINTFIX plg[3] = {{16, 16}, {80, 32}, {0, 64}};
  RECTL src{0, 0, 8, 8};
  EngPlgBlt(page.so(), page.so(), nullptr, nullptr, nullptr, nullptr, nullptr, plg, &src, nullptr, COLORONCOLOR);
  const auto calls = kq::EngineCalls(*machine);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "EngBitBlt");
  EXPECT_EQ(calls[0].bounds.left, 1);
  EXPECT_EQ(calls[0].bounds.bottom, 6);
  EXPECT_EQ(calls[1].name, "EngPlgBlt");
  EXPECT_EQ(calls[1].bounds.left, 0);   // D = B + C - A = (4, 5)
  EXPECT_EQ(calls[1].bounds.top, 1);
  EXPECT_EQ(calls[1].bounds.right, 5);
  EXPECT_EQ(calls[1].bounds.bottom, 5);
}

}  // namespace
