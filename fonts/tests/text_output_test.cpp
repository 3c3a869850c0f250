// The text output path: the opaque background, the text matrix and size from the font's transform (rotation,
// simulated bold and italic, vertical faces with Latin digits), the character source, the colour state and the
// page's font list, golden against the page's content.
#include <cmath>
#include <string>
#include <vector>

#include "font_fixture.h"
#include "pdf/tokens.h"
#include "text_placement.h"
#include "win/enginebrush.h"

namespace {

using fonttest::kDejaVuSans;
using fonttest::kWenQuanYi;

class TextOutTest : public fonttest::FontTest {
 protected:
  TextOutTest() {
    writer_.pageWidthPx = 2550;
    writer_.pageHeightPx = 3300;
    writer_.pointsPerPixel = 72.0 / 300;
    writer_.textWriter.SetDeviceSpace(writer_.pointsPerPixel, writer_.pageHeightPx);
    writer_.contentStream = std::make_unique<std::string>();
  }

  // Draws `text` at `origin` (device pixels) in `font`; the opaque rectangle only when given.
  void Draw(FONTOBJ* font, kq::WStringView text, POINTL origin, ULONG color = 0, const RECTL* opaque = nullptr,
            ULONG opaqueColor = 0xFFFFFF, bool glyphIndices = false) {
    ASSERT_NE(font, nullptr);
    kq::TextRequest request;
    request.text = kq::WString(text);
    request.origin = origin;
    request.glyphIndices = glyphIndices;
    request.batch = 2;  // several batches per call
    auto string = kq::TextString::Build(*FindRealization(font), request);
    ASSERT_NE(string, nullptr);
    auto fore = kq::BrushObject::Solid(color);
    auto back = kq::BrushObject::Solid(opaqueColor);
    writer_.TextOut(nullptr, string->Object(), font, fore->Object(), opaque ? back->Object() : nullptr, opaque,
                    nullptr, R2_COPYPEN);
  }

  kq::RealizedFont* FindRealization(FONTOBJ* font) {
    for (auto& realized : realized_)
      if (realized->Object() == font) return realized.get();
    return nullptr;
  }

  // The content with the pending text ended.
  std::string Content() {
    writer_.textWriter.EndText(*writer_.contentStream);
    return *writer_.contentStream;
  }

  static kq::FontRequest Request(const std::filesystem::path& file) {
    kq::FontRequest request;
    request.file = file;
    return request;
  }

  static std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
  }
};

TEST_F(TextOutTest, UprightTextOnAFreshPage) {
  Draw(Realize(kDejaVuSans), u"Hi", {300, 600}, 0x0000FF);
  const std::uint32_t font = writer_.pageFonts.at(0);
  // The em of 12 points is 50 pixels: the matrix carries it and the size is 1.
  EXPECT_EQ(Content(), "BT 12 0 0 12 0 0 Tm /F" + std::to_string(font) +
                           " 1 Tf 1 0 0 sc 1 0 0 SC 0 Tr 6 54 TD [(Hi)]TJ ET\n");
  EXPECT_EQ(writer_.pageFonts.size(), 1u);
}

TEST_F(TextOutTest, OpaqueBackgroundEndsThePendingTextAndGoesBeforeTheText) {
  FONTOBJ* font = Realize(kDejaVuSans);
  Draw(font, u"A", {300, 600});
  const RECTL box{300, 550, 400, 620};
  Draw(font, u"B", {300, 600}, 0, &box, 0x00FFFF);
  const std::string content = Content();
  const auto background = content.find("1 1 0 sc 1 1 0 SC 72 643.2  24 16.8 re f ");
  ASSERT_NE(background, std::string::npos) << content;
  EXPECT_LT(content.find("(A)]TJ ET\n"), background) << "the first text object is closed before the background";
  EXPECT_GT(content.find("(B)]TJ"), background);
  EXPECT_EQ(Count(content, "BT "), 2u);
}

TEST_F(TextOutTest, WithoutAnOpaqueRectangleTheTextStaysInOneObject) {
  FONTOBJ* font = Realize(kDejaVuSans);
  Draw(font, u"A", {300, 600});
  const RECTL box{300, 550, 400, 620};
  auto string = kq::TextString::Build(*realized_.back(), kq::TextRequest{u"B", {400, 600}});
  auto fore = kq::BrushObject::Solid(0);
  auto back = kq::BrushObject::Solid(0xFFFFFF);
  writer_.TextOut(nullptr, string->Object(), font, fore->Object(), back->Object(), nullptr, nullptr, R2_COPYPEN);
  writer_.TextOut(nullptr, string->Object(), font, fore->Object(), nullptr, &box, nullptr, R2_COPYPEN);
  EXPECT_EQ(*writer_.contentStream, "") << "no background without both its brush and its rectangle";
  const std::string content = Content();
  EXPECT_EQ(Count(content, "BT "), 1u);
  EXPECT_EQ(Count(content, " re f "), 0u);
}

TEST_F(TextOutTest, SimulatedItalicSlantsTheMatrix) {
  kq::FontRequest request = Request(kDejaVuSans);
  request.italic = true;
  Draw(Realize(request), u"x", {300, 600});
  EXPECT_NE(Content().find("BT 12 0 4.104 12 0 0 Tm "), std::string::npos) << *writer_.contentStream;
}

TEST_F(TextOutTest, SimulatedBoldWritesItsWidthOnceAndStrokesTheGlyphs) {
  kq::FontRequest request = Request(kDejaVuSans);
  request.weight = FW_BOLD;
  FONTOBJ* bold = Realize(request);
  Draw(bold, u"Bold", {300, 600});
  Draw(bold, u"er", {300, 700});
  const std::string content = Content();
  EXPECT_EQ(content.rfind("0.24 w BT ", 0), 0u) << content;
  EXPECT_EQ(Count(content, " w "), 1u);
  EXPECT_EQ(Count(content, "2 Tr "), 1u);
  EXPECT_EQ(writer_.lineWidth, 0.24);
}

TEST_F(TextOutTest, BoldWidthInsideAPendingTextObjectFollowsTheTextBeforeIt) {
  FONTOBJ* regular = Realize(kDejaVuSans);
  kq::FontRequest request = Request(kDejaVuSans);
  request.weight = FW_BOLD;
  request.pointSize = 24;
  FONTOBJ* bold = Realize(request);
  writer_.lineWidth = 0.24;  // a stroke's width, which the regular text does not use
  writer_.lineWidthSet = 1;
  Draw(regular, u"a", {300, 600});
  Draw(bold, u"b", {400, 600});
  const std::string content = Content();
  const auto width = content.find("0.48 w ");
  ASSERT_NE(width, std::string::npos) << content;
  EXPECT_LT(content.find("[(a)]TJ "), width);
  EXPECT_LT(width, content.find("(b)"));
  EXPECT_EQ(content.rfind("BT ", 0), 0u) << "the width is inside the text object, after the regular text";
}

TEST_F(TextOutTest, VerticalFaceSetsLatinDigitsHorizontally) {
  kq::FontRequest request = Request(kWenQuanYi);
  request.vertical = true;
  Draw(Realize(request), u"\u6f22" u"12" u"\u5b57", {300, 600});
  const std::string content = Content();
  // Ideographs with the vertical matrix, digits with the horizontal one; each change closes the array.
  const auto first = content.find("0 12 -12 0 0 0 Tm ");
  const auto digits = content.find("12 0 0 12 0 0 Tm ", first);
  const auto second = content.find("0 12 -12 0 0 0 Tm ", digits);
  ASSERT_NE(first, std::string::npos) << content;
  ASSERT_NE(digits, std::string::npos) << content;
  ASSERT_NE(second, std::string::npos) << content;
  EXPECT_EQ(content.find("-0 "), std::string::npos) << "no negated zero: " << content;
  EXPECT_EQ(Count(content, "]TJ "), 3u) << content;
}

TEST_F(TextOutTest, PageFontListHoldsEachResourceOnceInOrderOfFirstUse) {
  FONTOBJ* font = Realize(kDejaVuSans);
  Draw(font, u"AA\u03a9\u03a9A", {300, 600});  // Latin, Greek, Latin again
  ASSERT_EQ(writer_.pageFonts.size(), 2u);
  EXPECT_NE(writer_.pageFonts[0], writer_.pageFonts[1]);
  const std::vector<std::uint32_t> before = writer_.pageFonts;
  Draw(font, u"\u03a9A", {300, 700});
  EXPECT_EQ(writer_.pageFonts, before);
  const std::string content = Content();
  EXPECT_NE(content.find("/F" + std::to_string(before[0]) + " 1 Tf"), std::string::npos);
  EXPECT_NE(content.find("/F" + std::to_string(before[1]) + " 1 Tf"), std::string::npos);
}

TEST_F(TextOutTest, GlyphIndexTextTakesItsCharactersFromTheGlyphSet) {
  FONTOBJ* font = Realize(kDejaVuSans);
  const kq::RealizedFont& realized = *realized_.back();
  const kq::WString indices{static_cast<WCHAR>(realized.GlyphOf(u'O')), static_cast<WCHAR>(realized.GlyphOf(u'k'))};
  ASSERT_NE(indices[0], u'O');
  Draw(font, indices, {300, 600}, 0, nullptr, 0, true);
  EXPECT_NE(Content().find("[(Ok)]TJ"), std::string::npos) << *writer_.contentStream;
}

TEST_F(TextOutTest, TextColourBecomesTheKnownFillAndStrokeColour) {
  FONTOBJ* font = Realize(kDejaVuSans);
  Draw(font, u"", {300, 600}, 0x00FF00);
  EXPECT_EQ(writer_.fillColorSet, 0u) << "nothing shown, nothing written, nothing known";
  EXPECT_EQ(writer_.strokeColorSet, 0u);

  Draw(font, u"red", {300, 600}, 0x0000FF);
  EXPECT_EQ(writer_.fillColorSet, 1u);
  EXPECT_EQ(writer_.fillColor, 0x0000FFu);
  EXPECT_EQ(writer_.strokeColor, 0x0000FFu);
  auto red = kq::BrushObject::Solid(0x0000FF);
  ASSERT_TRUE(writer_.FillRectangle(nullptr, RECTL{0, 0, 10, 10}, red->Object(), 0xF0F0));
  const std::string content = Content();
  EXPECT_EQ(Count(content, " sc "), 1u) << "the rectangle reuses the text's colour: " << content;
}

TEST_F(TextOutTest, CancelledJobOrNoPageWritesNothing) {
  FONTOBJ* font = Realize(kDejaVuSans);
  const RECTL box{300, 550, 400, 620};
  writer_.cancelled = 1;
  Draw(font, u"gone", {300, 600}, 0, &box);
  EXPECT_EQ(Content(), "");
  EXPECT_TRUE(writer_.pageFonts.empty());
  writer_.cancelled = 0;
  writer_.contentStream.reset();
  Draw(font, u"gone", {300, 600}, 0, &box);
  EXPECT_TRUE(writer_.pageFonts.empty());
}

// The matrices and sizes of the font's transform, for transforms the engine's plain text does not make.
class Placement : public ::testing::Test {
 protected:
  Placement() {
    writer_.pointsPerPixel = 72.0 / 300;
    ifi_.fwdUnitsPerEm = 2048;
    ifi_.fwdMaxCharInc = 2047;
  }
  TextPlacement Place(FLONG type, const XFORML* transform) {
    font_.flFontType = type;
    return PlaceText(writer_, font_, ifi_, transform);
  }

  CPDF_DocWriter writer_;
  FONTOBJ font_{};
  IFIMETRICS ifi_{};
  // 12 points at 300 dpi: 50 pixels an em.
  static constexpr FLOATL kScale = 50.0f / 2048;
};

TEST_F(Placement, RotationGoesIntoTheMatrix) {
  // A quarter turn counterclockwise on the page: the baseline runs up (device y falls).
  const XFORML quarter{0, -kScale, kScale, 0, 0, 0};
  const TextPlacement placement = Place(FO_TYPE_TRUETYPE, &quarter);
  EXPECT_EQ(placement.horizontal, (TextMatrix{0, 12, -12, 0}));
  EXPECT_EQ(placement.size, 1.0);
  // In the page's content: the rotated matrix, the size 1, and the glyph placed in the turned text space.
  fonttest::TableFont font;
  font.map[u'R'] = {u'R', 1, 9, 600, false};
  CPDF_TextWriter writer;
  writer.SetDeviceSpace(72.0 / 300, 3300);
  const TextMatrix& m = placement.horizontal;
  ASSERT_EQ(writer.ShowText(u'R', 0, 0, m.a, m.b, m.c, m.d, font, placement.size, 300, 600, 0, false), 9u);
  std::string content;
  writer.EndText(content);
  EXPECT_EQ(content, "BT 0 12 -12 0 0 0 Tm /F9 1 Tf 0 0 0 sc 0 0 0 SC 0 Tr 54 -6 TD [(R)]TJ ET\n");

  // Thirty degrees: the single-precision products come through unchanged.
  const FLOATL c = static_cast<FLOATL>(std::cos(M_PI / 6)) * kScale;
  const FLOATL s = static_cast<FLOATL>(std::sin(M_PI / 6)) * kScale;
  const XFORML thirty{c, -s, s, c, 0, 0};
  const TextPlacement turned = Place(FO_TYPE_TRUETYPE, &thirty);
  std::string text;
  for (double v : {turned.horizontal.a, turned.horizontal.b, turned.horizontal.c, turned.horizontal.d}) {
    text += FormatG(v);
    text += ' ';
  }
  EXPECT_EQ(text, "10.3923 6 -6 10.3923 ");
}

TEST_F(Placement, BoldItalicAndVerticalFaces) {
  const XFORML upright{kScale, 0, 0, kScale, 0, 0};
  TextPlacement p = Place(FO_TYPE_TRUETYPE | FO_SIM_BOLD | FO_SIM_ITALIC, &upright);
  EXPECT_DOUBLE_EQ(p.boldWidth, 0.24);
  EXPECT_EQ(p.horizontal.a, 12);
  EXPECT_EQ(p.horizontal.b, 0);
  EXPECT_DOUBLE_EQ(p.horizontal.c, 0.342 * 12);
  EXPECT_EQ(p.horizontal.d, 12);
  EXPECT_FALSE(p.verticalFace);

  p = Place(FO_TYPE_TRUETYPE | FO_VERT_FACE, &upright);
  EXPECT_TRUE(p.verticalFace);
  EXPECT_EQ(p.vertical, (TextMatrix{0, 12, -12, 0}));
  EXPECT_EQ(p.horizontal, (TextMatrix{12, 0, 0, 12}));

  p = Place(FO_TYPE_TRUETYPE | FO_VERT_FACE | FO_SIM_ITALIC, &upright);
  EXPECT_DOUBLE_EQ(p.vertical.a, 0.342 * 12);
  EXPECT_EQ(p.vertical.b, 12);
  EXPECT_EQ(p.vertical.c, -12);
  EXPECT_EQ(p.vertical.d, 0);

  // Bold measures the em along the glyphs' vertical: |C| when the transform has one.
  const XFORML quarter{0, -kScale, kScale, 0, 0, 0};
  EXPECT_DOUBLE_EQ(Place(FO_SIM_BOLD, &quarter).boldWidth, 0.24);
}

TEST_F(Placement, WithoutATransformTheStyleSizeOrTheWidestAdvance) {
  font_.ulStyleSize = 12;
  font_.cxMax = 60;
  TextPlacement p = Place(FO_TYPE_TRUETYPE | FO_SIM_BOLD | FO_SIM_ITALIC | FO_VERT_FACE, nullptr);
  EXPECT_EQ(p.size, 12);
  EXPECT_EQ(p.horizontal, (TextMatrix{}));
  EXPECT_EQ(p.boldWidth, 0) << "bold, italic and vertical need a transform";
  EXPECT_FALSE(p.verticalFace);

  font_.ulStyleSize = 0;
  EXPECT_DOUBLE_EQ(Place(0, nullptr).size, 2048.0 * 60 / 2048 * 0.24);
  ifi_.fwdMaxCharInc = -1;
  EXPECT_EQ(Place(0, nullptr).size, 0) << "no division by zero";
}

}  // namespace
