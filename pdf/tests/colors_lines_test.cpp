// Colours, widths, caps, joins and dashes, written only on change, and the painting of paths, lines and solid
// rectangles, golden against the page's content.
#include <cstring>
#include <string>

#include "page_content_fixture.h"
#include "win/enginepath.h"

namespace {

constexpr MIX kCopyPen = R2_COPYPEN | (R2_COPYPEN << 8);

class Painting : public PageContentTest {
 protected:
  // A triangle whose operators in PDF points are kTriangle.
  std::unique_ptr<kq::PathObject> Triangle() { return Polygon({{100, 100}, {200, 100}, {100, 200}}); }
  static constexpr char kTriangle[] = "24 768 m 48 768 l 24 744 l h ";
  // The same triangle in device pixels, as written under the device matrix.
  static constexpr char kTrianglePixels[] = "100 100 m 200 100 l 100 200 l h ";
  static constexpr char kDeviceMatrix[] = "q 0.24 0 0 -0.24 0 792 cm ";

  void Stroke(kq::PathObject& path, ULONG color, LINEATTRS* line, MIX mix = kCopyPen, XFORMOBJ* xform = nullptr) {
    auto brush = Solid(color);
    writer_.StrokeFillPath(nullptr, path.Object(), xform, brush->Object(), nullptr, nullptr, line, mix, 0);
  }
  void Fill(kq::PathObject& path, ULONG color, FLONG options, MIX mix = kCopyPen) {
    auto brush = Solid(color);
    writer_.StrokeFillPath(nullptr, path.Object(), nullptr, nullptr, brush->Object(), nullptr, nullptr, mix, options);
  }
};

TEST_F(Painting, ColoursAreWrittenOnChangeOnly) {
  std::string out;
  writer_.SetStrokeColor(out, 0x0000FF);
  writer_.SetStrokeColor(out, 0x0000FF);
  writer_.SetFillColor(out, 0x000080);
  writer_.SetFillColor(out, 0xFFFFFFFF);
  writer_.SetFillColor(out, 0x00FFFFFF);
  EXPECT_EQ(out, "1 0 0 SC 0.502 0 0 sc 1 1 1 sc 1 1 1 sc ")
      << "the cache compares all 32 bits, so the last two are both written";
  out.clear();
  writer_.SetLineDash(out, "[] 0 d ");
  writer_.SetLineDash(out, "[] 0 d ");
  EXPECT_EQ(out, "[] 0 d ");
}

TEST_F(Painting, CosmeticStrokeOnAFreshPage) {
  auto triangle = Triangle();
  auto pen = kq::LineAttributes::Cosmetic();
  Stroke(*triangle, 0x0000FF, pen.Object());
  EXPECT_EQ(Take(), std::string("0.24 w 0 J 0 j [] 0 d 1 0 0 SC ") + kTriangle + "S \n");
  Stroke(*triangle, 0x0000FF, pen.Object());
  EXPECT_EQ(Take(), std::string("0 J 0 j ") + kTriangle + "S \n") << "width, dash and colour are current";
}

TEST_F(Painting, PaintingOperatorFollowsBrushesAndFillMode) {
  struct Case {
    bool stroke;
    FLONG options;
    const char* op;
  } cases[] = {
      {false, FP_WINDINGMODE, "f "},         {false, FP_ALTERNATEMODE, "f* "}, {false, 0, "n "},
      {true, FP_WINDINGMODE, "B "},          {true, FP_ALTERNATEMODE, "B* "},  {true, 0, "S "},
      {true, FP_WINDINGMODE | FP_ALTERNATEMODE, "B "},
  };
  auto triangle = Triangle();
  auto brush = Solid(0);
  for (const auto& c : cases) {
    writer_.StrokeFillPath(nullptr, triangle->Object(), nullptr, c.stroke ? brush->Object() : nullptr,
                           brush->Object(), nullptr, nullptr, kCopyPen, c.options);
    const std::string text = Take();
    const std::string end = std::string(kTriangle) + c.op + "\n";
    ASSERT_GE(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
  }
}

TEST_F(Painting, FillOnlyWritesTheOnePixelWidthAndTheSolidDashFirst) {
  auto triangle = Triangle();
  Fill(*triangle, 0x00FF00, FP_WINDINGMODE);
  EXPECT_EQ(Take(), std::string("0.24 w 0 J 0 j [] 0 d 0 1 0 sc ") + kTriangle + "f \n");
  Fill(*triangle, 0x00FF00, FP_ALTERNATEMODE);
  EXPECT_EQ(Take(), std::string("0 J 0 j ") + kTriangle + "f* \n") << "the same fill colour is written once";
}

TEST_F(Painting, MixCodesThatGiveAColour) {
  struct Case {
    ULONG code;
    const char* color;  // nothing written when null
  } cases[] = {
      {R2_COPYPEN, "0 0.502 1 SC "},
      {R2_NOTCOPYPEN, "1 0.498 0 SC "},
      {R2_BLACK, "0 0 0 SC "},
      {R2_WHITE, "1 1 1 SC "},
      {R2_XORPEN, nullptr},
      {R2_NOP, nullptr},
      {R2_MERGEPEN, nullptr},
  };
  auto triangle = Triangle();
  auto pen = kq::LineAttributes::Cosmetic();
  for (const auto& c : cases) {
    writer_.ResetGraphicsState();
    PendText();
    Stroke(*triangle, 0xFF8000, pen.Object(), c.code | (c.code << 8));
    const std::string text = Take();
    if (!c.color) {
      EXPECT_EQ(text, "") << "code " << c.code;
      EXPECT_EQ(writer_.textWriter.pendingText, "(pending) ") << "nothing drawn, so the text stays pending";
      writer_.textWriter.EndText(*writer_.contentStream);
      Take();
      continue;
    }
    EXPECT_EQ(text, std::string("BT (pending) ET\n0.24 w 0 J 0 j [] 0 d ") + c.color + kTriangle + "S \n")
        << "code " << c.code;
  }
}

TEST_F(Painting, FillTakesItsCodeFromTheMixsSecondByte) {
  auto triangle = Triangle();
  Fill(*triangle, 0x123456, FP_WINDINGMODE, R2_COPYPEN | (R2_WHITE << 8));
  EXPECT_EQ(Take(), std::string("0.24 w 0 J 0 j [] 0 d 1 1 1 sc ") + kTriangle + "f \n");
  Fill(*triangle, 0x123456, FP_WINDINGMODE, R2_COPYPEN | (R2_XORPEN << 8));
  EXPECT_EQ(Take(), "");
}

TEST_F(Painting, PatternBrushesAreLeftToThePageBitmapNeverPaintedWhiteOrBlack) {
  auto hatch = kq::BrushObject::Hatch(kq::HS_CROSS, 0x0000FF, 0xFFFFFF);
  auto triangle = Triangle();
  for (MIX mix : {kCopyPen, static_cast<MIX>(R2_NOTCOPYPEN << 8)}) {
    writer_.StrokeFillPath(nullptr, triangle->Object(), nullptr, nullptr, hatch->Object(), nullptr, nullptr, mix,
                           FP_WINDINGMODE);
    EXPECT_EQ(Take(), "");
  }
  EXPECT_EQ(writer_.dirtyRects.Count(), 0u) << "vector mode keeps no dirty list";
  writer_.gdiPunt = 1;
  writer_.StrokeFillPath(nullptr, triangle->Object(), nullptr, nullptr, hatch->Object(), nullptr, nullptr, kCopyPen,
                         FP_WINDINGMODE);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.dirtyRects.Count(), 1u);
}

// A stroke left to the page bitmap leaves every pixel its pen reaches: a wide horizontal line has rows above and
// below its points, and the corners of square caps and mitres reach further.
TEST_F(Painting, StrokesLeftToThePageBitmapLeaveThePensReach) {
  writer_.gdiPunt = 1;
  auto line = Polygon({{100, 200}, {300, 200}});
  auto corner = Polygon({{100, 200}, {300, 200}, {100, 190}});  // a sharp join at (300, 200)
  kq::TransformObject twice(XFORML{2, 0, 0, 2, 0, 0});
  const MIX xor2 = R2_XORPEN | (R2_XORPEN << 8);
  const struct {
    const char* what;
    kq::PathObject* path;
    kq::LineAttributes pen;
    XFORMOBJ* transform;
    RECTL region;
  } cases[] = {
      {"cosmetic", line.get(), kq::LineAttributes::Cosmetic(), nullptr, {98, 198, 302, 202}},
      {"33 pixels, round", line.get(), kq::LineAttributes::Geometric(33, JOIN_ROUND, ENDCAP_ROUND), nullptr,
       {82, 182, 318, 218}},
      {"33 pixels, square caps", line.get(), kq::LineAttributes::Geometric(33, JOIN_ROUND, ENDCAP_SQUARE), nullptr,
       {75, 175, 325, 225}},
      {"doubled by the transform", line.get(), kq::LineAttributes::Geometric(16, JOIN_ROUND, ENDCAP_BUTT),
       twice.Object(), {83, 183, 317, 217}},
      {"mitre limit 4", corner.get(), kq::LineAttributes::Geometric(10, JOIN_MITER, ENDCAP_BUTT, 4), nullptr,
       {79, 169, 321, 221}},
  };
  for (const auto& c : cases) {
    writer_.dirtyRects.Clear();
    Stroke(*c.path, 0, const_cast<kq::LineAttributes&>(c.pen).Object(), xor2, c.transform);
    EXPECT_EQ(Take(), "") << c.what;
    ASSERT_EQ(writer_.dirtyRects.Count(), 1u) << c.what;
    const RECTL& r = writer_.dirtyRects[0];
    EXPECT_TRUE(r.left == c.region.left && r.top == c.region.top && r.right == c.region.right &&
                r.bottom == c.region.bottom)
        << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}

TEST_F(Painting, GeometricPenCapsAndJoins) {
  struct Case {
    ULONG cap, join;
    const char* text;
  } cases[] = {
      {ENDCAP_ROUND, JOIN_ROUND, "1 J 1 j "},
      {ENDCAP_SQUARE, JOIN_BEVEL, "2 J 2 j "},
      {ENDCAP_BUTT, JOIN_MITER, "0 J 0 j 10 M "},
      {7, 9, ""},
  };
  auto triangle = Triangle();
  for (const auto& c : cases) {
    auto pen = kq::LineAttributes::Geometric(6.25f, c.join, c.cap, 10);
    writer_.ResetGraphicsState();
    Stroke(*triangle, 0, pen.Object());
    EXPECT_EQ(Take(), std::string("1.5 w 1.5 w ") + c.text + "[] 0 d 0 0 0 SC " + kTriangle + "S \n");
  }
}

TEST_F(Painting, GeometricWidthIsWrittenTwiceWhenItChangesAndOnceWhenNot) {
  auto triangle = Triangle();
  auto pen = kq::LineAttributes::Geometric(1.5f, JOIN_ROUND, ENDCAP_ROUND);
  kq::TransformObject identity(XFORML{1, 0, 0, 1, 0, 0});
  Stroke(*triangle, 0, pen.Object(), kCopyPen, identity.Object());
  EXPECT_EQ(Take(), std::string(kDeviceMatrix) + "1.5 w 1.5 w 1 J 1 j [] 0 d 0 0 0 SC " + kTrianglePixels +
                        "S Q \n");
  writer_.lineWidth = 1.5;
  writer_.lineWidthSet = 1;
  writer_.dashText = "[] 0 d ";
  writer_.strokeColor = 0;
  writer_.strokeColorSet = 1;
  Stroke(*triangle, 0, pen.Object(), kCopyPen, identity.Object());
  EXPECT_EQ(Take(), std::string(kDeviceMatrix) + "1.5 w 1 J 1 j " + kTrianglePixels + "S Q \n");
}

TEST_F(Painting, TransformedStrokeLeavesTheCacheEmpty) {
  auto triangle = Triangle();
  auto pen = kq::LineAttributes::Cosmetic();
  kq::TransformObject identity(XFORML{1, 0, 0, 1, 0, 0});
  Stroke(*triangle, 0x0000FF, pen.Object(), kCopyPen, identity.Object());
  Take();
  EXPECT_EQ(writer_.strokeColorSet, 0u);
  EXPECT_EQ(writer_.lineWidthSet, 0u);
  EXPECT_EQ(writer_.dashText, "");
  Stroke(*triangle, 0x0000FF, pen.Object());
  EXPECT_EQ(Take(), std::string("0.24 w 0 J 0 j [] 0 d 1 0 0 SC ") + kTriangle + "S \n");
}

TEST_F(Painting, WidthUnderATransformScalesByItsAreaFactor) {
  struct Case {
    const char* what;
    XFORML matrix;
    const char* width;
  } cases[] = {
      {"scale 2", {2, 0, 0, 2, 0, 0}, "3"},
      {"rotated a quarter turn, scale 2", {0, 2, -2, 0, 0, 0}, "3"},
      {"mirrored", {-1, 0, 0, 1, 0, 0}, "1.5"},
      {"half turn", {-1, 0, 0, -1, 0, 0}, "1.5"},
      {"stretched 4 by 1", {4, 0, 0, 1, 0, 0}, "3"},
  };
  auto triangle = Triangle();
  auto pen = kq::LineAttributes::Geometric(1.5f, JOIN_ROUND, ENDCAP_ROUND);
  for (const auto& c : cases) {
    kq::TransformObject transform(c.matrix);
    Stroke(*triangle, 0, pen.Object(), kCopyPen, transform.Object());
    const std::string expected = std::string(kDeviceMatrix) + c.width + " w " + c.width + " w ";
    EXPECT_EQ(Take().substr(0, expected.size()), expected) << c.what;
  }
  auto cosmetic = kq::LineAttributes::Cosmetic(2);
  kq::TransformObject rotated(XFORML{0, 1, -1, 0, 0, 0});
  Stroke(*triangle, 0, cosmetic.Object(), kCopyPen, rotated.Object());
  EXPECT_EQ(Take().substr(0, std::string(kDeviceMatrix).size() + 12), std::string(kDeviceMatrix) + "2 w 0 J 0 j ");
}

// A styled pen's dashes in the line's units: a geometric pen's pixels in points (or in pixels scaled as the width
// under a transform), a cosmetic pen's style units of a third of an inch; a dot is a dash of length 0.
TEST_F(Painting, StyledPensAreDashedInTheLinesUnits) {
  auto triangle = Triangle();
  kq::TransformObject twice(XFORML{2, 0, 0, 2, 0, 0});
  const struct {
    const char* what;
    kq::LineAttributes pen;
    XFORMOBJ* transform;
    const char* dash;
  } cases[] = {
      {"dashed", kq::LineAttributes::Geometric(1.5f, JOIN_ROUND, ENDCAP_BUTT, 10, {6, 3}), nullptr, "[1.44 0.72] 0 d "},
      {"dotted", kq::LineAttributes::Geometric(4, JOIN_ROUND, ENDCAP_ROUND, 10, {0, 10}), nullptr, "[0 2.4] 0 d "},
      {"square dots", kq::LineAttributes::Geometric(4, JOIN_ROUND, ENDCAP_SQUARE, 10, {0, 10}), nullptr,
       "[0.001 2.4] 0 d "},
      {"odd count", kq::LineAttributes::Geometric(1, JOIN_ROUND, ENDCAP_BUTT, 10, {5, 10, 20}), nullptr,
       "[1.2 2.4 4.8] 0 d "},
      {"gap first", kq::LineAttributes::Geometric(1, JOIN_ROUND, ENDCAP_BUTT, 10, {6, 3}, LA_STARTGAP), nullptr,
       "[1.44 0.72] 1.44 d "},
      {"begun 3 pixels in", kq::LineAttributes::Geometric(1, JOIN_ROUND, ENDCAP_BUTT, 10, {6, 3}, 0, 3), nullptr,
       "[1.44 0.72] 0.72 d "},
      {"under a transform", kq::LineAttributes::Geometric(1, JOIN_ROUND, ENDCAP_BUTT, 10, {6, 3}), twice.Object(),
       "[12 6] 0 d "},
      {"cosmetic", kq::LineAttributes::Cosmetic(1, {1, 2}), nullptr, "[24 48] 0 d "},
      {"all zero", kq::LineAttributes::Geometric(1, JOIN_ROUND, ENDCAP_ROUND, 10, {0, 0}), nullptr, "[] 0 d "},
      {"too short to write", kq::LineAttributes::Geometric(1, JOIN_ROUND, ENDCAP_BUTT, 10, {0.001f, 0.0015f}),
       nullptr, "[] 0 d "},
  };
  for (const auto& c : cases) {
    writer_.ResetGraphicsState();
    Stroke(*triangle, 0, const_cast<kq::LineAttributes&>(c.pen).Object(), kCopyPen, c.transform);
    const std::string text = Take();
    EXPECT_NE(text.find(c.dash), std::string::npos) << c.what << ": " << text;
    EXPECT_EQ(text.find(" d "), text.find(c.dash) + std::strlen(c.dash) - 3) << c.what << ": one pattern";
  }
  // The pattern is written on change only, and a solid pen after it writes the solid one.
  writer_.ResetGraphicsState();
  auto dashed = kq::LineAttributes::Geometric(1.5f, JOIN_ROUND, ENDCAP_BUTT, 10, {6, 3});
  Stroke(*triangle, 0, dashed.Object());
  Take();
  Stroke(*triangle, 0, dashed.Object());
  EXPECT_EQ(Take().find(" d "), std::string::npos);
  auto solid = kq::LineAttributes::Geometric(1.5f, JOIN_ROUND, ENDCAP_BUTT);
  Stroke(*triangle, 0, solid.Object());
  EXPECT_NE(Take().find("[] 0 d "), std::string::npos);
}

TEST_F(Painting, LineBetweenPixelCentres) {
  auto black = Solid(0);
  writer_.LineTo(nullptr, 10, 20, 110, 20, black->Object(), R2_COPYPEN);
  EXPECT_EQ(Take(), "0 0 0 SC 0.24 w [] 0 d 2.52 787.08 m 26.52 787.08 l S ");
  PendText();
  writer_.LineTo(nullptr, 110, 20, 110, 120, black->Object(), R2_COPYPEN);
  EXPECT_EQ(Take(), "BT (pending) ET\n26.52 787.08 m 26.52 763.08 l S ");
}

TEST_F(Painting, LineWithAMixWithoutAColourWritesNothing) {
  auto black = Solid(0);
  for (MIX mix : {R2_NOP, R2_XORPEN, R2_NOT}) {
    PendText();
    writer_.LineTo(nullptr, 10, 20, 110, 20, black->Object(), mix);
    EXPECT_EQ(Take(), "") << mix;
    EXPECT_EQ(writer_.textWriter.pendingText, "(pending) ");
  }
  writer_.LineTo(nullptr, 10, 20, 110, 20, black->Object(), R2_WHITE);
  EXPECT_EQ(Take(), "BT (pending) ET\n1 1 1 SC 0.24 w [] 0 d 2.52 787.08 m 26.52 787.08 l S ");
}

TEST_F(Painting, SolidRectangles) {
  const RECTL rect{100, 100, 300, 200};
  struct Case {
    ROP4 rop;
    bool solidBrush;
    BOOL result;
    const char* text;
  } cases[] = {
      {0xF0F0, true, TRUE, "1 0.502 0 sc 24 744 48 24 re f\n"},
      {0x0F0F, true, TRUE, "0 0.498 1 sc 24 744 48 24 re f\n"},
      {0x0000, false, TRUE, "0 0 0 sc 24 744 48 24 re f\n"},
      {0xFFFF, false, TRUE, "1 1 1 sc 24 744 48 24 re f\n"},
      {0xF0F0, false, FALSE, ""},
      {0x0F0F, false, FALSE, ""},
      {0x00AA, true, FALSE, ""},
      {0xCCCC, true, FALSE, ""},
  };
  auto solid = Solid(0x0080FF);
  auto hatch = kq::BrushObject::Hatch(kq::HS_CROSS, 0, 0xFFFFFF);
  for (const auto& c : cases) {
    writer_.ResetGraphicsState();
    BRUSHOBJ* brush = c.solidBrush ? solid->Object() : hatch->Object();
    EXPECT_EQ(writer_.FillRectangle(nullptr, rect, brush, c.rop), c.result) << std::hex << c.rop;
    EXPECT_EQ(Take(), c.text) << std::hex << c.rop;
  }
  EXPECT_EQ(writer_.FillRectangle(nullptr, rect, nullptr, 0x0000), TRUE) << "black needs no brush";
  EXPECT_EQ(Take(), "0 0 0 sc 24 744 48 24 re f\n");
  PendText();
  EXPECT_EQ(writer_.FillRectangle(nullptr, rect, solid->Object(), 0xF0F0), TRUE);
  EXPECT_EQ(Take(), "BT (pending) ET\n1 0.502 0 sc 24 744 48 24 re f\n");
}

TEST_F(Painting, CancelledJobWritesNothing) {
  writer_.cancelled = 1;
  auto triangle = Triangle();
  auto brush = Solid(0);
  Fill(*triangle, 0, FP_WINDINGMODE);
  writer_.LineTo(nullptr, 0, 0, 10, 10, brush->Object(), R2_COPYPEN);
  EXPECT_EQ(writer_.FillRectangle(nullptr, RECTL{0, 0, 10, 10}, brush->Object(), 0xCCCC), TRUE)
      << "even an operation without a colour counts as done";
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.fillColorSet, 0u);
}

}  // namespace
