// Drawing ops printed through the application side and the real libtelodrv.so as PDF vectors, judged by outside
// readers: qpdf checks the file, pdftotext gives the text back, pdffonts names the fonts, and the page rendered by
// pdftoppm shows a filled shape's colour and a clip hiding what it should.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "endtoend_fixture.h"
#include "picture.h"

namespace e2e {
namespace {

using Json = nlohmann::ordered_json;

class VectorEndToEnd : public EndToEndTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"qpdf", "pdftotext", "pdffonts", "pdftoppm"})
      if (RunCommand(std::string("command -v ") + tool).status != 0) GTEST_SKIP() << tool << " is not installed";
  }

  // A one-page Letter job at 300 dpi of `ops` in vector or transparent mode.
  static kqprint::PrintJob OnePage(Json ops, bool transparent = false) {
    Json job = {{"document", "Vectors"},
                {"settings", {{"PaperSize", 1}, {"DPI", 300}, {"GDIPunt", transparent ? 1 : 0}, {"OpenFile", 0}}},
                {"pages", Json::array({{{"ops", std::move(ops)}}})}};
    return kqprint::ParseJob(job, "/");
  }

  std::filesystem::path PrintOk(const kqprint::PrintJob& job, const std::string& name) {
    const auto file = out / name;
    const auto outcome = Print(job, file);
    EXPECT_TRUE(outcome.printed) << outcome.failure << "\n" << JournalText();
    EXPECT_TRUE(Boxes().empty()) << JournalText();
    ExpectQpdfCheckPasses(file);
    return file;
  }
};

Json Text(double x, double y, const char* file, const char* text, const char* color = "#000000") {
  return {{"op", "text"}, {"at", {x, y}}, {"font", {{"file", file}, {"size", 14}}}, {"color", color},
          {"text", text}};
}

TEST_F(VectorEndToEnd, TextComesBackExactlyInEveryScript) {
  const char* const scripts[] = {"Hello, vector world", "\u0391\u03b8\u03ae\u03bd\u03b1 \u03ba\u03b1\u03b9",
                                 "\u041c\u043e\u0441\u043a\u0432\u0430 \u0438", "\u4e2d\u6587\u6587\u672c"};
  // Named fonts (no embedding) and embedded ones.
  for (int fontEmbed : {0, 2}) {
    SCOPED_TRACE("FontEmbed " + std::to_string(fontEmbed));
    kqprint::PrintJob job = OnePage(Json::array({
        Text(72, 100, "DejaVuSans.ttf", scripts[0]),
        Text(72, 130, "DejaVuSans.ttf", scripts[1]),
        Text(72, 160, "DejaVuSans.ttf", scripts[2]),
        Text(72, 190, "wqy-microhei.ttc", scripts[3]),
    }));
    job.settings.push_back({"FontEmbed", fontEmbed});
    const auto file = PrintOk(job, "scripts" + std::to_string(fontEmbed) + ".pdf");
    const CommandResult text = RunCommand("pdftotext -enc UTF-8 -layout " + Quote(file.string()) + " -");
    ASSERT_EQ(text.status, 0) << text.output;
    for (const char* expected : scripts)
      EXPECT_NE(text.output.find(expected), std::string::npos) << expected << " in:\n" << text.output;

    const CommandResult fonts = RunCommand("pdffonts " + Quote(file.string()));
    ASSERT_EQ(fonts.status, 0) << fonts.output;
    if (fontEmbed == 0) {
      // The named fonts with their encodings: Latin in WinAnsi, Greek and Cyrillic in encodings of their own, the
      // ideographs through a predefined CMap of a CID font.
      for (const char* expected : {"DejaVu Sans                          TrueType          WinAnsi",
                                   "DejaVu Sans                          TrueType          Custom",
                                   "WenQuanYi Micro Hei                  CID TrueType      Uni"})
        EXPECT_NE(fonts.output.find(expected), std::string::npos) << expected << " in:\n" << fonts.output;
      EXPECT_NE(fonts.output.find("-UCS2-H"), std::string::npos) << fonts.output;
    } else {
      EXPECT_NE(fonts.output.find("DejaVu Sans+"), std::string::npos) << fonts.output;
      EXPECT_NE(fonts.output.find("Identity-H       yes"), std::string::npos) << fonts.output;
    }
  }
}

TEST_F(VectorEndToEnd, TheSamplePrintsAndItsTextReadsBack) {
  const auto sample = std::filesystem::path(KQ_SOURCE_DIR) / "examples" / "sample.json";
  const kqprint::PrintJob job = kqprint::ReadJobFile(sample);
  const auto file = PrintOk(job, "sample.pdf");
  const CommandResult text = RunCommand("pdftotext -enc UTF-8 -f 1 -l 1 " + Quote(file.string()) + " -");
  ASSERT_EQ(text.status, 0) << text.output;
  std::size_t texts = 0;
  for (const auto& op : job.pages.at(0).ops) {
    if (op.op != "text") continue;
    std::string expected = op.fields["text"].get<std::string>();
    expected.erase(0, expected.find_first_not_of(' '));
    expected.erase(expected.find_last_not_of(' ') + 1);
    EXPECT_NE(text.output.find(expected), std::string::npos) << expected << " in:\n" << text.output;
    ++texts;
  }
  EXPECT_GE(texts, 5u);
}

TEST_F(VectorEndToEnd, ShapesKeepTheirColoursAndTheClipHidesWhatLiesOutside) {
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent mode" : "vector mode");
    const Json ops = Json::array({
        {{"op", "rect"}, {"rect", {72, 72, 144, 144}}, {"fill", "#ff0000"}},
        {{"op", "clip"}, {"rect", {216, 72, 252, 144}}},
        {{"op", "path"}, {"d", "M 216 72 L 288 72 L 288 144 L 216 144 Z"}, {"fill", "#0000ff"}},
        {{"op", "unclip"}},
        {{"op", "line"}, {"from", {72, 216}}, {"to", {288, 216}},
         {"stroke", {{"color", "#00ff00"}, {"width", 6}, {"cap", "butt"}}}},
        {{"op", "clip"}, {"d", "M 72 288 L 144 288 L 72 360 Z"}},
        {{"op", "rect"}, {"rect", {72, 288, 144, 360}}, {"fill", "#ff00ff"}},
    });
    const auto file = PrintOk(OnePage(ops, transparent), transparent ? "shapes-t.pdf" : "shapes-v.pdf");
    const auto picture = Render(file, 72);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 612);
    const struct {
      const char* what;
      int x, y;
      std::array<int, 3> color;
    } probes[] = {
        {"the red rectangle", 108, 108, {255, 0, 0}},
        {"beside it", 180, 108, {255, 255, 255}},
        {"the blue square inside its clip", 234, 108, {0, 0, 255}},
        {"the blue square outside its clip", 270, 108, {255, 255, 255}},
        {"the green line", 180, 216, {0, 255, 0}},
        {"below the green line", 180, 224, {255, 255, 255}},
        {"the magenta square inside the triangle", 84, 300, {255, 0, 255}},
        {"the magenta square outside the triangle", 132, 348, {255, 255, 255}},
    };
    for (const auto& probe : probes)
      EXPECT_TRUE(Near(picture->At(probe.x, probe.y), probe.color))
          << probe.what << ": " << picture->At(probe.x, probe.y)[0] << " " << picture->At(probe.x, probe.y)[1]
          << " " << picture->At(probe.x, probe.y)[2];
    if (!transparent) {
      const CommandResult images = RunCommand("pdfimages -list " + Quote(file.string()));
      EXPECT_EQ(std::count(images.output.begin(), images.output.end(), '\n'), 2) << "vectors only:\n" << images.output;
    }
  }
}

TEST_F(VectorEndToEnd, CurvesDashesAndMixesArrive) {
  const Json ops = Json::array({
      {{"op", "path"},
       {"d", "M 72 72 C 100 40 140 40 168 72 L 168 144 Z"},
       {"stroke", {{"color", "#000000"}, {"width", 2}, {"dash", {6, 3}}, {"join", "miter"}}},
       {"fill", {{"color", "#00ff00"}, {"rule", "evenodd"}}}},
      {{"op", "line"}, {"from", {72, 200}}, {"to", {300, 200}}, {"stroke", "#0000ff"}},
      {{"op", "rect"}, {"rect", {72, 250, 144, 300}}, {"fill", "#ffff00"}, {"rop", "patcopy"}},
      {{"op", "line"}, {"from", {72, 320}}, {"to", {300, 320}}, {"stroke", "#ff0000"}, {"mix", "xorpen"}},
  });
  const auto file = PrintOk(OnePage(ops), "curves.pdf");
  const auto picture = Render(file, 72);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(Near(picture->At(120, 100), {0, 255, 0})) << "the filled curve";
  EXPECT_TRUE(Near(picture->At(108, 275), {255, 255, 0})) << "the yellow rectangle";
  EXPECT_TRUE(Near(picture->At(200, 320), {255, 255, 255})) << "an XOR line has no colour of its own in vectors";

  // The curve bulges above its chord (y 72) to y 48 at x 120: the fill follows it, and the stroke runs along it.
  const auto fine = Render(file, 288);
  ASSERT_TRUE(fine);
  EXPECT_TRUE(Near(fine->At(120 * 4, 56 * 4), {0, 255, 0})) << "the fill inside the bulge";
  EXPECT_TRUE(Near(fine->At(120 * 4, 44 * 4), {255, 255, 255})) << "nothing above the curve";
  int onCurve = 0;
  for (int dy = -6; dy <= 6; ++dy) onCurve += fine->At(120 * 4, 48 * 4 + dy)[0] < 80 ? 1 : 0;
  EXPECT_GT(onCurve, 0) << "the stroke at the top of the curve";
  // The right edge, dashed 6 on and 3 off, arrives dashed: dark and light by turns down the edge.
  int dark = 0;
  for (int y = 76 * 4; y < 140 * 4; ++y) dark += fine->At(168 * 4, y)[1] < 80 ? 1 : 0;
  EXPECT_GT(dark, 64 * 4 / 2) << "the dashes";
  EXPECT_LT(dark, 64 * 4 * 9 / 10) << "the gaps between them";
}

// The dark runs along a row of a rendering from x0 to x1: one per dash or dot.
std::vector<int> DarkRuns(const Picture& picture, int y, int x0, int x1) {
  std::vector<int> runs;
  bool inRun = false;
  for (int x = x0; x < x1; ++x) {
    const bool darkHere = picture.At(x, y)[0] < 128;
    if (darkHere && !inRun) runs.push_back(0);
    if (darkHere) ++runs.back();
    inRun = darkHere;
  }
  return runs;
}

// Dashed and dotted lines as documents draw them: a geometric pen's dashes, dots of zero length drawn by round and
// square caps, and a cosmetic pen's styled dashes, each with its pattern in the PDF and its gaps in the pixels,
// in vector and in transparent mode.
TEST_F(VectorEndToEnd, DashedAndDottedLinesHaveTheirGaps) {
  const Json ops = Json::array({
      {{"op", "line"}, {"from", {72, 100}}, {"to", {372, 100}},
       {"stroke", {{"color", "#000000"}, {"width", 2}, {"dash", {12, 6}}, {"cap", "butt"}}}},
      {{"op", "line"}, {"from", {72, 150}}, {"to", {372, 150}},
       {"stroke", {{"color", "#000000"}, {"width", 3}, {"dash", {0, 9}}, {"cap", "round"}}}},
      {{"op", "line"}, {"from", {72, 200}}, {"to", {372, 200}},
       {"stroke", {{"color", "#000000"}, {"width", 3}, {"dash", {0, 9}}, {"cap", "square"}}}},
      {{"op", "line"}, {"from", {72, 250}}, {"to", {372, 250}},
       {"stroke", {{"color", "#000000"}, {"dash", {24, 24}}}}},
  });
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent" : "vector");
    const auto file = PrintOk(OnePage(ops, transparent), transparent ? "dashes-t.pdf" : "dashes.pdf");
    if (!transparent) {
      const std::string content =
          RunCommand("qpdf --qdf --object-streams=disable " + Quote(file.string()) + " -").output;
      // A line is drawn under the device's matrix: its dashes are in pixels (300 dpi).
      EXPECT_NE(content.find("[50 25] 0 d"), std::string::npos) << "the dashes";
      EXPECT_NE(content.find("[0 37.5] 0 d"), std::string::npos) << "the round dots";
      EXPECT_NE(content.find("[0.001 37.5] 0 d"), std::string::npos) << "the square dots";
      EXPECT_NE(content.find("[24 24] 0 d"), std::string::npos) << "the cosmetic pen's dashes";
    }
    const auto picture = Render(file, 144);
    ASSERT_TRUE(picture);
    const struct {
      const char* what;
      int y;
      std::size_t runs;  // dashes or dots along 300 points
    } lines[] = {
        {"dashed 12 on 6 off", 100, 17}, {"dotted, round", 150, 34}, {"dotted, square", 200, 34},
        {"cosmetic dashes", 250, 7},
    };
    for (const auto& line : lines) {
      const auto runs = DarkRuns(*picture, line.y * 2, 70 * 2, 375 * 2);
      EXPECT_NEAR(static_cast<double>(runs.size()), static_cast<double>(line.runs), 1.0) << line.what;
    }
  }
}

TEST_F(VectorEndToEnd, BadOpsAreErrorsWithTheirPlace) {
  const struct {
    Json op;
    const char* message;
  } cases[] = {
      {{{"op", "rect"}, {"rect", {1, 2, 3}}, {"fill", "#ff0000"}}, "pages[0].ops[0]"},
      {{{"op", "rect"}, {"rect", {1, 2, 3, 4}}, {"fill", "red"}}, "#rrggbb"},
      {{{"op", "path"}, {"d", "M 1 2 Q 3 4"}, {"fill", "#ff0000"}}, "unknown command"},
      {{{"op", "path"}, {"d", "M 1 2 L 3"}, {"fill", "#ff0000"}}, "number is missing"},
      {{{"op", "path"}, {"d", "M 1 2 L 3 4"}}, "\"stroke\", \"fill\""},
      {{{"op", "line"}, {"from", {1, 2}}, {"to", {3, 4}}, {"stroke", "#000000"}, {"mix", "sideways"}}, "sideways"},
      {{{"op", "clip"}}, "\"rect\" or \"d\""},
      {{{"op", "text"}, {"at", {1, 2}}, {"text", "x"}}, "\"font\" is missing"},
  };
  for (const auto& c : cases) {
    try {
      OnePage(Json::array({c.op}));
      ADD_FAILURE() << c.op.dump() << " was accepted";
    } catch (const kqprint::JobError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("pages[0].ops[0]"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace e2e
