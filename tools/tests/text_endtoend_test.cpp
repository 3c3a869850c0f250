// Text that no reader may lose, printed through the application side and the real libtelodrv.so: characters
// beyond U+FFFF, a PDF/A job with a font whose licence forbids embedding, and rotated and vertical text, judged by
// pdftotext, pdffonts, pdftoppm and mutool, and for rotated text against the engine's own glyph outlines.
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "endtoend_fixture.h"
#include "picture.h"
#include "win/enginefont.h"
#include "win/winddi.h"

namespace e2e {
namespace {

using Json = nlohmann::ordered_json;

const std::filesystem::path kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::filesystem::path kDejaVuSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{b.at(at)} << 24 | std::uint32_t{b.at(at + 1)} << 16 | std::uint32_t{b.at(at + 2)} << 8 |
         b.at(at + 3);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) << 8 | b.at(at + 1));
}
void SetU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// Offset of a table of an sfnt file; 0 when absent.
std::size_t TableOffset(const std::vector<std::uint8_t>& font, const char* tag) {
  const std::uint16_t tables = U16(font, 4);
  for (std::size_t i = 0; i < tables; ++i) {
    const std::size_t record = 12 + 16 * i;
    if (std::string(font.begin() + static_cast<std::ptrdiff_t>(record),
                    font.begin() + static_cast<std::ptrdiff_t>(record + 4)) == tag)
      return U32(font, record + 8);
  }
  return 0;
}

// DejaVu Serif with the last group of its full-repertoire character map moved to U+20000: a font that has the
// first supplementary ideographs (drawn with the glyphs that group had). Table checksums are not kept up to date;
// no reader of this test checks them.
std::vector<std::uint8_t> FontWithExtensionB() {
  std::vector<std::uint8_t> font = ReadBytes(kDejaVuSerif);
  const std::size_t cmap = TableOffset(font, "cmap");
  const std::uint16_t subtables = U16(font, cmap + 2);
  for (std::size_t i = 0; i < subtables; ++i) {
    const std::size_t sub = cmap + U32(font, cmap + 4 + 8 * i + 4);
    if (U16(font, sub) != 12) continue;
    const std::uint32_t groups = U32(font, sub + 12);
    const std::size_t last = sub + 16 + 12 * (groups - 1);
    const std::uint32_t span = U32(font, last + 4) - U32(font, last);
    SetU32(font, last, 0x20000);
    SetU32(font, last + 4, 0x20000 + span);
    return font;
  }
  ADD_FAILURE() << "no format 12 character map";
  return font;
}

// DejaVu Sans whose licence allows no embedding (OS/2 fsType 2, restricted).
std::vector<std::uint8_t> RestrictedFont() {
  std::vector<std::uint8_t> font = ReadBytes(kDejaVuSans);
  const std::size_t os2 = TableOffset(font, "OS/2");
  font.at(os2 + 8) = 0;
  font.at(os2 + 9) = 2;
  return font;
}

Json TextOp(double x, double y, const std::string& file, const std::string& text, double size = 20) {
  return {{"op", "text"}, {"at", {x, y}}, {"font", {{"file", file}, {"size", size}}}, {"text", text}};
}

class TextEndToEnd : public EndToEndTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"qpdf", "pdftotext", "pdffonts", "pdftoppm", "mutool"})
      if (RunCommand(std::string("command -v ") + tool).status != 0) GTEST_SKIP() << tool << " is not installed";
  }

  // A one-page Letter job at 300 dpi; font files are looked up in `out` first.
  kqprint::PrintJob OnePage(Json ops, Json settings) {
    settings["PaperSize"] = 1;
    settings["DPI"] = 300;
    settings["OpenFile"] = 0;
    Json job = {{"document", "Text"}, {"settings", std::move(settings)},
                {"pages", Json::array({{{"ops", std::move(ops)}}})}};
    return kqprint::ParseJob(job, out);
  }

  std::filesystem::path PrintOk(const kqprint::PrintJob& job, const std::string& name) {
    const auto file = out / name;
    const auto outcome = Print(job, file);
    EXPECT_TRUE(outcome.printed) << outcome.failure << "\n" << JournalText();
    ExpectQpdfCheckPasses(file);
    return file;
  }

  // pdffonts' rows: each font's name, and whether it is embedded and has a ToUnicode map.
  struct FontRow {
    std::string name;
    bool embedded = false;
    bool toUnicode = false;
  };
  static std::vector<FontRow> Fonts(const std::filesystem::path& file) {
    const CommandResult listed = RunCommand("pdffonts " + Quote(file.string()));
    EXPECT_EQ(listed.status, 0) << listed.output;
    std::vector<FontRow> rows;
    std::istringstream table(listed.output);
    for (std::string row; std::getline(table, row);) {
      if (row.size() < 72 || row.rfind("name ", 0) == 0 || row[0] == '-') continue;
      std::istringstream fields(row.substr(72));
      std::vector<std::string> flags;
      for (std::string word; fields >> word;) flags.push_back(word);
      if (flags.size() < 3) continue;
      rows.push_back({row.substr(0, 36), flags[0] == "yes", flags[2] == "yes"});
    }
    return rows;
  }

  static std::string Extract(const std::filesystem::path& file) {
    return RunCommand("pdftotext -enc UTF-8 " + Quote(file.string()) + " -").output;
  }
  static std::string ExtractWithMupdf(const std::filesystem::path& file) {
    return RunCommand("mutool draw -q -F txt -o - " + Quote(file.string()) + " 1").output;
  }
};

// Emoji, a supplementary ideograph and mathematical letters among Latin text, in vector and transparent mode.
TEST_F(TextEndToEnd, CharactersBeyondTheBmpAreEmbeddedExtractedAndDrawn) {
  WriteBytes(out / "ExtB.ttf", FontWithExtensionB());
  struct Line {
    const char* file;
    const char* text;
  } const lines[] = {
      {"DejaVuSans.ttf", "\U0001F600 smile \U0001F603"},
      {"DejaVuSerif-Bold.ttf", "\U0001D400\U0001D401 bold math \U0001D402"},
      {"ExtB.ttf", "\U00020000 ext B \U00020001"},
  };
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent mode" : "vector mode");
    Json ops = Json::array();
    for (std::size_t i = 0; i < std::size(lines); ++i)
      ops.push_back(TextOp(72, 100 + 60.0 * static_cast<double>(i), lines[i].file, lines[i].text));
    const auto file = PrintOk(OnePage(ops, {{"FontEmbed", 2}, {"GDIPunt", transparent ? 1 : 0}}),
                              transparent ? "beyond-t.pdf" : "beyond-v.pdf");
    const std::string text = Extract(file), mupdfText = ExtractWithMupdf(file);
    for (const Line& line : lines) {
      EXPECT_NE(text.find(line.text), std::string::npos) << line.text << " in pdftotext's:\n" << text;
      EXPECT_NE(mupdfText.find(line.text), std::string::npos) << line.text << " in mutool's:\n" << mupdfText;
    }
    const auto fonts = Fonts(file);
    EXPECT_EQ(fonts.size(), 3u);
    for (const FontRow& row : fonts) {
      EXPECT_TRUE(row.embedded) << row.name;
      EXPECT_TRUE(row.toUnicode) << row.name;
    }
    // Ink where the first glyph of each line stands (an em from the start, above the baseline), in both readers.
    for (const auto& picture : {Render(file, 72), RenderWithMupdf(file, 72)}) {
      ASSERT_TRUE(picture);
      for (std::size_t i = 0; i < std::size(lines); ++i) {
        const int baseline = 100 + 60 * static_cast<int>(i);
        EXPECT_GT(picture->Ink(72, baseline - 16, 92, baseline + 2), 15) << lines[i].text;
      }
    }
  }
}

// PDF/A-1b holds no font that is not embedded: a restricted font's text is drawn from its outlines, while an
// embeddable font is embedded as usual.
TEST_F(TextEndToEnd, APdfAJobDrawsARestrictedFontFromItsOutlines) {
  WriteBytes(out / "Restricted.ttf", RestrictedFont());
  const Json ops = Json::array({TextOp(72, 100, "Restricted.ttf", "Outlined text"),
                                TextOp(72, 160, "DejaVuSerif-Bold.ttf", "Embedded text")});
  // PDF/A forces embedding whatever FontEmbed says.
  for (int fontEmbed : {0, 2}) {
    SCOPED_TRACE("FontEmbed " + std::to_string(fontEmbed));
    const auto file = PrintOk(OnePage(ops, {{"PDFA1B", 1}, {"FontEmbed", fontEmbed}, {"FontWarnMsg", 0}}),
                              "pdfa" + std::to_string(fontEmbed) + ".pdf");
    const auto fonts = Fonts(file);
    for (const FontRow& row : fonts) EXPECT_TRUE(row.embedded) << row.name;
    for (const FontRow& row : fonts) EXPECT_EQ(row.name.find("DejaVu Sans "), std::string::npos) << row.name;
    const auto picture = Render(file, 72);
    ASSERT_TRUE(picture);
    EXPECT_GT(picture->Ink(72, 84, 200, 102), 150) << "the outlined line";
    EXPECT_GT(picture->Ink(72, 144, 200, 162), 150) << "the other line";
    // What search finds: the outlined line is drawing, not text.
    const std::string text = Extract(file);
    EXPECT_EQ(text.find("Outlined"), std::string::npos) << text;
    EXPECT_NE(text.find("Embedded text"), std::string::npos) << text;
  }
}

// The ink box of a string as the engine lays out its glyph outlines (device pixels at `dpi`).
RECTL EngineInk(const Json& op, const std::filesystem::path& folder, LONG dpi) {
  kq::FontRequest request;
  const std::string file = op["font"]["file"];
  request.file = std::filesystem::exists(folder / file) ? folder / file : std::filesystem::path(file);
  request.pointSize = op["font"]["size"];
  request.dpi = dpi;
  request.vertical = op["font"].value("vertical", false);
  request.escapement = op.value("angle", 0.0);
  auto font = kq::RealizedFont::Realize(request);
  EXPECT_TRUE(font);
  if (!font) return {};
  kq::TextRequest text;
  text.text = kq::WideFromUtf8(op["text"].get<std::string>());
  text.origin = {static_cast<LONG>(std::lround(op["at"][0].get<double>() * dpi / 72)),
                 static_cast<LONG>(std::lround(op["at"][1].get<double>() * dpi / 72))};
  text.glyphMode = FO_PATHOBJ;
  auto string = kq::TextString::Build(*font, text);
  RECTL ink{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  STROBJ_vEnumStart(string->Object());
  ULONG count = 0;
  GLYPHPOS* positions = nullptr;
  BOOL more = FALSE;
  do {
    more = STROBJ_bEnum(string->Object(), &count, &positions);
    for (ULONG i = 0; i < count; ++i) {
      if (!positions[i].pgdf || !positions[i].pgdf->ppo) continue;
      RECTFX box{};
      PATHOBJ_vGetBounds(positions[i].pgdf->ppo, &box);
      if (box.xLeft == box.xRight) continue;  // a blank
      ink.left = std::min(ink.left, positions[i].ptl.x + box.xLeft / 16);
      ink.top = std::min(ink.top, positions[i].ptl.y + box.yTop / 16);
      ink.right = std::max(ink.right, positions[i].ptl.x + (box.xRight + 15) / 16);
      ink.bottom = std::max(ink.bottom, positions[i].ptl.y + (box.yBottom + 15) / 16);
    }
  } while (more && count);
  return ink;
}

// The box of the dark pixels inside `window`.
std::optional<RECTL> InkBox(const Picture& picture, const RECTL& window) {
  std::optional<RECTL> box;
  for (int y = std::max<int>(window.top, 0); y < std::min<int>(window.bottom, picture.height); ++y)
    for (int x = std::max<int>(window.left, 0); x < std::min<int>(window.right, picture.width); ++x) {
      if (picture.Ink(x, y, x + 1, y + 1) == 0) continue;
      if (!box) box = RECTL{x, y, x + 1, y + 1};
      box->left = std::min<LONG>(box->left, x);
      box->top = std::min<LONG>(box->top, y);
      box->right = std::max<LONG>(box->right, x + 1);
      box->bottom = std::max<LONG>(box->bottom, y + 1);
    }
  return box;
}

// Text at 30, 90 and 180 degrees and vertical lines (an "@" face turned a quarter to the right, so its ideographs
// and Greek letters stand upright in a line that runs down): both readers draw each where the engine lays it out,
// and the text extracts.
TEST_F(TextEndToEnd, RotatedAndVerticalTextLandWhereTheEngineLaysItOut) {
  Json rotated30 = TextOp(100, 200, "DejaVuSans.ttf", "Rotated thirty");
  rotated30["angle"] = 30;
  Json rotated90 = TextOp(480, 330, "DejaVuSans.ttf", "Upward");
  rotated90["angle"] = 90;
  Json rotated180 = TextOp(560, 420, "DejaVuSans.ttf", "Upside down");
  rotated180["angle"] = 180;
  Json vertical = TextOp(150, 460, "wqy-microhei.ttc", "\u7E26\u66F8\u304D\u6587\u5B57");
  vertical["font"]["vertical"] = true;
  vertical["angle"] = 270;
  // Greek in vertical lines of fonts whose PDF fonts have no vertical form: a Type 1 font (embedded, or named when
  // nothing is embedded) and, with nothing embedded, a single-byte named font.
  Json verticalType1 = TextOp(250, 460, "NimbusSans-Regular.t1", "\u0391\u0392\u0393\u0394");
  Json verticalNamed = TextOp(350, 460, "DejaVuSans.ttf", "\u0391\u0392\u0393\u0394");
  for (Json* op : {&verticalType1, &verticalNamed}) {
    (*op)["font"]["vertical"] = true;
    (*op)["angle"] = 270;
  }
  const Json ops = Json::array({rotated30, rotated90, rotated180, vertical, verticalType1, verticalNamed});
  for (int fontEmbed : {0, 2}) {
    SCOPED_TRACE("FontEmbed " + std::to_string(fontEmbed));
    const auto file = PrintOk(OnePage(ops, {{"FontEmbed", fontEmbed}}), "rotated" + std::to_string(fontEmbed) + ".pdf");
    for (const auto& picture : {Render(file, 72), RenderWithMupdf(file, 72)}) {
      ASSERT_TRUE(picture);
      for (const Json& op : ops) {
        SCOPED_TRACE(op.dump());
        const RECTL engine = EngineInk(op, out, 72);
        const RECTL window{engine.left - 20, engine.top - 20, engine.right + 20, engine.bottom + 20};
        const auto drawn = InkBox(*picture, window);
        ASSERT_TRUE(drawn) << "no ink";
        EXPECT_NEAR(drawn->left, engine.left, 3);
        EXPECT_NEAR(drawn->top, engine.top, 3);
        EXPECT_NEAR(drawn->right, engine.right, 3);
        EXPECT_NEAR(drawn->bottom, engine.bottom, 3);
      }
    }
    // mupdf reads every line back whole; pdftotext too, but for the line at 30 degrees, whose letters it gives
    // one by one in lines of their own.
    const std::string text = Extract(file), mupdfText = ExtractWithMupdf(file);
    for (const char* expected : {"Rotated thirty", "Upward", "Upside down", "\u7E26\u66F8\u304D\u6587\u5B57"}) {
      if (std::string(expected) != "Rotated thirty") {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in pdftotext's:\n" << text;
      }
      EXPECT_NE(mupdfText.find(expected), std::string::npos) << expected << " in mutool's:\n" << mupdfText;
    }
    std::string letters;
    for (char c : text)
      if (c >= 'a' && c <= 'z') letters += c;
    for (char c : std::string("otatedthirty"))
      EXPECT_NE(letters.find(c), std::string::npos) << c << " of the line at 30 degrees in:\n" << text;
  }
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// What a reader gives without the directional marks it adds around right-to-left text.
std::u16string WithoutMarks(const std::string& text) {
  std::u16string kept;
  for (char16_t c : kq::WideFromUtf8(text))
    if (!(c >= 0x202A && c <= 0x202E) && c != 0x200E && c != 0x200F && c != u'\n' && c != u'\f') kept += c;
  return kept;
}

// Hebrew and Arabic are put into visual order and shaped by the application side, as a program that uses the
// platform's text layout hands them over (glyph indices): the readers draw them right to left and joined, and
// pdftotext gives both back in logical order (the joined Arabic forms as their letters), mutool in
// visual order.
TEST_F(TextEndToEnd, RightToLeftTextIsOrderedAndShapedAndReadsBack) {
  const std::string hebrew = "\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD";
  const std::string arabic = "\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645";
  const Json ops = Json::array({TextOp(72, 100, "DejaVuSans.ttf", hebrew), TextOp(72, 160, "DejaVuSans.ttf", arabic)});
  const auto file = PrintOk(OnePage(ops, {{"FontEmbed", 2}}), "rtl.pdf");
  for (const auto& picture : {Render(file, 72), RenderWithMupdf(file, 72)}) {
    ASSERT_TRUE(picture);
    EXPECT_GT(picture->Ink(72, 84, 200, 104), 100) << "the Hebrew line";
    EXPECT_GT(picture->Ink(72, 144, 200, 166), 100) << "the Arabic line";
  }
  const std::string text = Extract(file);
  EXPECT_NE(WithoutMarks(text).find(kq::WideFromUtf8(hebrew)), std::u16string::npos) << text;
  // The joined Arabic forms read back as the letters they were shaped from.
  EXPECT_NE(WithoutMarks(text).find(kq::WideFromUtf8(arabic)), std::u16string::npos) << text;
  std::u16string visual = kq::WideFromUtf8(hebrew);
  std::reverse(visual.begin(), visual.end());
  EXPECT_NE(WithoutMarks(ExtractWithMupdf(file)).find(visual), std::u16string::npos) << ExtractWithMupdf(file);
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Fonts found as on a desktop, through the print tool: a file beside the job, in the state root's Fonts folder or
// installed anywhere fontconfig looks (the user's own fonts folder too), and an installed font by its name.
TEST_F(EndToEndTest, TheToolFindsFontsAsADesktopDoes) {
  const fs::path home = machine->Root() / "home";
  fs::create_directories(home / ".local" / "share" / "fonts");
  fs::create_directories(machine->Root() / "drive_c" / "Windows" / "Fonts");
  const fs::path dejavu = "/usr/share/fonts/truetype/dejavu";
  fs::copy_file(dejavu / "DejaVuSansMono.ttf", home / ".local" / "share" / "fonts" / "UsersOwnMono.ttf");
  fs::copy_file(dejavu / "DejaVuSerif.ttf", machine->Root() / "drive_c" / "Windows" / "Fonts" / "RootsSerif.ttf");
  fs::copy_file(dejavu / "DejaVuSans-Bold.ttf", out / "BesideBold.ttf");
  const auto text = [](const nlohmann::json& font, const std::string& line, int y) {
    return nlohmann::json{{"op", "text"}, {"at", {72, y}}, {"font", font}, {"text", line}};
  };
  const auto print = [&](const nlohmann::json& ops) {
    EXPECT_TRUE(ops.is_array());
    std::ofstream(out / "fonts.json") << nlohmann::json{{"settings", {{"OpenFile", false}, {"PPOption", false}}},
                                                        {"pages", {{{"ops", ops}}}}}
                                             .dump();
    return RunCommand("env -u XDG_DATA_HOME HOME=" + Quote(home.string()) + " XDG_CACHE_HOME=" +
                      Quote((machine->Root() / "cache").string()) + " KQ_ROOT=" + Quote(machine->Root().string()) +
                      " KQ_OPEN_HANDLER= " + Quote((fs::path(KQ_BINARY_DIR) / "bin" / "kqprint").string()) + " " +
                      Quote((out / "fonts.json").string()) + " --yes -o " + Quote((out / "fonts.pdf").string()));
  };
  CommandResult run = print(nlohmann::json::array({
      text({{"file", "BesideBold.ttf"}, {"size", 12}}, "beside the job", 72),
      text({{"file", "RootsSerif.ttf"}, {"size", 12}}, "in the state root's Fonts folder", 100),
      text({{"file", "usersownmono.TTF"}, {"size", 12}}, "in the user's fonts folder", 128),
      text({{"family", "DejaVu Serif"}, {"style", "Bold Italic"}, {"size", 12}}, "by family and style", 156),
      text({{"family", "dejavu sans mono"}, {"size", 12}}, "by family alone", 184),
  }));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string fonts = RunCommand("pdffonts " + Quote((out / "fonts.pdf").string())).output;
  // Subsets are named "<name>+<tag>".
  for (const char* name : {"DejaVu Sans Bold+", "DejaVu Serif+", "DejaVu Sans Mono+", "DejaVu Serif Bold Italic+"})
    EXPECT_NE(fonts.find(name), std::string::npos) << name << " in\n" << fonts;
  EXPECT_EQ(fonts.find("DejaVu Sans Mono Bold"), std::string::npos) << "the family's regular face\n" << fonts;

  const struct {
    nlohmann::json font;
    std::string why;
  } refused[] = {
      {{{"file", "NoSuchFont.ttf"}, {"size", 12}}, "NoSuchFont.ttf is neither beside the job, nor in the state root's "
                                                  "Fonts folder, nor installed"},
      {{{"family", "No Such Family"}, {"size", 12}}, "\"font\".family: no installed font is named \"No Such Family\""},
      {{{"family", "DejaVu Serif"}, {"style", "Heavy"}, {"size", 12}},
       "\"font\".style: \"DejaVu Serif\" has no style \"Heavy\" (it has "},
      {{{"family", "DejaVu Serif"}, {"file", "RootsSerif.ttf"}, {"size", 12}}, "\"file\" or \"family\", not both"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.font.dump());
    run = print(nlohmann::json::array({text(c.font, "x", 72)}));
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(run.output.find(c.why), std::string::npos) << run.output;
  }
}

std::u32string Characters(const std::string& utf8) {
  std::u32string out;
  const std::u16string wide = kq::WideFromUtf8(utf8);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    out += c;
  }
  return out;
}

// How many of the line's characters (blanks aside) the text lacks, each counted as often as the line has it.
std::size_t CharactersLost(const std::string& line, const std::string& text) {
  std::map<char32_t, std::size_t> have;
  for (char32_t c : Characters(text)) ++have[c];
  std::size_t found = 0, wanted = 0;
  for (char32_t c : Characters(line)) {
    if (c == U' ') continue;
    ++wanted;
    if (have[c] > 0) {
      --have[c];
      ++found;
    }
  }
  return wanted - found;
}

// Radicals, compatibility ideographs and presentation forms: what a reader must not give for a line printed
// without them.
bool HoldsCompatibilityForms(const std::string& text) {
  for (char32_t c : Characters(text))
    if ((c >= 0x2E80 && c <= 0x2FDF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFB00 && c <= 0xFDFF) ||
        (c >= 0xFE70 && c <= 0xFEFF))
      return true;
  return false;
}

// Ideographs of an OpenType CFF face (the face's map also reaches their glyphs from Kangxi radicals), lines that
// the application side shapes (Devanagari conjuncts and vowel signs, joined Arabic, Latin ligatures on a Hebrew
// line): both readers give every character back, and none as a radical or a presentation form.
TEST_F(TextEndToEnd, IdeographsAndShapedLinesReadBackAsTheirCharacters) {
  struct Line {
    const char* font;
    const char* face;
    std::string text;
    std::vector<std::string> whole;  // pieces both readers give as they are
  } lines[] = {
      {"NotoSansCJK-Regular.ttc", "Noto Sans CJK JP", "\u65E5\u672C\u8A9E \u7528\u6237\u624B\u518C",
       {"\u65E5\u672C\u8A9E", "\u7528\u6237\u624B\u518C"}},
      {"NotoSansDevanagari-Regular.ttf", nullptr,
       "\u0939\u093F\u0928\u094D\u0926\u0940 \u092E\u0947\u0902 \u0915\u093E\u0930\u094D\u092F\u093E\u0932\u092F "
       "\u0915\u0940 \u092A\u0941\u0938\u094D\u0924\u093F\u0915\u093E",
       {"\u0928\u094D\u0926\u0940", "\u092E\u0947\u0902"}},
      {"NotoSansArabic-Regular.ttf", nullptr, "\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",
       {}},
      {"DejaVuSans.ttf", nullptr, "office flow \u05E9\u05DC\u05D5\u05DD", {"office flow"}},
  };
  Json ops = Json::array();
  double y = 100;
  for (const Line& line : lines) {
    Json op = TextOp(72, y, line.font, line.text);
    if (line.face) op["font"]["face"] = line.face;
    ops.push_back(op);
    y += 60;
  }
  const auto file = PrintOk(OnePage(ops, {{"FontEmbed", 2}}), "shaped.pdf");
  for (const auto& [reader, text] : {std::pair{"pdftotext", Extract(file)}, std::pair{"mutool", ExtractWithMupdf(file)}}) {
    SCOPED_TRACE(std::string(reader) + ":\n" + text);
    EXPECT_FALSE(HoldsCompatibilityForms(text));
    for (const Line& line : lines) {
      EXPECT_EQ(CharactersLost(line.text, text), 0u) << line.text;
      for (const std::string& piece : line.whole) EXPECT_NE(text.find(piece), std::string::npos) << piece;
    }
  }
  // pdftotext gives the Arabic in logical order, mutool in visual order.
  EXPECT_NE(Extract(file).find(lines[2].text), std::string::npos);
}

// A colour emoji face has glyph bitmaps only: the job prints them as images, in colour, and the rest of the page
// as usual.
TEST_F(TextEndToEnd, AColourEmojiFacePrintsItsGlyphsAsImagesAndTheRestOfThePage) {
  const Json ops = Json::array({TextOp(72, 100, "NotoColorEmoji.ttf", "\U0001F600\U0001F44D", 24),
                                TextOp(72, 160, "DejaVuSans.ttf", "After the emoji")});
  const auto file = PrintOk(OnePage(ops, {{"FontEmbed", 2}}), "emoji.pdf");
  EXPECT_NE(Extract(file).find("After the emoji"), std::string::npos);
  for (const auto& picture : {Render(file, 72), RenderWithMupdf(file, 72)}) {
    ASSERT_TRUE(picture);
    // The smiling face's yellow where the first emoji stands: an em (24 points) from the start, on the baseline.
    int yellow = 0;
    for (int py = 76; py < 104; ++py)
      for (int px = 72; px < 100; ++px) {
        const auto p = picture->At(px, py);
        yellow += p[0] > 200 && p[1] > 150 && p[2] < 100;
      }
    EXPECT_GT(yellow, 150);
    EXPECT_GT(picture->Ink(72, 144, 200, 164), 100) << "the line after the emoji";
  }
}

}  // namespace
}  // namespace e2e
