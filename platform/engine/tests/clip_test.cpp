#include <gtest/gtest.h>

#include "draw_fixture.h"

namespace {

using drawtest::Fx;
using drawtest::Records;

class Clips : public ::testing::Test {
 protected:
  // The pixels of `area` that a clip keeps, as a picture.
  static std::string Picture(const kq::ClipObject& clip, const RECTL& area) {
    std::string s;
    for (LONG y = area.top; y < area.bottom; ++y) {
      for (LONG x = area.left; x < area.right; ++x) s += clip.Visible(x, y) ? '#' : '.';
      s += '\n';
    }
    return s;
  }

  // The clip's outline as the driver gets it, filled again under the alternate rule.
  static std::unique_ptr<kq::ClipObject> Refill(kq::ClipObject& clip, const RECTL& limit) {
    PATHOBJ* outline = CLIPOBJ_ppoGetPath(clip.Object());
    EXPECT_NE(outline, nullptr);
    kq::PathObject copy;
    for (const auto& r : Records(outline)) {
      for (size_t i = 0; i < r.points.size(); ++i) {
        if (i == 0 && (r.flags & PD_BEGINSUBPATH)) {
          copy.MoveTo(r.points[0]);
        } else if (r.flags & PD_BEZIERS) {
          copy.BezierTo(r.points[i], r.points[i + 1], r.points[i + 2]);
          i += 2;
        } else {
          copy.LineTo(r.points[i]);
        }
      }
      if (r.flags & PD_CLOSEFIGURE) copy.CloseFigure();
    }
    EngDeletePath(outline);
    return kq::ClipObject::Path(copy, FP_ALTERNATEMODE, limit);
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(Clips, TrivialAndRectangleClips) {
  auto trivial = kq::ClipObject::Trivial({0, 0, 100, 50});
  CLIPOBJ* co = trivial->Object();
  EXPECT_EQ(co->iDComplexity, DC_TRIVIAL);
  EXPECT_EQ(co->rclBounds.right, 100);
  EXPECT_TRUE(trivial->Visible(-5, 1000));

  auto rect = kq::ClipObject::Rectangle({10, 20, 30, 25});
  co = rect->Object();
  EXPECT_EQ(co->iDComplexity, DC_RECT);
  EXPECT_EQ(co->iFComplexity, FC_RECT);
  EXPECT_EQ(co->iMode, TC_RECTANGLES);
  EXPECT_EQ(co->rclBounds.left, 10);
  EXPECT_EQ(co->rclBounds.bottom, 25);
  EXPECT_NE(co->iUniq, 0u);
  EXPECT_NE(co->iUniq, trivial->Object()->iUniq);
  EXPECT_TRUE(rect->Visible(10, 20));
  EXPECT_FALSE(rect->Visible(30, 20));

  PATHOBJ* outline = CLIPOBJ_ppoGetPath(co);
  const auto records = Records(outline);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].flags, PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_CLOSEFIGURE);
  EXPECT_EQ(records[0].points, (std::vector<POINTFIX>{Fx(10, 20), Fx(30, 20), Fx(30, 25), Fx(10, 25)}));
  EngDeletePath(outline);  // the leak checker sees to it that this frees it

  auto none = kq::ClipObject::Rectangle({30, 30, 10, 10});
  EXPECT_EQ(none->Object()->iDComplexity, DC_RECT);
  EXPECT_EQ(none->Object()->rclBounds.right, 0);
  EXPECT_FALSE(none->Visible(20, 20));
  outline = CLIPOBJ_ppoGetPath(none->Object());
  EXPECT_TRUE(Records(outline).empty());
  EngDeletePath(outline);
}

TEST_F(Clips, PathClipKeepsPixelsWhoseCentresAreInside) {
  kq::PathObject triangle;
  triangle.MoveTo(0, 0);
  triangle.LineTo(8, 0);
  triangle.LineTo(0, 8);
  triangle.CloseFigure();
  auto clip = kq::ClipObject::Path(triangle, FP_ALTERNATEMODE, {0, 0, 10, 10});
  ASSERT_TRUE(clip);
  CLIPOBJ* co = clip->Object();
  EXPECT_EQ(co->iDComplexity, DC_COMPLEX);
  EXPECT_EQ(co->iFComplexity, FC_COMPLEX);
  EXPECT_EQ(co->rclBounds.left, 0);
  EXPECT_EQ(co->rclBounds.right, 8);
  EXPECT_EQ(co->rclBounds.bottom, 8);
  EXPECT_EQ(Picture(*clip, {0, 0, 9, 9}),
            "########.\n"
            "#######..\n"
            "######...\n"
            "#####....\n"
            "####.....\n"
            "###......\n"
            "##.......\n"
            "#........\n"
            ".........\n");
  // The alternate rule gives this region: the driver gets the path itself.
  PATHOBJ* outline = CLIPOBJ_ppoGetPath(co);
  const auto records = Records(outline);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].points, (std::vector<POINTFIX>{Fx(0, 0), Fx(8, 0), Fx(0, 8)}));
  EngDeletePath(outline);
}

TEST_F(Clips, ComplexityFollowsTheRegion) {
  struct Case {
    std::vector<RECTL> squares;
    BYTE d, f;
  };
  const Case cases[] = {
      {{{2, 2, 6, 5}}, DC_RECT, FC_RECT},
      {{{0, 0, 2, 2}, {4, 0, 6, 2}}, DC_COMPLEX, FC_RECT4},
      {{{0, 0, 1, 1}, {2, 0, 3, 1}, {4, 0, 5, 1}, {6, 0, 7, 1}, {8, 0, 9, 1}}, DC_COMPLEX, FC_COMPLEX},
      {{{20, 20, 30, 30}}, DC_RECT, FC_RECT},  // outside the limit: nothing is kept
  };
  for (const auto& c : cases) {
    kq::PathObject path;
    for (const RECTL& r : c.squares) {
      path.MoveTo(r.left, r.top);
      path.LineTo(r.right, r.top);
      path.LineTo(r.right, r.bottom);
      path.LineTo(r.left, r.bottom);
      path.CloseFigure();
    }
    auto clip = kq::ClipObject::Path(path, FP_WINDINGMODE, {0, 0, 16, 16});
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->Object()->iDComplexity, c.d);
    EXPECT_EQ(clip->Object()->iFComplexity, c.f);
  }
}

TEST_F(Clips, WindingClipsHandTheDriverAnOutlineTheAlternateRuleFillsAlike) {
  // Two overlapping squares of the same turn, a third touching the second at a corner, and a frame with a hole:
  // under the alternate rule the overlap would be a hole, so the driver gets the region's outline.
  kq::PathObject path;
  const auto square = [&](double l, double t, double r, double b, bool reversed) {
    path.MoveTo(l, t);
    if (reversed) {
      path.LineTo(l, b);
      path.LineTo(r, b);
      path.LineTo(r, t);
    } else {
      path.LineTo(r, t);
      path.LineTo(r, b);
      path.LineTo(l, b);
    }
    path.CloseFigure();
  };
  square(0, 0, 6, 6, false);
  square(3, 3, 9, 9, false);
  square(9, 9, 12, 12, false);
  square(14, 0, 22, 8, false);
  square(16, 2, 20, 6, true);  // the hole
  const RECTL limit{0, 0, 24, 14};
  auto clip = kq::ClipObject::Path(path, FP_WINDINGMODE, limit);
  ASSERT_TRUE(clip);
  const std::string want =
      "######........########..\n"
      "######........########..\n"
      "######........##....##..\n"
      "#########.....##....##..\n"
      "#########.....##....##..\n"
      "#########.....##....##..\n"
      "...######.....########..\n"
      "...######.....########..\n"
      "...######...............\n"
      ".........###............\n"
      ".........###............\n"
      ".........###............\n"
      "........................\n"
      "........................\n";
  EXPECT_EQ(Picture(*clip, limit), want);
  auto again = Refill(*clip, limit);
  ASSERT_TRUE(again);
  EXPECT_EQ(Picture(*again, limit), want);

  PATHOBJ* outline = CLIPOBJ_ppoGetPath(clip->Object());
  for (const auto& r : Records(outline)) {
    EXPECT_FALSE(r.flags & PD_BEZIERS);
    for (POINTFIX p : r.points) EXPECT_TRUE(p.x % 16 == 0 && p.y % 16 == 0) << "pixel corners";
  }
  EngDeletePath(outline);
}

TEST_F(Clips, BadArgumentsAndForeignClips) {
  kq::PathObject path;
  path.MoveTo(0, 0);
  path.LineTo(4, 4);
  SetLastError(0);
  EXPECT_FALSE(kq::ClipObject::Path(path, 0, {0, 0, 8, 8}));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  kq::PathObject huge;
  huge.MoveTo(0, 0);
  huge.LineTo(4000000, 0);
  huge.LineTo(0, 4000000);
  SetLastError(0);
  EXPECT_FALSE(kq::ClipObject::Path(huge, FP_WINDINGMODE, {-5000000, -5000000, 5000000, 5000000}));
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY) << "refused, not rasterised for minutes";
  CLIPOBJ foreign{7, {0, 0, 5, 5}, DC_RECT, FC_RECT, TC_RECTANGLES, 0};
  SetLastError(0);
  EXPECT_EQ(CLIPOBJ_ppoGetPath(&foreign), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
