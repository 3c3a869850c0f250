#include <gtest/gtest.h>

#include "draw_fixture.h"

namespace {

using drawtest::Bitmap;
using drawtest::kBlue;
using drawtest::kRed;
using drawtest::kWhite;

constexpr MIX kCopyPen = R2_COPYPEN | (R2_COPYPEN << 8);

class DrawPaths : public ::testing::Test {
 protected:
  static void Square(kq::PathObject& path, double l, double t, double r, double b) {
    path.MoveTo(l, t);
    path.LineTo(r, t);
    path.LineTo(r, b);
    path.LineTo(l, b);
    path.CloseFigure();
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(DrawPaths, FillPaintsThePixelsWhoseCentresAreInside) {
  Bitmap page(12, 10, BMF_24BPP);
  page.FillAll(kWhite);
  kq::PathObject path;
  Square(path, 2, 1, 6.5, 4);  // x 2..6.5 holds the centres 2.5 .. 5.5 and 6.5 is the edge
  path.MoveTo(8, 5);
  path.LineTo(11, 9);
  path.LineTo(8, 9);  // left open: a fill closes it
  auto red = kq::BrushObject::Solid(kRed);
  ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, red->Object(), nullptr, kCopyPen, FP_ALTERNATEMODE));
  EXPECT_EQ(page.Picture(kRed),
            "............\n"
            "..####......\n"
            "..####......\n"
            "..####......\n"
            "............\n"
            "............\n"
            "........#...\n"
            "........##..\n"
            "........###.\n"
            "............\n");
}

TEST_F(DrawPaths, FillModesDecideOverlaps) {
  for (FLONG mode : {FP_ALTERNATEMODE, FP_WINDINGMODE}) {
    Bitmap page(10, 10, BMF_24BPP);
    page.FillAll(kWhite);
    kq::PathObject path;
    Square(path, 0, 0, 6, 6);
    Square(path, 3, 3, 9, 9);
    auto red = kq::BrushObject::Solid(kRed);
    ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, red->Object(), nullptr, kCopyPen, mode));
    EXPECT_EQ(page.Get(4, 4), mode == FP_WINDINGMODE ? kRed : kWhite);
    EXPECT_EQ(page.Get(1, 1), kRed);
    EXPECT_EQ(page.Get(8, 8), kRed);
    EXPECT_EQ(page.Get(1, 8), kWhite);
  }
}

TEST_F(DrawPaths, ClipsHideWhatLiesOutside) {
  Bitmap page(10, 10, BMF_24BPP);
  page.FillAll(kWhite);
  kq::PathObject path;
  Square(path, 0, 0, 10, 10);
  kq::PathObject disc;
  disc.MoveTo(5, 0);
  disc.BezierTo(8, 0, 10, 2, 10, 5);
  disc.BezierTo(10, 8, 8, 10, 5, 10);
  disc.BezierTo(2, 10, 0, 8, 0, 5);
  disc.BezierTo(0, 2, 2, 0, 5, 0);
  auto round = kq::ClipObject::Path(disc, FP_WINDINGMODE, page.all());
  auto red = kq::BrushObject::Solid(kRed);
  ASSERT_TRUE(EngFillPath(page.so(), path.Object(), round->Object(), red->Object(), nullptr, kCopyPen, 0));
  EXPECT_EQ(page.Get(5, 5), kRed);
  EXPECT_EQ(page.Get(0, 0), kWhite);
  EXPECT_EQ(page.Get(9, 9), kWhite);
  for (LONG y = 0; y < 10; ++y)
    for (LONG x = 0; x < 10; ++x) EXPECT_EQ(page.Get(x, y) == kRed, round->Visible(x, y)) << x << "," << y;

  auto blue = kq::BrushObject::Solid(kBlue);
  auto box = kq::ClipObject::Rectangle({2, 3, 4, 5});
  ASSERT_TRUE(EngFillPath(page.so(), path.Object(), box->Object(), blue->Object(), nullptr, kCopyPen, 0));
  EXPECT_EQ(page.Count(kBlue), 4);
  EXPECT_EQ(page.Get(3, 4), kBlue);
}

TEST_F(DrawPaths, MixesActOnTheDestination) {
  struct Case {
    ULONG rop2;
    ULONG want;  // over 0x0F0F0F with the pen 0x00FF33
  };
  const Case cases[] = {
      {R2_BLACK, 0x000000},       {R2_WHITE, 0xFFFFFF},  {R2_COPYPEN, 0x00FF33}, {R2_NOTCOPYPEN, 0xFF00CC},
      {R2_XORPEN, 0x0FF03C},      {R2_NOT, 0xF0F0F0},    {R2_NOP, 0x0F0F0F},    {R2_MASKPEN, 0x000F03},
      {R2_MERGEPEN, 0x0FFF3F},    {R2_NOTMERGEPEN, 0xF000C0},
  };
  for (const auto& c : cases) {
    Bitmap page(4, 4, BMF_24BPP);
    page.FillAll(0x0F0F0F);
    kq::PathObject path;
    Square(path, 0, 0, 4, 4);
    auto pen = kq::BrushObject::Solid(0x00FF33);
    ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, pen->Object(), nullptr, c.rop2 | (c.rop2 << 8), 0));
    EXPECT_EQ(page.Get(2, 2), c.want) << "R2 " << c.rop2;
  }
  // A mix that paints without the pen needs no brush; one that reads it does, and a bad mix is refused.
  Bitmap page(4, 4, BMF_24BPP);
  kq::PathObject path;
  Square(path, 0, 0, 4, 4);
  EXPECT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, nullptr, nullptr, R2_WHITE, 0));
  EXPECT_EQ(page.Get(0, 0), kWhite);
  SetLastError(0);
  EXPECT_FALSE(EngFillPath(page.so(), path.Object(), nullptr, nullptr, nullptr, R2_COPYPEN, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  auto pen = kq::BrushObject::Solid(0);
  EXPECT_FALSE(EngFillPath(page.so(), path.Object(), nullptr, pen->Object(), nullptr, 17, 0));
  EXPECT_FALSE(EngFillPath(page.so(), path.Object(), nullptr, pen->Object(), nullptr, 0, 0));
}

TEST_F(DrawPaths, HatchesPaintTheirGapsWithTheBackgroundMix) {
  Bitmap page(8, 8, BMF_24BPP);
  page.FillAll(0x808080);
  kq::PathObject path;
  Square(path, 0, 0, 8, 8);
  auto hatch = kq::BrushObject::Hatch(kq::HS_CROSS, kRed, kWhite);
  ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, hatch->Object(), nullptr, R2_COPYPEN | (R2_NOP << 8), 0));
  EXPECT_EQ(page.Count(kRed), 15);
  EXPECT_EQ(page.Count(0x808080), 49) << "transparent background";
  ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, hatch->Object(), nullptr, kCopyPen, 0));
  EXPECT_EQ(page.Count(kWhite), 49) << "opaque background";
  // A brush origin moves the pattern.
  POINTL origin{1, 2};
  ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, hatch->Object(), &origin, kCopyPen, 0));
  EXPECT_EQ(page.Get(5, 0), kRed);
  EXPECT_EQ(page.Get(4, 0), kWhite);
}

TEST_F(DrawPaths, CosmeticLinesStepOnePixelAndLeaveTheirLastOut) {
  Bitmap page(12, 6, BMF_24BPP);
  page.FillAll(kWhite);
  auto red = kq::BrushObject::Solid(kRed);
  ASSERT_TRUE(EngLineTo(page.so(), nullptr, red->Object(), 1, 1, 9, 1, nullptr, kCopyPen));
  ASSERT_TRUE(EngLineTo(page.so(), nullptr, red->Object(), 1, 2, 5, 5, nullptr, kCopyPen));
  EXPECT_EQ(page.Picture(kRed),
            "............\n"
            ".########...\n"
            ".#..........\n"
            "..#.........\n"
            "...##.......\n"
            "............\n");
  // Far ends do not walk the whole line.
  ASSERT_TRUE(EngLineTo(page.so(), nullptr, red->Object(), -2000000000, 5, 2000000000, 5, nullptr, kCopyPen));
  EXPECT_EQ(page.Get(11, 5), kRed);
  auto clip = kq::ClipObject::Rectangle({0, 0, 12, 1});
  ASSERT_TRUE(EngLineTo(page.so(), clip->Object(), red->Object(), 0, 0, 0, 6, nullptr, kCopyPen));
  EXPECT_EQ(page.Get(0, 0), kRed);
  EXPECT_EQ(page.Get(0, 1), kWhite);
}

TEST_F(DrawPaths, CosmeticStylesCountStyleUnitsPerPixel) {
  struct Case {
    const char* name;
    kq::LineAttributes pen;
    LONG steps[3];
    const char* want;
  };
  const Case cases[] = {
      {"solid", kq::LineAttributes::Cosmetic(), {1, 1, 1}, "################"},
      {"dash 3 gap 1", kq::LineAttributes::Cosmetic(1, {3, 1}), {1, 1, 1}, "###.###.###.###."},
      {"gap first", kq::LineAttributes::Cosmetic(1, {3, 1}, LA_STARTGAP), {1, 1, 1}, "...#...#...#...#"},
      {"odd count repeats swapped", kq::LineAttributes::Cosmetic(1, {2}), {1, 1, 1}, "##..##..##..##.."},
      {"alternate", kq::LineAttributes::Cosmetic(1, {}, LA_ALTERNATE), {1, 1, 1}, "#.#.#.#.#.#.#.#."},
      {"two pixels a unit", kq::LineAttributes::Cosmetic(1, {1, 1}), {1, 1, 2}, "##..##..##..##.."},
      {"style state", kq::LineAttributes::Cosmetic(1, {3, 1}, 0, (1 << 16) | 0), {1, 1, 1}, ".###.###.###.###"},
  };
  for (const auto& c : cases) {
    Bitmap page(17, 1, BMF_24BPP);
    page.FillAll(kWhite);
    ASSERT_TRUE(kq::SetSurfaceStyleStep(page.hsurf(), c.steps[0], c.steps[1], c.steps[2]));
    kq::PathObject path;
    path.MoveTo(0, 0);
    path.LineTo(16, 0);
    auto red = kq::BrushObject::Solid(kRed);
    kq::LineAttributes pen = c.pen;
    ASSERT_TRUE(EngStrokePath(page.so(), path.Object(), nullptr, nullptr, red->Object(), nullptr, pen.Object(),
                              kCopyPen));
    EXPECT_EQ(page.Picture(kRed), std::string(c.want) + ".\n") << c.name;
  }
  Bitmap page(2, 2, BMF_24BPP);
  SetLastError(0);
  EXPECT_FALSE(kq::SetSurfaceStyleStep(page.hsurf(), 0, 1, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(DrawPaths, ClosedCosmeticFiguresCloseAndStylesRestartAtEachFigure) {
  Bitmap page(8, 8, BMF_24BPP);
  page.FillAll(kWhite);
  kq::PathObject path;
  Square(path, 1, 1, 6, 6);
  auto red = kq::BrushObject::Solid(kRed);
  auto pen = kq::LineAttributes::Cosmetic();
  ASSERT_TRUE(EngStrokePath(page.so(), path.Object(), nullptr, nullptr, red->Object(), nullptr, pen.Object(), kCopyPen));
  EXPECT_EQ(page.Picture(kRed),
            "........\n"
            ".######.\n"
            ".#....#.\n"
            ".#....#.\n"
            ".#....#.\n"
            ".#....#.\n"
            ".######.\n"
            "........\n");

  Bitmap lines(6, 2, BMF_24BPP);
  lines.FillAll(kWhite);
  kq::PathObject two;
  two.MoveTo(0, 0);
  two.LineTo(5, 0);
  two.MoveTo(0, 1);
  two.LineTo(5, 1);
  auto dashed = kq::LineAttributes::Cosmetic(1, {2, 1});
  ASSERT_TRUE(EngStrokePath(lines.so(), two.Object(), nullptr, nullptr, red->Object(), nullptr, dashed.Object(),
                            kCopyPen));
  EXPECT_EQ(lines.Picture(kRed), "##.##.\n##.##.\n");
}

TEST_F(DrawPaths, GeometricPensHaveWidthCapsJoinsDashesAndATransform) {
  struct Case {
    const char* name;
    kq::LineAttributes pen;
    XFORML xform;
    int wantPixels;
  };
  const XFORML identity{1, 0, 0, 1, 0, 0};
  const Case cases[] = {
      // A horizontal stroke from x 4 to 16 on y 10.
      {"butt", kq::LineAttributes::Geometric(4, JOIN_MITER, ENDCAP_BUTT), identity, 12 * 4},
      {"square", kq::LineAttributes::Geometric(4, JOIN_MITER, ENDCAP_SQUARE), identity, 16 * 4},
      {"dashed", kq::LineAttributes::Geometric(4, JOIN_MITER, ENDCAP_BUTT, 10, {2, 2}), identity, 6 * 4},
      {"dash gap first", kq::LineAttributes::Geometric(4, JOIN_MITER, ENDCAP_BUTT, 10, {2, 2}, LA_STARTGAP),
       identity, 6 * 4},
      {"twice as thick", kq::LineAttributes::Geometric(2, JOIN_MITER, ENDCAP_BUTT), {2, 0, 0, 2, 0, 0}, 12 * 4},
      {"thinner than a pixel", kq::LineAttributes::Geometric(0.25f, JOIN_MITER, ENDCAP_BUTT), identity, 12},
  };
  for (const auto& c : cases) {
    Bitmap page(24, 20, BMF_24BPP);
    page.FillAll(kWhite);
    kq::PathObject path;
    path.MoveTo(4, 10);
    path.LineTo(16, 10);
    kq::TransformObject xform(c.xform);
    auto red = kq::BrushObject::Solid(kRed);
    kq::LineAttributes pen = c.pen;
    ASSERT_TRUE(EngStrokePath(page.so(), path.Object(), nullptr, xform.Object(), red->Object(), nullptr,
                              pen.Object(), kCopyPen));
    EXPECT_EQ(page.Count(kRed), c.wantPixels) << c.name << "\n" << page.Picture(kRed);
    if (std::string(c.name) == "dash gap first") {
      EXPECT_EQ(page.Get(4, 10), kWhite);
    }
    if (std::string(c.name) == "dashed") {
      EXPECT_EQ(page.Get(4, 10), kRed);
    }
  }

  // Joins: a miter reaches the corner, a bevel cuts it, a round one rounds it.
  int corner[3];
  for (ULONG join : {JOIN_MITER, JOIN_BEVEL, JOIN_ROUND}) {
    Bitmap page(24, 24, BMF_24BPP);
    page.FillAll(kWhite);
    kq::PathObject path;
    path.MoveTo(4, 20);
    path.LineTo(12, 4);
    path.LineTo(20, 20);
    auto red = kq::BrushObject::Solid(kRed);
    auto pen = kq::LineAttributes::Geometric(4, join, ENDCAP_BUTT);
    ASSERT_TRUE(EngStrokePath(page.so(), path.Object(), nullptr, nullptr, red->Object(), nullptr, pen.Object(), kCopyPen));
    int n = 0;
    for (LONG y = 0; y < 4; ++y)
      for (LONG x = 0; x < 24; ++x) n += page.Get(x, y) == kRed;
    corner[join] = n;
  }
  EXPECT_GT(corner[JOIN_MITER], corner[JOIN_ROUND]);
  EXPECT_GT(corner[JOIN_ROUND], corner[JOIN_BEVEL]);
}

TEST_F(DrawPaths, StrokeAndFillPaintsBoth) {
  Bitmap page(12, 12, BMF_24BPP);
  page.FillAll(kWhite);
  kq::PathObject path;
  Square(path, 2, 2, 10, 10);
  auto red = kq::BrushObject::Solid(kRed);
  auto blue = kq::BrushObject::Solid(kBlue);
  auto pen = kq::LineAttributes::Cosmetic();
  ASSERT_TRUE(EngStrokeAndFillPath(page.so(), path.Object(), nullptr, nullptr, blue->Object(), pen.Object(),
                                   red->Object(), nullptr, kCopyPen, FP_WINDINGMODE));
  EXPECT_EQ(page.Get(5, 5), kRed);
  EXPECT_EQ(page.Get(2, 5), kBlue);
  EXPECT_EQ(page.Get(10, 10), kBlue);
  EXPECT_EQ(page.Get(1, 1), kWhite);
}

TEST_F(DrawPaths, EveryFormatTakesPaths) {
  struct Case {
    ULONG format;
    ULONG color;
  };
  for (const Case& c : {Case{BMF_1BPP, 1}, Case{BMF_4BPP, 9}, Case{BMF_8BPP, 180}, Case{BMF_16BPP, 0x7C00},
                        Case{BMF_32BPP, 0x00FF8040}}) {
    Bitmap page(9, 3, c.format);
    kq::PathObject path;
    Square(path, 1, 0, 8, 2);
    auto brush = kq::BrushObject::Solid(c.color);
    ASSERT_TRUE(EngFillPath(page.so(), path.Object(), nullptr, brush->Object(), nullptr, kCopyPen, 0));
    EXPECT_EQ(page.Picture(c.color), ".#######.\n.#######.\n.........\n") << "format " << c.format;
    EXPECT_EQ(page.Get(0, 0), 0u);
  }
}

TEST_F(DrawPaths, PaintFillsTheClip) {
  Bitmap page(6, 6, BMF_8BPP);
  auto clip = kq::ClipObject::Rectangle({1, 1, 3, 4});
  auto brush = kq::BrushObject::Solid(7);
  ASSERT_TRUE(EngPaint(page.so(), clip->Object(), brush->Object(), nullptr, kCopyPen));
  EXPECT_EQ(page.Count(7), 6);
  ASSERT_TRUE(EngPaint(page.so(), nullptr, nullptr, nullptr, R2_NOT));
  EXPECT_EQ(page.Count(0xF8), 6);
  EXPECT_EQ(page.Count(0xFF), 30);
}

TEST_F(DrawPaths, BadTargetsAndObjectsAreRefused) {
  Bitmap page(4, 4, BMF_24BPP);
  kq::PathObject path;
  Square(path, 0, 0, 4, 4);
  auto red = kq::BrushObject::Solid(kRed);
  PATHOBJ foreignPath{0, 1};
  SURFOBJ foreignSurface = *page.so();
  const HSURF device = EngCreateDeviceSurface(nullptr, SIZEL{4, 4}, BMF_24BPP);
  SURFOBJ* deviceSo = EngLockSurface(device);
  CLIPOBJ complex{1, {0, 0, 4, 4}, DC_COMPLEX, FC_COMPLEX, TC_RECTANGLES, 0};
  BRUSHOBJ pattern{0xFFFFFFFF, nullptr, 0};
  const auto fill = [&](SURFOBJ* so, PATHOBJ* po, CLIPOBJ* co, BRUSHOBJ* bo) {
    SetLastError(0);
    const BOOL ok = EngFillPath(so, po, co, bo, nullptr, kCopyPen, 0);
    return ok ? 0 : GetLastError();
  };
  EXPECT_EQ(fill(page.so(), &foreignPath, nullptr, red->Object()), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(fill(&foreignSurface, path.Object(), nullptr, red->Object()), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(fill(deviceSo, path.Object(), nullptr, red->Object()), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(fill(page.so(), path.Object(), &complex, red->Object()), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(fill(page.so(), path.Object(), nullptr, &pattern), ERROR_INVALID_PARAMETER);
  // Foreign clips and brushes that say all there is are read.
  CLIPOBJ rect{1, {0, 0, 2, 2}, DC_RECT, FC_RECT, TC_RECTANGLES, 0};
  BRUSHOBJ solid{kBlue, nullptr, 0};
  EXPECT_EQ(fill(page.so(), path.Object(), &rect, &solid), 0u);
  EXPECT_EQ(page.Count(kBlue), 4);
  auto pen = kq::LineAttributes::Cosmetic();
  EXPECT_FALSE(EngStrokePath(page.so(), path.Object(), nullptr, nullptr, red->Object(), nullptr, nullptr, kCopyPen));
  XFORMOBJ foreignXform{};
  EXPECT_FALSE(EngStrokePath(page.so(), path.Object(), nullptr, &foreignXform, red->Object(), nullptr, pen.Object(),
                             kCopyPen));
  EngUnlockSurface(deviceSo);
  EngDeleteSurface(device);
}

TEST_F(DrawPaths, CallsAreRecordedWithTheirBounds) {
  kq::ClearEngineCalls(*machine);
  Bitmap page(40, 40, BMF_24BPP);
  kq::PathObject path;
  Square(path, 2.5, 3, 20, 30.25);
  auto red = kq::BrushObject::Solid(kRed);
  auto pen = kq::LineAttributes::Cosmetic();
  EngFillPath(page.so(), path.Object(), nullptr, red->Object(), nullptr, kCopyPen, 0);
  EngStrokePath(page.so(), path.Object(), nullptr, nullptr, red->Object(), nullptr, pen.Object(), kCopyPen);
  EngLineTo(page.so(), nullptr, red->Object(), 9, 8, 1, 2, nullptr, kCopyPen);
  EngFillPath(page.so(), path.Object(), nullptr, nullptr, nullptr, kCopyPen, 0);
  const auto calls = kq::EngineCalls(*machine);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].name, "EngFillPath");
  EXPECT_EQ(calls[0].bounds.left, 2);
  EXPECT_EQ(calls[0].bounds.top, 3);
  EXPECT_EQ(calls[0].bounds.right, 20);
  EXPECT_EQ(calls[0].bounds.bottom, 31);
  EXPECT_TRUE(calls[0].result);
  EXPECT_EQ(calls[1].name, "EngStrokePath");
  EXPECT_EQ(calls[2].name, "EngLineTo");
  EXPECT_EQ(calls[2].bounds.left, 1);
  EXPECT_EQ(calls[2].bounds.right, 10);
  EXPECT_EQ(calls[2].bounds.bottom, 9);
  EXPECT_FALSE(calls[3].result);
  kq::ClearEngineCalls(*machine);
  EXPECT_TRUE(kq::EngineCalls(*machine).empty());
}

}  // namespace
