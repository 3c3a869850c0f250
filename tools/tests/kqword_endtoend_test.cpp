// kqword end to end: documents another program wrote, converted by a person's one click in the word processor,
// judged by the outside readers.
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <regex>
#include <set>

#include "endtoend_fixture.h"
#include "win/registry.h"
#include "win/spooler.h"
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

  // Again: the add-in is registered already; the existing file is asked about, as the printer does, and replaced.
  const auto again = Convert(KQ_SOURCE_DIR "/examples/report.docx", "--yes -o " + e2e::Quote(pdf.string()));
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("already exists"), std::string::npos) << again.output;
  EXPECT_EQ(again.output.find("registered the add-in"), std::string::npos);
}

TEST_F(Kqword, ADocumentPandocWritesNowComesOutWithItsOutlineAndLinks) {
  // People's files lie outside the state root's own top.
  fs::create_directories(root_ / "docs");
  const fs::path markdown = root_ / "docs" / "notes.md";
  std::ofstream(markdown) << "# Plan {#plan}\n\nRead the [steps](#steps) or [the site](https://example.com/).\n\n"
                             "## Steps {#steps}\n\nBack to the [plan](#plan).\n";
  const fs::path docx = root_ / "docs" / "notes.docx";
  ASSERT_EQ(std::system(("pandoc " + e2e::Quote(markdown.string()) + " -o " + e2e::Quote(docx.string())).c_str()), 0);
  const auto result = Convert(docx, "");
  ASSERT_EQ(result.status, 0) << result.output;
  const fs::path pdf = root_ / "docs" / "notes.pdf";  // beside the document by default
  const Reading r = Read(pdf);
  EXPECT_EQ(r.outline, (std::vector<Outline>{{"Plan", {{"Steps", {}}}}}));
  std::map<std::string, std::string> kinds;
  for (const auto& link : r.links) kinds[link.target] = link.kind;
  EXPECT_EQ(kinds, (std::map<std::string, std::string>{
                       {"steps", "goto"}, {"https://example.com/", "uri"}, {"plan", "goto"}}));
  ExpectLinksOnTheirWords(pdf, r, {{"steps", "steps"}});
}

// ---- Documents with a linked table of contents, written by pandoc and by LibreOffice ----

// A word as pdftotext -bbox finds it: page from 1, its box in points from the page's top-left corner.
struct Word {
  int page = 0;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  std::string text;
};

std::vector<Word> PrintedWords(const fs::path& pdf) {
  const auto out = e2e::RunCommand("{ pdftotext -bbox " + e2e::Quote(pdf.string()) + " - 2>/dev/null; }").output;
  std::vector<Word> words;
  int page = 0;
  const std::regex pattern(
      R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), pattern); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (!m[1].matched) {
      ++page;
      continue;
    }
    words.push_back({page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
  }
  return words;
}

// Where destinations and link rectangles are, page by page, as qpdf reads the file.
struct Places {
  struct Destination {
    int page = 0;
    double top = 0;  // the /FitH height, from the page's bottom
  };
  struct PageLink {
    int page = 0;
    std::string target;
    std::vector<double> rect;
  };
  std::map<std::string, Destination> destinations;
  std::vector<PageLink> links;
  std::vector<double> heights;  // each page's height
};

Places ReadPlaces(const fs::path& pdf) {
  const json doc = json::parse(e2e::RunCommand("qpdf --json " + e2e::Quote(pdf.string())).output);
  const json& objects = doc.at("qpdf").at(1);
  const auto resolve = [&objects](const json& value) -> const json& {
    if (value.is_string() && value.get<std::string>().find(" R") != std::string::npos)
      return objects.at("obj:" + value.get<std::string>()).at("value");
    return value;
  };
  Places places;
  std::map<std::string, int> pageOf;
  for (const auto& page : doc.at("pages")) {
    const std::string ref = page.at("object").get<std::string>();
    pageOf[ref] = static_cast<int>(pageOf.size()) + 1;
    const json& dictionary = resolve(ref);
    places.heights.push_back(resolve(dictionary.at("/MediaBox")).at(3).get<double>());
    if (!dictionary.contains("/Annots")) continue;
    for (const auto& reference : resolve(dictionary.at("/Annots"))) {
      const json& annotation = resolve(reference);
      Places::PageLink link{pageOf[ref], "", {}};
      for (const auto& n : annotation.at("/Rect")) link.rect.push_back(n.get<double>());
      if (annotation.contains("/Dest")) {
        link.target = Text(annotation.at("/Dest"));
      } else {
        const json& action = resolve(annotation.at("/A"));
        link.target = Text(action.contains("/URI") ? action.at("/URI") : action.at("/F"));
      }
      places.links.push_back(link);
    }
  }
  for (const auto& [key, object] : objects.items()) {
    if (!object.contains("value") || !object.at("value").is_object() || !object.at("value").contains("/Names")) continue;
    const json& names = resolve(object.at("value").at("/Names"));
    if (!names.is_array()) continue;
    for (std::size_t i = 0; i + 1 < names.size(); i += 2) {
      const json& destination = resolve(names[i + 1]);
      places.destinations[Text(names[i])] = {pageOf[destination.at(0).get<std::string>()], destination.at(2).get<double>()};
    }
  }
  return places;
}

// The sections of the documents: the bookmark's name and the heading's title. Two Japanese names of one length.
const std::pair<std::string, std::string> kSections[] = {
    {"alpha", "Alpha section"},
    {"bravo", "Bravo section"},
    {"\u898B\u51FA\u3057\u4E00", "\u6982\u8981\u306E\u7AE0"},
    {"\u898B\u51FA\u3057\u4E8C", "\u8A73\u7D30\u306E\u7AE0"},
    {"charlie", "Charlie section"},
};
const std::string kLongAddress = "https://example.org/" + std::string(300, 'a');

std::string Filler(const std::string& name) {
  std::string text;
  for (int i = 1; i <= 40; ++i) text += "Line " + std::to_string(i) + " of " + name + ", with words enough to make a line.\n\n";
  return text;
}

std::string FarText() {
  std::string text = "far";
  for (int i = 1; i < 1500; ++i) text += " far";
  return text;
}

// Each section a division, so that pandoc wraps the whole section, over several pages, in its bookmark.
std::string Markdown() {
  std::string md = "Contents:\n\n";
  for (const auto& [name, title] : kSections) md += "- [" + title + "](#" + name + ")\n";
  md += "\n";
  for (const auto& [name, title] : kSections) md += "::: {#" + name + "}\n# " + title + "\n\n" + Filler(name) + ":::\n\n";
  md += "# Links\n\nThe long link: [" + FarText() + "](https://example.org/far)\n\n";
  md += "[manual](https://example.org/manual.html#part-2) [long](" + kLongAddress +
        ") [caf\u00E9](https://example.org/caf\u00E9/\u65E5\u672C)\n";
  return md;
}

std::string Html() {
  std::string html = "<html><head><meta charset='utf-8'><title>t</title></head><body><p>Contents:</p><ul>";
  for (const auto& [name, title] : kSections) html += "<li><a href='#" + name + "'>" + title + "</a></li>";
  html += "</ul>";
  for (const auto& [name, title] : kSections) {
    html += "<h1 id='" + name + "'>" + title + "</h1>";
    for (int i = 1; i <= 40; ++i) html += "<p>Line " + std::to_string(i) + " of " + name + ", with words enough.</p>";
  }
  html += "<h1>Links</h1><p>The long link: <a href='https://example.org/far'>" + FarText() + "</a></p>";
  html += "<p><a href='https://example.org/manual.html#part-2'>manual</a> <a href='" + kLongAddress +
          "'>long</a> <a href='https://example.org/caf\u00E9/\u65E5\u672C'>caf\u00E9</a></p></body></html>";
  return html;
}

class LinkedDocuments : public Kqword, public ::testing::WithParamInterface<std::string> {
 protected:
  // The document as the program named by the parameter writes it; empty when that program is not here.
  fs::path Write() {
    const std::string program = GetParam();
    // People's files lie outside the state root's own top.
    const fs::path folder = root_ / "docs";
    fs::create_directories(folder);
    if (program == "pandoc") {
      const fs::path markdown = folder / "doc.md";
      std::ofstream(markdown) << Markdown();
      const auto result = e2e::RunCommand("pandoc " + e2e::Quote(markdown.string()) + " -o " +
                                          e2e::Quote((folder / "doc.docx").string()));
      EXPECT_EQ(result.status, 0) << result.output;
    } else {
      if (e2e::RunCommand("command -v soffice").status != 0) return {};
      const fs::path html = folder / "doc.html";
      std::ofstream(html) << Html();
      // A profile of its own under the test's root, never the user's.
      const auto result = e2e::RunCommand(
          "HOME=" + e2e::Quote(root_.string()) + " soffice -env:UserInstallation=file://" + (root_ / "office").string() +
          " --headless --infilter='HTML (StarWriter)' --convert-to docx:'MS Word 2007 XML' --outdir " +
          e2e::Quote(folder.string()) + " " + e2e::Quote(html.string()));
      EXPECT_EQ(result.status, 0) << result.output;
    }
    return folder / "doc.docx";
  }
};

TEST_P(LinkedDocuments, LinksLandOnTheirHeadingsAndKeepTheirTargets) {
  const fs::path docx = Write();
  if (docx.empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed; its documents are not tried";
  ASSERT_TRUE(fs::exists(docx));
  const auto result = Convert(docx, "");
  ASSERT_EQ(result.status, 0) << result.output;
  const fs::path pdf = docx.parent_path() / "doc.pdf";
  const Places places = ReadPlaces(pdf);
  const std::vector<Word> words = PrintedWords(pdf);
  const Reading reading = Read(pdf);

  // Every table-of-contents link goes to a destination where its heading is printed: the heading's last
  // occurrence (the first is the table's), compared with the destination's page and height.
  int right = 0, wrong = 0, missing = 0;
  for (const auto& [name, title] : kSections) {
    SCOPED_TRACE(title);
    const std::string first = title.substr(0, title.find(' '));
    const Word* heading = nullptr;
    for (const auto& w : words)
      if (w.text == first) heading = &w;
    ASSERT_TRUE(heading) << "the heading does not read back";
    const bool linked = std::any_of(places.links.begin(), places.links.end(),
                                    [&](const Places::PageLink& l) { return l.target == name && l.page == 1; });
    const auto destination = places.destinations.find(name);
    if (!linked || destination == places.destinations.end()) {
      ++missing;
      ADD_FAILURE() << "no link or no destination";
      continue;
    }
    const double height = places.heights.at(static_cast<std::size_t>(destination->second.page) - 1);
    const bool there = destination->second.page == heading->page &&
                       std::fabs(height - destination->second.top - heading->yMin) <= 10;
    ++(there ? right : wrong);
    EXPECT_TRUE(there) << "the destination is on page " << destination->second.page << " at "
                       << height - destination->second.top << ", the heading on page " << heading->page << " at "
                       << heading->yMin;
  }
  std::cout << GetParam() << ": " << reading.outline.size() << " top-level headings; links right " << right
            << ", wrong " << wrong << ", missing " << missing << "\n";

  // The link longer than a page: a rectangle per line on each page it runs over, each inside its page and over
  // the words it covers.
  std::set<int> farPages;
  for (const auto& link : places.links) {
    if (link.target != "https://example.org/far") continue;
    farPages.insert(link.page);
    const double height = places.heights.at(static_cast<std::size_t>(link.page) - 1);
    EXPECT_GE(link.rect[1], 0);
    EXPECT_LE(link.rect[3], height);
    const bool covers = std::any_of(words.begin(), words.end(), [&](const Word& w) {
      const double x = (w.xMin + w.xMax) / 2, y = height - (w.yMin + w.yMax) / 2;
      return w.page == link.page && w.text == "far" && x > link.rect[0] && x < link.rect[2] && y > link.rect[1] &&
             y < link.rect[3];
    });
    EXPECT_TRUE(covers) << "page " << link.page << " at " << link.rect[1];
  }
  ASSERT_GE(farPages.size(), 2u);
  EXPECT_EQ(*farPages.rbegin() - *farPages.begin() + 1, static_cast<int>(farPages.size()));

  // Addresses keep their place inside, their whole length and (percent-encoded) their other characters.
  std::set<std::string> targets;
  for (const auto& link : places.links) targets.insert(link.target);
  for (const std::string& address : {std::string("https://example.org/manual.html#part-2"), kLongAddress,
                                     std::string("https://example.org/caf%C3%A9/%E6%97%A5%E6%9C%AC")})
    EXPECT_TRUE(targets.count(address)) << address;
}

INSTANTIATE_TEST_SUITE_P(Writers, LinkedDocuments, ::testing::Values("pandoc", "libreoffice"));

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

// The add-in refuses what kqprint's -o refuses: the person is asked whether to try another file, and on No kqword
// says so and fails with everything as it was.
TEST_F(Kqword, AFileThatIsNoPlaceForThePdfIsRefusedAndNothingChanges) {
  const fs::path docs = root_ / "docs";
  fs::create_directories(docs / "folder.pdf");
  const fs::path document = docs / "report.docx";
  fs::copy_file(KQ_SOURCE_DIR "/examples/report.docx", document);
  ASSERT_EQ(::mkfifo((docs / "fifo.pdf").c_str(), 0600), 0);
  ASSERT_EQ(Convert(document, "-o " + e2e::Quote((docs / "first.pdf").string())).status, 0) << "the state is made";
  {
    // The printer replaces files without asking, so --no answers the add-in's could-not-write question.
    kq::MachineScope scope(machine_.Get());
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(u"Kelvo Quenzar Printer", &printer, &all));
    const DWORD overwrite = 1;
    EXPECT_EQ(SetPrinterDataExW(printer, u"PrinterDriverData", u"Overwrite", REG_DWORD,
                                reinterpret_cast<const BYTE*>(&overwrite), sizeof overwrite),
              ERROR_SUCCESS);
    ClosePrinter(printer);
  }
  const std::string documentBytes = e2e::Contents(document);
  for (const fs::path& output : {root_ / "registry.db", root_ / "new.pdf", document, docs / "folder.pdf",
                                 docs / "fifo.pdf"}) {
    SCOPED_TRACE(output.string());
    const auto result = Convert(document, "--no -o " + e2e::Quote(output.string()));
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("Do you want to try another file?\" [Yes No] -> No"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("kqword: no PDF was made"), std::string::npos) << result.output;
  }
  EXPECT_EQ(e2e::Contents(root_ / "registry.db").substr(0, 15), "SQLite format 3");
  EXPECT_TRUE(e2e::Contents(document) == documentBytes) << "the document is as it was";
  EXPECT_FALSE(fs::exists(root_ / "new.pdf"));
  EXPECT_TRUE(fs::is_fifo(docs / "fifo.pdf"));
  const auto after = Convert(document, "-o " + e2e::Quote((docs / "after.pdf").string()));
  EXPECT_EQ(after.status, 0) << "the printer still works: " << after.output;
}

}  // namespace
