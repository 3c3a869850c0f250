// kqword end to end: documents another program wrote, converted by a person's one click in the word processor,
// judged by the outside readers.
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "endtoend_fixture.h"
#include "wordproc/test_documents.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

struct Outline {
  std::string title;
  std::vector<Outline> kids;
  bool operator==(const Outline&) const = default;
};

std::vector<Outline> Tree(const json& items) {
  std::vector<Outline> tree;
  for (const auto& item : items) tree.push_back({item.at("title").get<std::string>(), Tree(item.at("kids"))});
  return tree;
}

struct Link {
  std::string kind;    // "uri", "launch" or "goto"
  std::string target;  // the address, the file or the destination's name
  std::vector<double> rect;
};

// The PDF as qpdf reads it: its outline, the names of its destinations and its links.
struct Reading {
  std::vector<Outline> outline;
  std::vector<std::string> destinations;
  std::vector<Link> links;
};

std::string Text(const json& value) {
  std::string text = value.get<std::string>();
  return text.rfind("u:", 0) == 0 ? text.substr(2) : text;
}

Reading Read(const fs::path& pdf) {
  const auto result = e2e::RunCommand("qpdf --json " + e2e::Quote(pdf.string()));
  EXPECT_EQ(result.status, 0) << result.output;
  const json doc = json::parse(result.output);
  Reading reading;
  reading.outline = Tree(doc.at("outlines"));
  const json& objects = doc.at("qpdf").at(1);
  const auto resolve = [&objects](const json& value) -> const json& {
    if (value.is_string() && value.get<std::string>().find(" R") != std::string::npos)
      return objects.at("obj:" + value.get<std::string>()).at("value");
    return value;
  };
  for (const auto& [key, object] : objects.items()) {
    if (!object.contains("value") || !object.at("value").is_object()) continue;
    const json& value = object.at("value");
    if (value.contains("/Names")) {
      // A name tree's leaf: names and destinations in turn, the array given directly or by reference.
      const json& names = resolve(value.at("/Names"));
      if (names.is_array())
        for (std::size_t i = 0; i < names.size(); i += 2) reading.destinations.push_back(Text(names[i]));
    }
    if (value.value("/Subtype", "") != "/Link") continue;
    Link link;
    for (const auto& n : value.at("/Rect")) link.rect.push_back(n.get<double>());
    if (value.contains("/Dest")) {
      link.kind = "goto";
      link.target = Text(value.at("/Dest"));
    } else {
      const json& action = resolve(value.at("/A"));
      const std::string type = action.at("/S").get<std::string>();
      link.kind = type == "/URI" ? "uri" : type == "/Launch" ? "launch" : type;
      if (type == "/URI") {
        link.target = Text(action.at("/URI"));
      } else {
        // A launch target is a string, or a dictionary whose /F holds one.
        const json& file = resolve(action.at("/F"));
        link.target = file.is_string() ? Text(file) : Text(file.at("/F"));
      }
    }
    reading.links.push_back(link);
  }
  std::sort(reading.destinations.begin(), reading.destinations.end());
  return reading;
}

class Kqword : public ::testing::Test {
 protected:
  Kqword() : root_(machine_->Root()) {}

  e2e::CommandResult Convert(const fs::path& document, const std::string& options) {
    return e2e::RunCommand("KQ_ROOT=" + e2e::Quote(root_.string()) + " " KQ_BINARY_DIR "/bin/kqword " +
                           e2e::Quote(document.string()) + " " + options);
  }

  // Every link stands where pdftotext prints its first word, within a line.
  void ExpectLinksOnTheirWords(const fs::path& pdf, const Reading& r, const std::map<std::string, std::string>& words) {
    for (const auto& link : r.links) {
      const auto word = words.find(link.target);
      if (word == words.end()) continue;
      const auto printed = kq::wordproc::PrintedWord(pdf, 1, word->second);
      ASSERT_TRUE(printed) << word->second;
      EXPECT_NEAR(link.rect[0], printed->first, 2) << link.target;
      EXPECT_NEAR(792 - link.rect[3], printed->second, 14) << link.target;
    }
  }

  kq::TemporaryMachine machine_;
  fs::path root_;
};

TEST_F(Kqword, TheExampleReportKeepsItsHeadingsBookmarksAndLinks) {
  const fs::path pdf = root_ / "out" / "report.pdf";
  const auto result = Convert(KQ_SOURCE_DIR "/examples/report.docx", "-o " + e2e::Quote(pdf.string()));
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("registered the add-in"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("kqword: the PDF is " + pdf.string()), std::string::npos) << result.output;
  // The word processor's active printer is what it was before the click.
  EXPECT_EQ(result.output.find("the active printer was"), std::string::npos) << result.output;
  EXPECT_EQ(e2e::RunCommand("qpdf --check " + e2e::Quote(pdf.string())).status, 0);

  const Reading r = Read(pdf);
  const std::vector<Outline> headings = {
      {"Quarterly report", {{"Method", {}}, {"Results", {{"Details", {}}}}}}, {"Summary", {}}};
  EXPECT_EQ(r.outline, headings);
  for (const char* bookmark : {"overview", "method", "results", "details", "summary"})
    EXPECT_NE(std::find(r.destinations.begin(), r.destinations.end(), bookmark), r.destinations.end()) << bookmark;
  std::map<std::string, std::string> kinds;
  for (const auto& link : r.links) kinds[link.target] = link.kind;
  const std::map<std::string, std::string> expected = {
      {"https://example.org/kelvo/", "uri"}, {"notes.txt", "launch"}, {"results", "goto"},
      {"overview", "goto"},                  {"summary", "goto"},     {"method", "goto"}};
  EXPECT_EQ(kinds, expected);
  ExpectLinksOnTheirWords(pdf, r, {{"results", "results"}, {"overview", "overview"}, {"https://example.org/kelvo/", "web"}});
  const auto text = e2e::RunCommand("pdftotext " + e2e::Quote(pdf.string()) + " -");
  EXPECT_NE(text.output.find("A second top-level heading closes the document."), std::string::npos);

  // Again: the add-in is registered already, and the file is overwritten.
  const auto again = Convert(KQ_SOURCE_DIR "/examples/report.docx", "-o " + e2e::Quote(pdf.string()));
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_EQ(again.output.find("registered the add-in"), std::string::npos);
}

TEST_F(Kqword, ADocumentPandocWritesNowComesOutWithItsOutlineAndLinks) {
  const fs::path markdown = root_ / "notes.md";
  std::ofstream(markdown) << "# Plan {#plan}\n\nRead the [steps](#steps) or [the site](https://example.com/).\n\n"
                             "## Steps {#steps}\n\nBack to the [plan](#plan).\n";
  const fs::path docx = root_ / "notes.docx";
  ASSERT_EQ(std::system(("pandoc " + e2e::Quote(markdown.string()) + " -o " + e2e::Quote(docx.string())).c_str()), 0);
  const auto result = Convert(docx, "");
  ASSERT_EQ(result.status, 0) << result.output;
  const fs::path pdf = root_ / "notes.pdf";  // beside the document by default
  const Reading r = Read(pdf);
  EXPECT_EQ(r.outline, (std::vector<Outline>{{"Plan", {{"Steps", {}}}}}));
  std::map<std::string, std::string> kinds;
  for (const auto& link : r.links) kinds[link.target] = link.kind;
  EXPECT_EQ(kinds, (std::map<std::string, std::string>{
                       {"steps", "goto"}, {"https://example.com/", "uri"}, {"plan", "goto"}}));
  ExpectLinksOnTheirWords(pdf, r, {{"steps", "steps"}});
}

TEST_F(Kqword, CancellingTheSaveAsDialogMakesNoPdf) {
  fs::copy_file(KQ_SOURCE_DIR "/examples/report.docx", root_ / "report.docx");
  const auto result = Convert(root_ / "report.docx", "--cancel");
  EXPECT_EQ(result.status, 4) << result.output;
  EXPECT_NE(result.output.find("no PDF was made (the person cancelled)"), std::string::npos) << result.output;
  EXPECT_FALSE(fs::exists(root_ / "report.pdf"));
}

// The exit codes every kq program gives: 2 for the command line, 3 for a document that is missing or none.
TEST_F(Kqword, BadCommandLinesAndDocumentsHaveTheirExitCodes) {
  const fs::path notDocx = root_ / "notes.docx";
  std::ofstream(notDocx) << "plain text, not a document";
  const struct {
    std::string document;
    std::string options;
    int code;
  } cases[] = {
      {KQ_SOURCE_DIR "/examples/report.docx", "--yes --no", 2},
      {KQ_SOURCE_DIR "/examples/report.docx", "--cancel -o " + e2e::Quote((root_ / "x.pdf").string()), 2},
      {"/nonexistent.docx", "", 3},
      {root_.string(), "", 3},
      {notDocx.string(), "-o " + e2e::Quote((root_ / "x.pdf").string()), 3},
  };
  for (const auto& c : cases) {
    const auto result = Convert(c.document, c.options);
    EXPECT_EQ(result.status, c.code) << c.document << " " << c.options << "\n" << result.output;
  }
  EXPECT_FALSE(fs::exists(root_ / "x.pdf"));
}

}  // namespace
