// Engine paths as PDF path operators, and the page's clip: opened, kept, changed and closed, with the cache of
// colours and widths that each "Q" ends.
#include <string>

#include "page_content_fixture.h"
#include "pdf/tokens.h"

namespace {

using PathText = PageContentTest;

TEST_F(PathText, ClosedFigureInDevicePixels) {
  auto square = Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  EXPECT_EQ(writer_.PathToString(square->Object(), false), "0 0 m 10 0 l 10 10 l 0 10 l h ");
}

TEST_F(PathText, ConvertedPointsArePdfPointsFromTheBottomLeft) {
  auto line = Polygon({{100, 200}, {110.0625, 3300}}, false);
  // 110.0625 pixels: 1761 in 28.4 fixed point, 26.415 points.
  EXPECT_EQ(writer_.PathToString(line->Object(), true), "24 744 m 26.415 0 l ");
}

TEST_F(PathText, CurvesGoAsTriplesAndContinueAcrossRecords) {
  kq::PathObject path;
  path.SetRecordLimit(4);
  ASSERT_TRUE(path.MoveTo(0, 0));
  ASSERT_TRUE(path.BezierTo(1, 2, 3, 4, 5, 6));
  ASSERT_TRUE(path.BezierTo(7, 8, 9, 10, 11, 12));
  ASSERT_TRUE(path.LineTo(0.5, 0.25));
  path.CloseFigure();
  // Records: (begin, beziers: 4 points), (beziers: 3 points, no begin), (line, close).
  EXPECT_EQ(writer_.PathToString(path.Object(), false),
            "0 0 m 1 2 3 4 5 6 c 7 8 9 10 11 12 c 0.5 0.25 l h ");
}

TEST_F(PathText, FiguresOfOnePointAndEmptyPaths) {
  kq::PathObject lone;
  ASSERT_TRUE(lone.MoveTo(3, 4));
  lone.CloseFigure();
  EXPECT_EQ(writer_.PathToString(lone.Object(), false), "3 4 m ") << "a begin point closes nothing";

  kq::PathObject empty;
  EXPECT_EQ(writer_.PathToString(empty.Object(), false), "");

  auto two = Polygon({{0, 0}, {1, 0}, {1, 1}});
  ASSERT_TRUE(two->MoveTo(5, 5));
  ASSERT_TRUE(two->LineTo(6, 5));
  EXPECT_EQ(writer_.PathToString(two->Object(), false), "0 0 m 1 0 l 1 1 l h 5 5 m 6 5 l ")
      << "only the closed figure ends in h";
}

TEST_F(PathText, ReadsTheSamePathAgain) {
  auto square = Polygon({{0, 0}, {10, 0}, {10, 10}});
  const std::string first = writer_.PathToString(square->Object(), false);
  EXPECT_EQ(writer_.PathToString(square->Object(), false), first);
}

// The clip of left 100, top 100, right 300, bottom 200 and its outline in PDF points.
constexpr char kRectClip[] = "q 24 744 48 24 re W* n 24 768 m 72 768 l 72 744 l 24 744 l h W* n\n";

class Clip : public PageContentTest {
 protected:
  static constexpr RECTL kClipRect{100, 100, 300, 200};
  static constexpr RECTL kInside{150, 120, 250, 180};

  std::unique_ptr<kq::ClipObject> RectClip(const RECTL& rect = kClipRect) { return kq::ClipObject::Rectangle(rect); }
  std::unique_ptr<kq::ClipObject> Trivial() { return kq::ClipObject::Trivial(RECTL{0, 0, 2550, 3300}); }
  // Fills the cache as a drawing call would.
  void CacheState() {
    std::string ignored;
    writer_.SetStrokeColor(ignored, 0xFF);
    writer_.SetFillColor(ignored, 0xFF00);
    writer_.SetLineDash(ignored, "[] 0 d ");
    writer_.lineWidth = 0.24;
    writer_.lineWidthSet = 1;
  }
  void ExpectCacheEmpty() {
    EXPECT_EQ(writer_.strokeColorSet, 0u);
    EXPECT_EQ(writer_.fillColorSet, 0u);
    EXPECT_EQ(writer_.lineWidthSet, 0u);
    EXPECT_EQ(writer_.dashText, "");
  }
};

TEST_F(Clip, RectangleThatDoesNotHoldTheDrawingOpensAClip) {
  const RECTL beyond{50, 120, 250, 180};
  auto clip = RectClip();
  writer_.EmitClip(nullptr, clip->Object(), &beyond);
  EXPECT_EQ(Take(), kRectClip);
  EXPECT_EQ(writer_.clipId, clip->Object()->iUniq);
  EXPECT_EQ(writer_.clipText, "24 744 48 24 re W* n 24 768 m 72 768 l 72 744 l 24 744 l h ");
}

TEST_F(Clip, RectangleThatHoldsTheDrawingNeedsNone) {
  for (const RECTL& bounds : {kInside, RECTL{100, 100, 301, 201}}) {
    auto clip = RectClip();
    writer_.EmitClip(nullptr, clip->Object(), &bounds);
    EXPECT_EQ(Take(), "") << "bounds right " << bounds.right;
    EXPECT_EQ(writer_.clipId, 0u);
  }
  const RECTL wider{100, 100, 302, 200};
  auto clip = RectClip();
  writer_.EmitClip(nullptr, clip->Object(), &wider);
  EXPECT_EQ(Take(), kRectClip) << "one column past the clip";
}

TEST_F(Clip, RectangleWithoutBoundsIsWritten) {
  auto clip = RectClip();
  writer_.EmitClip(nullptr, clip->Object(), nullptr);
  EXPECT_EQ(Take(), kRectClip);
}

TEST_F(Clip, SameShapeFromAnotherClipObjectIsWrittenOnce) {
  auto first = RectClip();
  auto second = RectClip();
  ASSERT_NE(first->Object()->iUniq, second->Object()->iUniq);
  writer_.EmitClip(nullptr, first->Object(), nullptr);
  EXPECT_EQ(Take(), kRectClip);
  PendText();
  CacheState();
  writer_.EmitClip(nullptr, second->Object(), nullptr);
  EXPECT_EQ(Take(), "") << "no change: the pending text stays pending";
  EXPECT_EQ(writer_.textWriter.pendingText, "(pending) ");
  EXPECT_EQ(writer_.clipId, second->Object()->iUniq);
  EXPECT_EQ(writer_.strokeColorSet, 1u) << "the cache holds under the same clip";
}

TEST_F(Clip, ChangingTheClipClosesTheOldOneFirst) {
  auto first = RectClip();
  writer_.EmitClip(nullptr, first->Object(), nullptr);
  Take();
  CacheState();
  PendText();
  auto second = RectClip(RECTL{0, 0, 10, 10});
  writer_.EmitClip(nullptr, second->Object(), nullptr);
  EXPECT_EQ(Take(),
            "BT (pending) ET\n"
            "Q q 0 789.6 2.4 2.4 re W* n 0 792 m 2.4 792 l 2.4 789.6 l 0 789.6 l h W* n\n");
  ExpectCacheEmpty();
}

TEST_F(Clip, TrivialClipClosesTheActiveOneAndThenWritesNothing) {
  auto clip = RectClip();
  writer_.EmitClip(nullptr, clip->Object(), nullptr);
  Take();
  CacheState();
  PendText();
  auto trivial = Trivial();
  writer_.EmitClip(nullptr, trivial->Object(), &kInside);
  EXPECT_EQ(Take(), "BT (pending) ET\nQ ");
  ExpectCacheEmpty();
  EXPECT_EQ(writer_.clipId, 0u);
  EXPECT_EQ(writer_.clipText, "");

  CacheState();
  writer_.EmitClip(nullptr, trivial->Object(), &kInside);
  writer_.EmitClip(nullptr, nullptr, nullptr);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.strokeColorSet, 1u) << "no clip was closed, so the cache holds";
}

TEST_F(Clip, NoClipObjectClosesTheActiveClip) {
  auto clip = RectClip();
  writer_.EmitClip(nullptr, clip->Object(), nullptr);
  Take();
  writer_.EmitClip(nullptr, nullptr, &kInside);
  EXPECT_EQ(Take(), "Q ");
  EXPECT_EQ(writer_.clipId, 0u);
}

TEST_F(Clip, ClipWithoutAnIdStillCountsAsActive) {
  auto clip = RectClip();
  clip->Object()->iUniq = 0;
  writer_.EmitClip(nullptr, clip->Object(), nullptr);
  EXPECT_EQ(Take(), kRectClip);
  EXPECT_EQ(writer_.clipId, 0xFFFFFFFFu);
}

TEST_F(Clip, ComplexClipIsItsBoundsAndItsOutline) {
  auto triangle = Polygon({{100, 100}, {300, 100}, {100, 300}});
  auto clip = kq::ClipObject::Path(*triangle, FP_WINDINGMODE, RECTL{0, 0, 2550, 3300});
  ASSERT_NE(clip, nullptr);
  ASSERT_EQ(clip->Object()->iDComplexity, DC_COMPLEX);
  writer_.EmitClip(nullptr, clip->Object(), &kInside);
  const std::string text = Take();
  const RECTL& b = clip->Object()->rclBounds;
  double x0 = b.left, y0 = b.bottom, x1 = b.right, y1 = b.top;
  writer_.DeviceToPdf(x0, y0);
  writer_.DeviceToPdf(x1, y1);
  const std::string rect = "q " + RealToString(x0) + " " + RealToString(y0) + " " + RealToString(x1 - x0) + " " +
                           RealToString(y1 - y0) + " re W* n ";
  ASSERT_EQ(text.substr(0, rect.size()), rect);
  EXPECT_EQ(text.substr(rect.size()), "24 768 m 72 768 l 24 720 l h W* n\n")
      << "the outline is the path itself, which the alternate rule fills the same";
}

TEST_F(Clip, CancelledJobOrNoPageWritesNothing) {
  auto clip = RectClip();
  writer_.cancelled = 1;
  writer_.EmitClip(nullptr, clip->Object(), nullptr);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.clipId, 0u);

  writer_.cancelled = 0;
  writer_.contentStream.reset();
  writer_.EmitClip(nullptr, clip->Object(), nullptr);
  EXPECT_EQ(writer_.clipId, 0u);
}

}  // namespace
