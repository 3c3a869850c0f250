#include "pdf/text_writer.h"

#include <cmath>
#include <limits>

#include "font_fixture.h"

namespace {

using fonttest::TableFont;

// One point per device pixel on a US Letter page, so device (x, y) is PDF (x, 792 - y).
class TextWriterTest : public ::testing::Test {
 protected:
  TextWriterTest() {
    writer_.SetDeviceSpace(1.0, 792);
    font_.ascent = 800;
    font_.descent = -200;
    // Letters of width 600, resource 12; "v" resource 20 with a vertical form, "h" resource 21 without one.
    for (WCHAR ch = u'A'; ch <= u'Z'; ++ch) font_.map[ch] = {ch, 1, 12, 600, false};
    font_.map[u'v'] = {0x2D4E, 2, 20, 1000, true};
    font_.map[u'h'] = {u'h', 1, 21, 500, false};
  }

  // Shows `ch` upright (identity matrix) at size 10 in black.
  std::uint32_t Show(WCHAR ch, double x, double y, COLORREF color = 0, double size = 10, bool vertical = false) {
    return writer_.ShowText(ch, 0, color, 1, 0, 0, 1, font_, size, x, y, 0, vertical);
  }

  std::string End() {
    std::string content;
    writer_.EndText(content);
    return content;
  }

  CPDF_TextWriter writer_;
  TableFont font_;
};

TEST_F(TextWriterTest, TwoGlyphsOneAdvanceApartShareOneString) {
  EXPECT_EQ(Show(u'A', 72, 92), 12u);
  EXPECT_EQ(Show(u'B', 78, 92), 12u);  // 600/1000 of 10 points further
  EXPECT_EQ(End(), "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(AB)]TJ ET\n");
  EXPECT_EQ(End(), "") << "nothing is pending after EndText";
}

TEST_F(TextWriterTest, SameBaselineRunsAndLineChanges) {
  struct Case {
    const char* what;
    double x2, y2;
    COLORREF color2;
    double size2;
    const char* expected;
  } cases[] = {
      {"within half a pixel of the pen: no adjustment", 78.4, 92, 0, 10,
       "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(AB)]TJ ET\n"},
      {"further: an adjustment inside the array", 81, 92, 0, 10,
       "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)-300(B)]TJ ET\n"},
      {"back towards the first glyph", 75, 92, 0, 10,
       "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)300(B)]TJ ET\n"},
      {"another baseline: a new line relative to the last", 72, 112, 0, 10,
       "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)]TJ 0 -20 TD [(B)]TJ ET\n"},
      {"a colour change closes the array and starts a line", 78, 92, 0x00336699, 10,
       "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)]TJ 0.6 0.4 0.2 sc 0.6 0.4 0.2 SC 6 0 TD [(B)]TJ ET\n"},
      {"a size change selects the font again", 78, 92, 0, 12,
       "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)]TJ /F12 12 Tf 6 0 TD [(B)]TJ ET\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writer_.Clear();
    Show(u'A', 72, 92);
    Show(u'B', c.x2, c.y2, c.color2, c.size2);
    EXPECT_EQ(End(), c.expected);
  }
}

TEST_F(TextWriterTest, FontMatrixAndRenderChangesAndAFreshObjectAfterEndText) {
  Show(u'A', 72, 92);
  EXPECT_EQ(Show(u'h', 78, 92), 21u);
  EXPECT_EQ(writer_.ShowText(u'B', 0, 0, 2, 0, 0, 2, font_, 10, 100, 92, 0, false), 12u);
  EXPECT_EQ(writer_.ShowText(u'C', 0, 0, 2, 0, 0, 2, font_, 10, 112, 92, 1.5, false), 12u);
  EXPECT_EQ(End(),
            "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)]TJ /F21 10 Tf 6 0 TD [(h)]TJ "
            "2 0 0 2 0 0 Tm /F12 10 Tf 50 350 TD [(B)]TJ \n2 Tr 6 0 TD [(C)]TJ ET\n")
      << "the array closed past 100 bytes ends a line";
  // The next object selects font, colour and render again; the matrix only as it differs from the identity.
  Show(u'D', 72, 92);
  EXPECT_EQ(End(), "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(D)]TJ ET\n");
}

TEST_F(TextWriterTest, CodeBytesAreEscapedAsOctal) {
  const std::pair<WCHAR, MappedChar> codes[] = {
      {u'1', {0x28, 1, 12, 0}}, {u'2', {0x29, 1, 12, 0}}, {u'3', {0x5C, 1, 12, 0}}, {u'4', {0x00, 1, 12, 0}},
      {u'5', {0x1F, 1, 12, 0}}, {u'6', {0x80, 1, 12, 0}}, {u'7', {0xFF, 1, 12, 0}}, {u'8', {0x2D4E, 2, 12, 0}},
  };
  for (const auto& [ch, mapped] : codes) {
    font_.map[ch] = mapped;
    Show(ch, 72, 92);
  }
  EXPECT_EQ(End(), "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(\\050\\051\\134\\000\\037\x80\xffN-)]TJ ET\n");
}

TEST_F(TextWriterTest, AGlyphThatCannotBeShownWritesNothing) {
  Show(u'A', 72, 92);
  const std::string before = writer_.pendingText;
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    WCHAR ch;
    double a, b, c, d, size, x;
  } cases[] = {
      {"no code for the character", u'?', 1, 0, 0, 1, 10, 80},
      {"a singular matrix", u'B', 1, 2, 2, 4, 10, 80},
      {"a size of 0", u'B', 1, 0, 0, 1, 0, 80},
      {"an infinite matrix element", u'B', inf, 0, 0, 1, 10, 80},
      {"a position that is not a number", u'B', 1, 0, 0, 1, 10, nan},
      {"a size that is not a number", u'B', 1, 0, 0, 1, nan, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int calls = font_.calls;
    EXPECT_EQ(writer_.ShowText(c.ch, 0, 0, c.a, c.b, c.c, c.d, font_, c.size, c.x, 92, 0, false), 0u);
    EXPECT_EQ(writer_.pendingText, before);
    EXPECT_EQ(writer_.state, CPDF_TextWriter::kInString);
    if (c.ch == u'B') {
      EXPECT_EQ(font_.calls, calls) << "the font hands out no code for a glyph not shown";
    }
  }
  const std::string content = End();
  EXPECT_EQ(content.find("inf"), std::string::npos);
  EXPECT_EQ(content.find("nan"), std::string::npos);
}

TEST_F(TextWriterTest, ALineBreakFollowsTheArrayThatPassesEachHundredBytes) {
  font_.map[u'A'].resource = 1;
  for (int i = 0; i < 5; ++i) Show(u'A', 72, 92 + 20 * i);
  // 33 bytes of set-up, 13 for the first line, 17 for each further line: the fourth close reaches 102.
  EXPECT_EQ(End(),
            "BT /F1 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)]TJ 0 -20 TD [(A)]TJ 0 -20 TD [(A)]TJ "
            "0 -20 TD [(A)]TJ \n0 -20 TD [(A)]TJ ET\n");

  for (int i = 0; i < 200; ++i) Show(u'A', 72, 92 + (i % 2) * 20);
  const std::string content = End();
  std::size_t start = 0;
  int lines = 0;
  for (std::size_t end = content.find('\n'); end != std::string::npos; end = content.find('\n', start)) {
    const std::string line = content.substr(start, end - start);
    EXPECT_LE(line.size(), 100u + 20u) << line;
    EXPECT_TRUE(line.ends_with("]TJ ") || line.ends_with("ET")) << line;
    start = end + 1;
    ++lines;
  }
  EXPECT_GT(lines, 30);
}

TEST_F(TextWriterTest, VerticalGlyphsFallOneUnitEach) {
  // Identity matrix: u = x, v = y in points; the vertical origin moves by (1000 / 2 - 200) / 1000 = 0.3.
  EXPECT_EQ(Show(u'v', 72, 92, 0, 10, true), 20u);
  Show(u'v', 72, 93, 0, 10, true);  // one unit down, where the pen is
  Show(u'v', 72, 100, 0, 10, true);  // further: an adjustment
  EXPECT_EQ(End(), "BT /F20 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72.3 700 TD [(N-N-)600(N-)]TJ ET\n");
}

TEST_F(TextWriterTest, AHorizontalResourceInsideAVerticalRunTakesItsPlaceInTheColumn) {
  // A run at size 1, as vertical text is shown. Its vertical glyphs hang from their positions, centred at
  // u + 0.3; the horizontally written "h" (width 0.5) goes where they would: u = 72 + 0.3 - 0.25, with its top at
  // its position (its baseline the ascent, 0.8, below), not on it, where it would sit over the glyph before.
  for (const WCHAR ch : {u'v', u'h'}) {
    SCOPED_TRACE(static_cast<char>(ch));
    font_.map[u'v'].resource = 12;
    font_.map[u'h'].resource = ch == u'v' ? 12 : 21;
    writer_.Clear();
    Show(u'v', 72, 92, 0, 1, true);
    EXPECT_EQ(Show(u'h', 72, 93, 0, 1, true), ch == u'v' ? 12u : 21u);
    EXPECT_DOUBLE_EQ(writer_.lineX, 72.05);
    EXPECT_DOUBLE_EQ(writer_.lineY, 699 - 0.8);
    // The next vertical glyph goes back to the column's centre line.
    Show(u'v', 72, 94, 0, 1, true);
    EXPECT_DOUBLE_EQ(writer_.lineX, 72.3);
    EXPECT_DOUBLE_EQ(writer_.penY, 697);
  }
  EXPECT_EQ(End(), "BT /F12 1 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72.3 700 TD [(N-)]TJ /F21 1 Tf -0.25 -1.8 TD [(h)]TJ "
                   "/F12 1 Tf 0.25 -0.2 TD [(N-)]TJ ET\n");
}

TEST_F(TextWriterTest, ClearDropsPendingTextAndKeepsTheDeviceSpace) {
  writer_.ShowText(u'A', 0, 0, 2, 0, 0, 2, font_, 10, 72, 92, 0, false);
  writer_.Clear();
  EXPECT_EQ(writer_.state, CPDF_TextWriter::kIdle);
  EXPECT_TRUE(writer_.pendingText.empty());
  EXPECT_EQ(writer_.matrixA, 1);
  EXPECT_EQ(writer_.matrixD, 1);
  EXPECT_EQ(writer_.penX, 0);
  EXPECT_EQ(writer_.lineY, 0);
  EXPECT_EQ(End(), "");
  Show(u'A', 72, 92);
  EXPECT_EQ(End(), "BT /F12 10 Tf 0 0 0 sc 0 0 0 SC 0 Tr 72 700 TD [(A)]TJ ET\n");
}

}  // namespace
