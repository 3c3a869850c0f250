#include <gtest/gtest.h>

#include <vector>

#include "draw_fixture.h"

namespace {

using drawtest::Bitmap;

struct Format {
  ULONG format;
  ULONG mask;  // the values a pixel holds
};
constexpr Format kFormats[] = {{BMF_1BPP, 0x1},   {BMF_4BPP, 0xF},      {BMF_8BPP, 0xFF},
                               {BMF_16BPP, 0xFFFF}, {BMF_24BPP, 0xFFFFFF}, {BMF_32BPP, 0xFFFFFFFF}};

// Rectangles of whole pixels, drawn clockwise so their windings add: runs of 1 to 65 pixels, an overlap, and some
// reaching past each edge of the bitmap.
constexpr RECTL kShapes[] = {{-5, 1, 3, 4},   {10, 2, 11, 20}, {13, 3, 17, 9},    {20, 4, 36, 10},
                             {30, 8, 95, 15}, {90, 18, 110, 30}, {40, -3, 47, 2}, {60, 16, 63, 23}};
constexpr LONG kWidth = 100, kHeight = 24;

ULONG Background(LONG x, LONG y) { return (static_cast<ULONG>(x) * 2654435761u) ^ (static_cast<ULONG>(y) * 40503u); }

bool Inside(LONG x, LONG y, FLONG mode) {
  int count = 0;
  for (const RECTL& r : kShapes) count += x >= r.left && x < r.right && y >= r.top && y < r.bottom;
  return mode == FP_WINDINGMODE ? count > 0 : count % 2 == 1;
}

class Spans : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

// Every format the engine paints into, each kind of paint (a constant value, values read from the destination,
// a tiled pattern), through a clip with a hole, past the bitmap's edges: exactly the pixels inside, each with the
// value the operation gives it alone.
TEST_F(Spans, FillsPaintExactlyThePixelsInsideWithTheirOperation) {
  kq::PathObject shapes;
  for (const RECTL& r : kShapes) {
    shapes.MoveTo(r.left, r.top);
    shapes.LineTo(r.right, r.top);
    shapes.LineTo(r.right, r.bottom);
    shapes.LineTo(r.left, r.bottom);
    shapes.CloseFigure();
  }
  kq::PathObject frame;  // the bitmap less a hole, under the alternate rule
  for (const RECTL& r : {RECTL{2, 0, kWidth, kHeight}, RECTL{25, 6, 70, 12}}) {
    frame.MoveTo(r.left, r.top);
    frame.LineTo(r.right, r.top);
    frame.LineTo(r.right, r.bottom);
    frame.LineTo(r.left, r.bottom);
    frame.CloseFigure();
  }
  auto clip = kq::ClipObject::Path(frame, FP_ALTERNATEMODE, RECTL{0, 0, kWidth, kHeight});
  ASSERT_TRUE(clip);
  ASSERT_EQ(clip->Object()->iDComplexity, DC_COMPLEX);

  struct Mix {
    ULONG rop2;
    bool pattern;
    ULONG (*expect)(ULONG d, ULONG p);
  };
  const Mix mixes[] = {
      {R2_COPYPEN, false, [](ULONG, ULONG p) { return p; }},
      {R2_COPYPEN, true, [](ULONG, ULONG p) { return p; }},
      {R2_XORPEN, false, [](ULONG d, ULONG p) { return d ^ p; }},
      {R2_MASKPEN, true, [](ULONG d, ULONG p) { return d & p; }},
      {R2_NOT, false, [](ULONG d, ULONG) { return ~d; }},
  };
  for (const Format& f : kFormats) {
    Bitmap tile(3, 2, f.format);
    for (LONG y = 0; y < 2; ++y)
      for (LONG x = 0; x < 3; ++x) tile.Set(x, y, (0x9E3779B9u * static_cast<ULONG>(1 + x + 3 * y)) & f.mask);
    const auto pen = [&](LONG x, LONG y, bool pattern) { return pattern ? tile.Get(x % 3, y % 2) : 0x5A3C96A5u & f.mask; };
    auto solid = kq::BrushObject::Solid(pen(0, 0, false));
    auto tiled = kq::BrushObject::Pattern(tile.so());
    ASSERT_TRUE(tiled);
    for (const Mix& mix : mixes)
      for (FLONG mode : {FP_WINDINGMODE, FP_ALTERNATEMODE})
        for (bool clipped : {false, true}) {
          Bitmap page(kWidth, kHeight, f.format);
          for (LONG y = 0; y < kHeight; ++y)
            for (LONG x = 0; x < kWidth; ++x) page.Set(x, y, Background(x, y) & f.mask);
          BRUSHOBJ* brush = mix.pattern ? tiled->Object() : solid->Object();
          ASSERT_TRUE(EngFillPath(page.so(), shapes.Object(), clipped ? clip->Object() : nullptr, brush, nullptr,
                                  mix.rop2 | (mix.rop2 << 8), mode));
          int wrong = 0;
          for (LONG y = 0; y < kHeight; ++y)
            for (LONG x = 0; x < kWidth; ++x) {
              const ULONG d = Background(x, y) & f.mask;
              const bool painted = Inside(x, y, mode) && (!clipped || clip->Visible(x, y));
              const ULONG want = painted ? mix.expect(d, pen(x, y, mix.pattern)) & f.mask : d;
              if (page.Get(x, y) != want && ++wrong <= 3)
                ADD_FAILURE() << "format " << f.format << " rop2 " << mix.rop2 << (mix.pattern ? " pattern" : "")
                              << " mode " << mode << (clipped ? " clipped" : "") << " at " << x << "," << y
                              << ": " << std::hex << page.Get(x, y) << " for " << want;
            }
        }
  }
}

}  // namespace
