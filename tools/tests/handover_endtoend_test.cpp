// Conversions end to end across processes: the add-in's side (kqhandover, or this test) publishes a hand-over block,
// the print tool's process claims it through the real libtelodrv.so, and the PDF's outline, named destinations and
// link annotations are read back with qpdf; the add-in's progress dialog hears the driver's progress.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "endtoend_fixture.h"
#include "handover/handover_block.h"
#include "win/handleapi.h"
#include "win/memoryapi.h"
#include "win/spooler.h"

namespace e2e {
namespace {

using nlohmann::json;

const std::filesystem::path kHandoverTool = std::filesystem::path(KQ_BINARY_DIR) / "bin" / "kqhandover";
const std::filesystem::path kPrintTool = std::filesystem::path(KQ_BINARY_DIR) / "bin" / "kqprint";

class Handover : public EndToEndTest {
 protected:
  Handover() { kq::InstallVirtualPrinter(); }

  // A command line run on this test's state root.
  CommandResult Run(const std::string& command) {
    return RunCommand("KQ_ROOT=" + Quote(machine->Root().string()) + " KQ_OPEN_HANDLER= " + command);
  }
  std::filesystem::path Write(const std::string& name, const json& content) {
    const auto file = out / name;
    std::ofstream(file) << content.dump(2);
    return file;
  }
  // Three letter pages (792 points high), with a line of text on each.
  std::filesystem::path Job() {
    json pages = json::array();
    for (const char* text : {"Introduction", "Scope and method", "Results"})
      pages.push_back({{"ops", json::array({{{"op", "text"},
                                             {"at", {72, 80}},
                                             {"font", {{"file", "DejaVuSans.ttf"}, {"size", 12}}},
                                             {"text", text}}})}});
    return Write("job.json", {{"document", "Microsoft Word - Report.docx"},
                              {"settings", {{"PaperSize", 1}, {"OpenFile", 0}}},
                              {"pages", pages}});
  }
  json Block(const std::filesystem::path& output) {
    json block = json::parse(R"({ "pages": 3,
      "bookmarks": [ { "name": "intro", "page": 1, "y": 72 }, { "name": "_Toc1", "page": 2, "y": 92 },
                     { "name": "_Toc2", "page": 2, "y": 800 }, { "name": "_Toc3", "page": 3, "y": 72 } ],
      "outline": [ { "title": "1 Introduction", "dest": "_Toc1", "level": 1 },
                   { "title": "1.1 Scope", "dest": "_Toc2", "level": 2 },
                   { "title": "2 Résultats", "dest": "_Toc3", "level": 1 } ],
      "links": [ { "page": 1, "rect": [72, 100, 144, 112], "uri": "https://example.org/report" },
                 { "page": 1, "rect": [72, 130, 200, 144], "dest": "_Toc3" },
                 { "page": 3, "rect": [10, 20, 30, 40], "file": "/C/docs/appendix.pdf" } ] })");
    block["output"] = output.string();
    return block;
  }

  // qpdf's JSON of the file.
  static json QpdfJson(const std::filesystem::path& file, const std::string& key) {
    const CommandResult result = RunCommand("qpdf --json=2 --json-key=" + key + " " + Quote(file.string()));
    EXPECT_EQ(result.status, 0) << result.output;
    return json::parse(result.output, nullptr, false);
  }
};

// The objects of a file by reference ("N 0 R"), resolving references as the reader would.
class Objects {
 public:
  explicit Objects(const json& qpdf) {
    for (const auto& [key, value] : qpdf["qpdf"][1].items())
      if (key.rfind("obj:", 0) == 0) objects_[key.substr(4)] = value.contains("value") ? value["value"] : value["stream"]["dict"];
  }
  const json& operator[](const json& reference) const {
    static const json none;
    auto it = reference.is_string() ? objects_.find(reference.get<std::string>()) : objects_.end();
    return it == objects_.end() ? none : it->second;
  }

 private:
  std::map<std::string, json> objects_;
};

TEST_F(Handover, TheToolsConversionGivesOutlineDestinationsAndLinks) {
  const auto pdf = out / "report.pdf";
  const CommandResult run = Run(Quote(kHandoverTool.string()) + " " + Quote(Write("block.json", Block(pdf)).string()) +
                                " " + Quote(Job().string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("kqhandover: the print job took the hand-over block"), std::string::npos);
  EXPECT_EQ(run.output.find("journal: save as"), std::string::npos) << "no Save As: the block names the file";
  ASSERT_TRUE(std::filesystem::exists(pdf)) << run.output;

  // The add-in's dialog, found by the driver in the other process: texts, positions 70 to 100, then its end. The
  // texts are sent and the positions posted, so a later text may overtake a position still in the dialog's queue, as
  // sent messages go before posted ones: each kind keeps its own order, and a page's position follows its text.
  const std::vector<std::string> statuses = {"Printing page 1", "Printing page 2", "Printing page 3", "Finish..."};
  const std::vector<int> positions = {70, 80, 90, 100};
  std::vector<std::string> heardStatuses;
  std::vector<int> heardPositions;
  bool closed = false;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("journal: window closed", 0) == 0) {
      EXPECT_EQ(line, "journal: window closed: \"Kelvo Quenzar Zedarod - converting status.\"");
      closed = true;
    } else if (line.rfind("kqhandover: status \"", 0) == 0) {
      EXPECT_FALSE(closed) << line;
      heardStatuses.push_back(line.substr(20, line.size() - 21));
    } else if (line.rfind("kqhandover: position ", 0) == 0) {
      EXPECT_FALSE(closed) << line;
      const int position = std::stoi(line.substr(21));
      const auto page = std::find(positions.begin(), positions.end(), position);
      ASSERT_NE(page, positions.end()) << line;
      EXPECT_GT(heardStatuses.size(), static_cast<std::size_t>(page - positions.begin()))
          << "position " << position << " before its page's text\n" << run.output;
      heardPositions.push_back(position);
    }
  }
  EXPECT_EQ(heardStatuses, statuses) << run.output;
  // A post is queued before PostMessageW returns, and the dialog's loop takes what is queued before its WM_QUIT.
  EXPECT_EQ(heardPositions, positions) << run.output;
  EXPECT_TRUE(closed) << run.output;
  EXPECT_NE(run.output.find("kqhandover: the progress dialog has ended"), std::string::npos)
      << "message 1124 ended it before the print-out returned";

  ExpectQpdfCheckPasses(pdf);
  const CommandResult text = RunCommand("pdftotext " + Quote(pdf.string()) + " -");
  EXPECT_NE(text.output.find("Scope and method"), std::string::npos) << text.output;

  // The outline: two top-level items, the first with one child.
  const json outlines = QpdfJson(pdf, "outlines")["outlines"];
  ASSERT_EQ(outlines.size(), 2u) << outlines.dump(1);
  EXPECT_EQ(outlines[0]["title"], "1 Introduction");
  EXPECT_EQ(outlines[0]["destpageposfrom1"], 2);
  ASSERT_EQ(outlines[0]["kids"].size(), 1u);
  EXPECT_EQ(outlines[0]["kids"][0]["title"], "1.1 Scope");
  EXPECT_EQ(outlines[0]["kids"][0]["dest"][2], 0) << "a position below the page's bottom becomes 0";
  EXPECT_EQ(outlines[1]["title"], "2 Résultats");
  EXPECT_EQ(outlines[1]["destpageposfrom1"], 3);
  EXPECT_EQ(outlines[1]["dest"][2], 720);

  const json everything = QpdfJson(pdf, "qpdf");
  const Objects objects(everything);
  const json& trailer = everything["qpdf"][1]["trailer"]["value"];
  const json& catalog = objects[trailer["/Root"]];
  const json& dests = objects[objects[catalog["/Names"]]["/Dests"]];
  const json& names = objects[dests["/Names"]];
  ASSERT_TRUE(names.is_array()) << catalog.dump();
  std::vector<std::string> destNames;
  for (std::size_t i = 0; i + 1 < names.size(); i += 2) destNames.push_back(names[i]);
  EXPECT_EQ(destNames, (std::vector<std::string>{"u:_Toc1", "u:_Toc2", "u:_Toc3", "u:intro"}));
  EXPECT_EQ(names[1][1], "/FitH");
  EXPECT_EQ(names[1][2], 700) << "_Toc1 at 92 points from the top";

  // Links on the right pages at the right rectangles (792 points high).
  const json pages = QpdfJson(pdf, "pages")["pages"];
  ASSERT_EQ(pages.size(), 3u);
  std::vector<std::vector<std::string>> annotations(3);
  for (std::size_t p = 0; p < 3; ++p) {
    const json& page = objects[pages[p]["object"]];
    ASSERT_TRUE(page.contains("/Annots")) << "every page of a document with links has /Annots";
    for (const json& reference : page["/Annots"]) {
      const json& annotation = objects[reference];
      std::string what = "/Rect " + annotation["/Rect"].dump();
      if (annotation.contains("/Dest")) what += " /Dest " + annotation["/Dest"].get<std::string>();
      if (annotation.contains("/A")) {
        const json& action = objects[annotation["/A"]];
        what += " " + action["/S"].get<std::string>();
        if (action.contains("/URI")) what += " " + action["/URI"].get<std::string>();
        if (action.contains("/F")) what += " " + action["/F"].get<std::string>();
      }
      annotations[p].push_back(what);
    }
  }
  EXPECT_EQ(annotations, (std::vector<std::vector<std::string>>{
                             {"/Rect [72,680,144,692] /URI u:https://example.org/report",
                              "/Rect [72,648,200,662] /Dest u:_Toc3"},
                             {},
                             {"/Rect [10,752,30,772] /Launch u:/C/docs/appendix.pdf"}}));
}

TEST_F(Handover, OfTwoPrintJobsRacingForOneBlockExactlyOneTakesIt) {
  handover::BlockWriter writer;
  ASSERT_TRUE(writer.Start());
  const auto claimedFile = out / "claimed.pdf";
  handover::Content content;
  content.pageCount = 3;
  content.outputPath = kq::WindowsPathFromPosix(claimedFile.string());
  content.bookmarks.emplace(u"top", handover::Position{1, 0});
  content.outline = {{u"", u"", -1, -1, -1, 1, 1}, {u"Top", u"top", 0, -1, -1, -1, -1}};
  handover::WriteContent(writer, content);
  const HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(writer.Size()), handover::kSharedMemoryName);
  ASSERT_NE(block, nullptr);
  void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0);
  std::memcpy(view, writer.Data(), writer.Size());

  const std::string job = Quote(Job().string());
  const CommandResult race = Run("sh -c " + Quote(Quote(kPrintTool.string()) + " " + job + " -o " +
                                                  Quote((out / "a.pdf").string()) + " & " +
                                                  Quote(kPrintTool.string()) + " " + job + " -o " +
                                                  Quote((out / "b.pdf").string()) + " & wait"));
  EXPECT_EQ(race.status, 0) << race.output;
  EXPECT_EQ(std::filesystem::exists(out / "a.pdf") + std::filesystem::exists(out / "b.pdf"), 1) << race.output;
  ASSERT_TRUE(std::filesystem::exists(claimedFile)) << race.output;
  ExpectQpdfCheckPasses(claimedFile);
  EXPECT_EQ(QpdfJson(claimedFile, "outlines")["outlines"][0]["title"], "Top");
  std::uint32_t taken = 0;
  std::memcpy(&taken, static_cast<const std::byte*>(view) + handover::kTakenFlagOffset, 4);
  EXPECT_EQ(taken, 1u);
  UnmapViewOfFile(view);
  CloseHandle(block);
}

TEST_F(Handover, TheToolRefusesWhatItCannotDo) {
  // A block that is held already: another conversion runs.
  const HANDLE held = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                         handover::kSharedMemoryName);
  ASSERT_NE(held, nullptr);
  const std::string job = Quote(Job().string());
  CommandResult run = Run(Quote(kHandoverTool.string()) + " " +
                          Quote(Write("block.json", Block(out / "x.pdf")).string()) + " " + job);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("kqhandover: another conversion holds a hand-over block"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out / "x.pdf"));
  CloseHandle(held);

  run = Run(Quote(kHandoverTool.string()) + " " + Quote(Write("bad.json", {{"pages", 2}}).string()) + " " + job);
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_NE(run.output.find("kqhandover: the block needs \"output\""), std::string::npos) << run.output;
  run = Run(Quote(kHandoverTool.string()) + " " + Quote((out / "missing.json").string()) + " " + job);
  EXPECT_EQ(run.status, 3) << run.output;
  // Nothing is asked, so there is no dialog to cancel.
  run = Run(Quote(kHandoverTool.string()) + " " + Quote(Write("block.json", Block(out / "x.pdf")).string()) + " " +
            job + " --cancel");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_FALSE(std::filesystem::exists(out / "x.pdf"));
}

// -o names the file the driver writes, in place of the block's "output", and the block still goes into it.
TEST_F(Handover, MinusOIsWhereTheFileGoes) {
  const auto chosen = out / "chosen" / "report.pdf";
  const CommandResult run = Run(Quote(kHandoverTool.string()) + " " +
                                Quote(Write("block.json", Block(out / "named.pdf")).string()) + " " +
                                Quote(Job().string()) + " -o " + Quote(chosen.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(std::filesystem::exists(out / "named.pdf"));
  EXPECT_EQ(PdfInfo(chosen)["Pages"], "3");
  EXPECT_NE(RunCommand("qpdf --json --json-key=outlines " + Quote(chosen.string())).output.find("Introduction"),
            std::string::npos);
}

}  // namespace
}  // namespace e2e
