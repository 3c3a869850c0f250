#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "draw_fixture.h"

namespace {

using drawtest::Fx;
using drawtest::Records;

class Paths : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(Paths, FiguresComeAsRecordsOfOneKindOfSegment) {
  kq::PathObject path;
  // A closed square, then an open figure of a curve, two lines and a curve.
  path.MoveTo(0, 0);
  path.LineTo(10, 0);
  path.LineTo(10, 10);
  path.LineTo(0, 10);
  path.CloseFigure();
  path.MoveTo(20, 20);
  path.BezierTo(21, 20, 22, 21, 22, 22);
  path.LineTo(22, 30);
  path.LineTo(20, 30);
  path.BezierTo(19, 29, 19, 28, 20, 26);
  PATHOBJ* po = path.Object();
  EXPECT_EQ(po->fl, PO_BEZIERS);
  EXPECT_EQ(po->cCurves, 7u);

  const auto records = Records(po);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].flags, PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_CLOSEFIGURE);
  EXPECT_EQ(records[0].points, (std::vector<POINTFIX>{Fx(0, 0), Fx(10, 0), Fx(10, 10), Fx(0, 10)}));
  // A figure that starts with a curve: its start point, then the curve's three points.
  EXPECT_EQ(records[1].flags, PD_BEGINSUBPATH | PD_RESETSTYLE | PD_BEZIERS);
  EXPECT_EQ(records[1].points, (std::vector<POINTFIX>{Fx(20, 20), Fx(21, 20), Fx(22, 21), Fx(22, 22)}));
  EXPECT_EQ(records[2].flags, 0u);
  EXPECT_EQ(records[2].points, (std::vector<POINTFIX>{Fx(22, 30), Fx(20, 30)}));
  EXPECT_EQ(records[3].flags, PD_BEZIERS | PD_ENDSUBPATH);
  EXPECT_EQ(records[3].points, (std::vector<POINTFIX>{Fx(19, 29), Fx(19, 28), Fx(20, 26)}));
}

TEST_F(Paths, LongRunsSplitAtTheRecordLimitWithoutSplittingCurves) {
  kq::PathObject path;
  path.SetRecordLimit(5);
  path.MoveTo(0, 0);
  for (int i = 1; i <= 9; ++i) path.LineTo(i, 0);  // 10 points
  path.MoveTo(0, 10);
  for (int i = 0; i < 3; ++i) path.BezierTo(3 * i + 1, 10, 3 * i + 2, 11, 3 * i + 3, 10);  // 1 + 9 points
  path.CloseFigure();

  const auto records = Records(path.Object());
  std::vector<std::pair<FLONG, size_t>> shape;
  for (const auto& r : records) shape.emplace_back(r.flags, r.points.size());
  const std::vector<std::pair<FLONG, size_t>> want = {
      {PD_BEGINSUBPATH, 5},
      {PD_ENDSUBPATH, 5},
      // After the start point a record has room for one curve only; then for one again (5 - 5 % 3 = 3).
      {PD_BEGINSUBPATH | PD_RESETSTYLE | PD_BEZIERS, 4},
      {PD_BEZIERS, 3},
      {PD_BEZIERS | PD_ENDSUBPATH | PD_CLOSEFIGURE, 3},
  };
  EXPECT_EQ(shape, want);
  EXPECT_EQ(records[1].points.back(), Fx(9, 0));

  // Put back together, the records give every point once and in order.
  std::vector<POINTFIX> all;
  for (const auto& r : records) all.insert(all.end(), r.points.begin(), r.points.end());
  ASSERT_EQ(all.size(), 20u);
  EXPECT_EQ(all[10], Fx(0, 10));
  EXPECT_EQ(all[19], Fx(9, 10));
}

TEST_F(Paths, EnumerationEndsWithAnEmptyRecordAndStartsAgain) {
  kq::PathObject path;
  path.MoveTo(1, 2);
  path.LineTo(3, 4);
  PATHOBJ* po = path.Object();
  PATHDATA pd;
  EXPECT_FALSE(PATHOBJ_bEnum(po, &pd));  // one record: the last
  EXPECT_EQ(pd.count, 2u);
  EXPECT_EQ(pd.flags, PD_BEGINSUBPATH | PD_ENDSUBPATH);
  EXPECT_FALSE(PATHOBJ_bEnum(po, &pd));
  EXPECT_EQ(pd.count, 0u);
  EXPECT_EQ(pd.pptfx, nullptr);
  PATHOBJ_vEnumStart(po);
  EXPECT_FALSE(PATHOBJ_bEnum(po, &pd));
  EXPECT_EQ(pd.count, 2u);

  kq::PathObject empty;
  EXPECT_FALSE(PATHOBJ_bEnum(empty.Object(), &pd));
  EXPECT_EQ(pd.count, 0u);
  RECTFX bounds{1, 1, 1, 1};
  PATHOBJ_vGetBounds(empty.Object(), &bounds);
  EXPECT_EQ(bounds.xLeft | bounds.yTop | bounds.xRight | bounds.yBottom, 0);
}

TEST_F(Paths, BoundsHoldControlPointsIn28Point4) {
  kq::PathObject path;
  path.MoveTo(10.03, 5);  // 160.48: rounded to 160
  path.BezierTo(-2.5, 40, 30, -7.25, 20, 5);
  RECTFX b;
  PATHOBJ_vGetBounds(path.Object(), &b);
  EXPECT_EQ(b.xLeft, -40);
  EXPECT_EQ(b.yTop, -116);
  EXPECT_EQ(b.xRight, 480);
  EXPECT_EQ(b.yBottom, 640);
  EXPECT_EQ(Records(path.Object())[0].points[0], (POINTFIX{160, 80}));
}

TEST_F(Paths, FiguresBeginAtThePen) {
  kq::PathObject path;
  path.LineTo(5, 5);     // no figure yet: one starts at the origin
  path.MoveTo(7, 7);
  path.MoveTo(8, 8);     // replaces the move before it
  path.LineTo(9, 8);
  path.LineTo(9, 9);
  path.CloseFigure();
  path.LineTo(1, 1);     // starts at the closed figure's start
  const auto records = Records(path.Object());
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].points, (std::vector<POINTFIX>{Fx(0, 0), Fx(5, 5)}));
  EXPECT_EQ(records[1].points, (std::vector<POINTFIX>{Fx(8, 8), Fx(9, 8), Fx(9, 9)}));
  EXPECT_EQ(records[1].flags, PD_BEGINSUBPATH | PD_RESETSTYLE | PD_ENDSUBPATH | PD_CLOSEFIGURE);
  EXPECT_EQ(records[2].points, (std::vector<POINTFIX>{Fx(8, 8), Fx(1, 1)}));
  EXPECT_EQ(records[2].flags, PD_BEGINSUBPATH | PD_ENDSUBPATH) << "a figure begun at the pen keeps the style";
  EXPECT_EQ(path.Object()->cCurves, 4u);
}

TEST_F(Paths, CoordinatesOutOfRangeAreRefused) {
  kq::PathObject path;
  path.MoveTo(0, 0);
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 5e6, -5e6}) {
    SetLastError(0);
    EXPECT_FALSE(path.LineTo(bad, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(path.BezierTo(1, 1, 2, 2, 3, bad));
  }
  EXPECT_FALSE(path.LineTo(POINTFIX{std::numeric_limits<FIX>::max(), 0}));
  EXPECT_TRUE(path.LineTo(4000000, -4000000));
  const auto records = Records(path.Object());
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].points.size(), 2u) << "refused points leave the path as it was";
  EXPECT_EQ(path.Object()->cCurves, 1u);
}

TEST_F(Paths, AccessorsRefuseForeignPathsAndDriversCannotFreeTheEnginesOwn) {
  PATHOBJ foreign{PO_BEZIERS, 3};
  PATHDATA pd{1, 2, nullptr};
  SetLastError(0);
  EXPECT_FALSE(PATHOBJ_bEnum(&foreign, &pd));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(pd.count, 0u);
  RECTFX b{1, 2, 3, 4};
  PATHOBJ_vGetBounds(&foreign, &b);
  EXPECT_EQ(b.xRight, 0);
  EngDeletePath(&foreign);

  kq::PathObject path;
  path.MoveTo(1, 1);
  path.LineTo(2, 2);
  SetLastError(0);
  EngDeletePath(path.Object());
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Records(path.Object()).size(), 1u) << "still there";

  // Another machine's path is foreign here.
  kq::TemporaryMachine other;
  kq::MachineScope inOther(other.Get());
  EXPECT_FALSE(PATHOBJ_bEnum(path.Object(), &pd));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
