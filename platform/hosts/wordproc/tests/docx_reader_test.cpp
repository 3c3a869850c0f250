#include <gtest/gtest.h>

#include <fstream>

#include "docx_reader.h"
#include "layout.h"
#include "win/machine.h"
#include "wordproc/test_documents.h"

namespace {

using namespace kq::wordproc;

class Docx : public ::testing::Test {
 protected:
  std::filesystem::path Folder() { return machine_->Root(); }
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

const Paragraph* Find(const Document& d, std::u16string_view text) {
  for (const auto& p : d.paragraphs)
    if (p.Text() == text) return &p;
  return nullptr;
}

TEST_F(Docx, ReadsWhatAnotherProgramWrote) {
  const auto file = MakeDocxFixture("report", Folder());
  ASSERT_FALSE(file.empty());
  const Document d = ReadDocx(file);
  // python-docx's template: Letter paper, margins of one inch above and below, 1.25 inches at the sides.
  EXPECT_FLOAT_EQ(d.page.width, 612);
  EXPECT_FLOAT_EQ(d.page.height, 792);
  EXPECT_FLOAT_EQ(d.page.left, 90);
  EXPECT_FLOAT_EQ(d.page.top, 72);
  const Paragraph* intro = Find(d, u"Introduction");
  const Paragraph* methods = Find(d, u"Methods");
  ASSERT_TRUE(intro && methods);
  EXPECT_EQ(intro->outlineLevel, 1);
  EXPECT_EQ(intro->styleName, u"Heading 1");
  EXPECT_EQ(methods->outlineLevel, 2);
  EXPECT_EQ(Find(d, u"Numbers and more numbers.")->outlineLevel, 10);

  const kq::WString text = d.Text();
  ASSERT_EQ(d.bookmarks.size(), 2u);
  EXPECT_EQ(d.bookmarks[1].name, u"results");
  EXPECT_EQ(text.substr(static_cast<std::size_t>(d.bookmarks[1].start), 7), u"Results");

  ASSERT_EQ(d.hyperlinks.size(), 3u);
  EXPECT_EQ(d.hyperlinks[0].address, u"https://example.org/site");
  EXPECT_EQ(text.substr(static_cast<std::size_t>(d.hyperlinks[0].start),
                        static_cast<std::size_t>(d.hyperlinks[0].end - d.hyperlinks[0].start)),
            u"the project site");
  EXPECT_EQ(d.hyperlinks[1].address, u"");
  EXPECT_EQ(d.hyperlinks[1].subAddress, u"results");
  EXPECT_EQ(d.hyperlinks[2].address, u"file:///C:/docs/a(b).pdf");
  // The link's own colour is kept for printing.
  bool blue = false;
  for (const auto& p : d.paragraphs)
    for (const auto& r : p.runs)
      if (r.text == u"the project site") blue = r.format.color == 0xC16305;
  EXPECT_TRUE(blue);
}

TEST_F(Docx, ListParagraphsGetTheirListStrings) {
  const auto file = MakeDocxFixture("lists", Folder());
  ASSERT_FALSE(file.empty());
  const Document d = ReadDocx(file);
  ASSERT_EQ(d.paragraphs.size(), 4u);
  EXPECT_EQ(d.paragraphs[0].listString, u"1.");
  EXPECT_EQ(d.paragraphs[2].listString, u"3.");
  EXPECT_EQ(d.paragraphs[2].Text(), u"third");  // the number is not part of the text
  EXPECT_FALSE(d.paragraphs[3].listString.empty());
  EXPECT_NE(d.paragraphs[3].listString, u"4.");
}

TEST_F(Docx, ReadsWhatPandocWrote) {
  const auto dir = Folder();
  std::ofstream(dir / "notes.md") << "# Intro {#intro}\n\nSee [the end](#end) and [the site](https://example.org/p).\n\n"
                                     "## Middle part\n\n# End {#end}\n\nBye.\n";
  const std::string command = "pandoc '" + (dir / "notes.md").string() + "' -o '" + (dir / "notes.docx").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const Document d = ReadDocx(dir / "notes.docx");
  const kq::WString text = d.Text();
  EXPECT_EQ(Find(d, u"Intro")->outlineLevel, 1);
  EXPECT_EQ(Find(d, u"Middle part")->outlineLevel, 2);
  // Bookmarks that stand between paragraphs mark the headings they enclose.
  bool end = false;
  for (const auto& b : d.bookmarks)
    if (b.name == u"end") end = text.substr(static_cast<std::size_t>(b.start), 3) == u"End";
  EXPECT_TRUE(end);
  ASSERT_EQ(d.hyperlinks.size(), 2u);
  EXPECT_EQ(d.hyperlinks[0].subAddress, u"end");
  EXPECT_EQ(d.hyperlinks[1].address, u"https://example.org/p");
  // An empty section keeps the default page.
  EXPECT_FLOAT_EQ(d.page.width, 612);
}

TEST_F(Docx, HyperlinkFieldsAreLinksAndTheirInstructionsAreNotText) {
  const auto file = MakeDocxFixture("fields", Folder());
  ASSERT_FALSE(file.empty());
  const Document d = ReadDocx(file);
  EXPECT_EQ(d.paragraphs.at(1).Text(), u"Links as fields: field link and back");
  ASSERT_EQ(d.hyperlinks.size(), 2u);
  const kq::WString text = d.Text();
  auto covered = [&](const Hyperlink& h) {
    return text.substr(static_cast<std::size_t>(h.start), static_cast<std::size_t>(h.end - h.start));
  };
  EXPECT_EQ(d.hyperlinks[0].address, u"https://example.org/field");
  EXPECT_EQ(covered(d.hyperlinks[0]), u"field link");
  EXPECT_EQ(d.hyperlinks[1].address, u"");
  EXPECT_EQ(d.hyperlinks[1].subAddress, u"opening");
  EXPECT_EQ(covered(d.hyperlinks[1]), u"back");
}

TEST_F(Docx, ShapesCarryTheirLinkPlaceAndRotation) {
  const auto file = MakeDocxFixture("shapes", Folder());
  ASSERT_FALSE(file.empty());
  const Document d = ReadDocx(file);
  ASSERT_EQ(d.shapes.size(), 2u);
  ASSERT_EQ(d.hyperlinks.size(), 2u);
  EXPECT_EQ(d.hyperlinks[1].shape, 1);
  EXPECT_EQ(d.hyperlinks[1].address, u"https://example.org/page");
  EXPECT_FLOAT_EQ(d.shapes[0].left, 10);
  EXPECT_EQ(d.shapes[0].relativeHorizontal, 0);
  EXPECT_EQ(d.shapes[1].relativeVertical, 1);
  EXPECT_FLOAT_EQ(d.shapes[1].rotation, 90);
  EXPECT_FLOAT_EQ(d.shapes[1].width, 100);
}

TEST_F(Docx, FilesThatAreNotDocumentsAreClearErrors) {
  const auto dir = Folder();
  std::ofstream(dir / "text.docx") << "plain text, not an archive";
  // A zip archive without a document, and one whose document is not XML.
  const std::string makeZips = "cd '" + dir.string() +
                               "' && /usr/bin/python3 -c \"import zipfile;"
                               "zipfile.ZipFile('empty.docx','w').writestr('a.txt','x');"
                               "z=zipfile.ZipFile('broken.docx','w');z.writestr('word/document.xml','<w:document><w:body>')\"";
  ASSERT_EQ(std::system(makeZips.c_str()), 0);
  for (const char* name : {"missing.docx", "text.docx", "empty.docx", "broken.docx"}) {
    try {
      ReadDocx(dir / name);
      ADD_FAILURE() << name << " was read";
    } catch (const DocxError& e) {
      EXPECT_NE(std::string(e.what()), "") << name;
    }
  }
}

// A .docx of a main part and a numbering part, written with Python's zipfile.
std::filesystem::path WriteDocx(const std::filesystem::path& dir, const std::string& name, const std::string& body,
                                const std::string& numbering = "") {
  const std::string ns = R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")";
  std::ofstream(dir / "document.xml") << "<w:document " << ns << "><w:body>" << body << "</w:body></w:document>";
  std::ofstream(dir / "numbering.xml") << "<w:numbering " << ns << ">" << numbering << "</w:numbering>";
  const std::string command = "cd '" + dir.string() + "' && /usr/bin/python3 -c \"import zipfile;z=zipfile.ZipFile('" +
                              name + "','w');z.write('document.xml','word/document.xml');" +
                              "z.write('numbering.xml','word/numbering.xml')\"";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return dir / name;
}

std::string ListParagraphs(int count, int level = 0) {
  std::string xml;
  for (int i = 0; i < count; ++i)
    xml += R"(<w:p><w:pPr><w:numPr><w:ilvl w:val=")" + std::to_string(level) +
           R"("/><w:numId w:val="1"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>)";
  return xml;
}

std::string OneLevelList(const std::string& start, const std::string& format, const std::string& text) {
  return R"(<w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:start w:val=")" + start +
         R"("/><w:numFmt w:val=")" + format + R"("/><w:lvlText w:val=")" + text +
         R"("/></w:lvl></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)";
}

TEST_F(Docx, ListNumbersOfAnySizeGiveShortListStrings) {
  const struct {
    const char* start;
    const char* format;
    std::string text;
    std::u16string first, second;
  } cases[] = {
      // Letters and roman numerals as far as they go, then digits; counters stop at the largest number.
      {"2147483647", "upperLetter", "%1.", u"2147483647.", u"2147483647."},
      {"9223372036854775807", "upperLetter", "%1.", u"2147483647.", u"2147483647."},
      {"779", "upperLetter", "%1)", u"YYYYYYYYYYYYYYYYYYYYYYYYYYYYYY)", u"ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ)"},
      {"780", "lowerLetter", "%1", u"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", u"781"},
      {"3999", "upperRoman", "%1.", u"MMMCMXCIX.", u"4000."},
      {"-5", "decimal", "%1.", u"0.", u"1."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " " + c.format);
    const Document d = ReadDocx(WriteDocx(Folder(), "list.docx", ListParagraphs(2), OneLevelList(c.start, c.format, c.text)));
    ASSERT_EQ(d.paragraphs.size(), 2u);
    EXPECT_EQ(d.paragraphs[0].listString, c.first);
    EXPECT_EQ(d.paragraphs[1].listString, c.second);
  }
  // A level's text that repeats its number a thousand times is cut, on every paragraph.
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "%1";
  const Document d =
      ReadDocx(WriteDocx(Folder(), "many.docx", ListParagraphs(50), OneLevelList("2147483647", "upperLetter", many)));
  for (const auto& p : d.paragraphs) EXPECT_LE(p.listString.size(), 256u);
}

TEST_F(Docx, StatedSizesAreTakenWithinWhatAPageHolds) {
  const std::string body =
      R"(<w:p><w:pPr><w:spacing w:before="2147483647" w:after="-400" w:line="2147483647"/></w:pPr>)"
      R"(<w:r><w:t>text</w:t></w:r></w:p>)"
      R"(<w:p><w:r><w:drawing><wp:anchor xmlns:wp="wp"><wp:positionH relativeFrom="page"><wp:posOffset>)"
      R"(9223372036854775807</wp:posOffset></wp:positionH><wp:extent cx="-5" cy="9223372036854775807"/>)"
      R"(</wp:anchor></w:drawing></w:r></w:p>)"
      R"(<w:sectPr><w:pgSz w:w="1" w:h="2147483647"/><w:pgMar w:left="2000000" w:right="2000000" w:top="0" )"
      R"(w:bottom="2147483647"/></w:sectPr>)";
  const Document d = ReadDocx(WriteDocx(Folder(), "sizes.docx", body));
  EXPECT_FLOAT_EQ(d.page.width, 7.2f);  // a tenth of an inch
  EXPECT_FLOAT_EQ(d.page.height, 1584);  // 22 inches
  // Margins that leave nothing between them are narrowed to leave a tenth of an inch.
  EXPECT_NEAR(d.page.width - d.page.left - d.page.right, 7.2, 0.01);
  EXPECT_FLOAT_EQ(d.page.left, d.page.right);
  EXPECT_NEAR(d.page.height - d.page.top - d.page.bottom, 7.2, 0.01);
  const Paragraph& p = d.paragraphs.at(0);
  EXPECT_DOUBLE_EQ(p.spaceBefore, 1584);
  EXPECT_DOUBLE_EQ(p.spaceAfter, 0);
  EXPECT_DOUBLE_EQ(p.lineFactor, 132);
  ASSERT_EQ(d.shapes.size(), 1u);
  EXPECT_FLOAT_EQ(d.shapes[0].left, 1584);
  EXPECT_FLOAT_EQ(d.shapes[0].width, 0);
  EXPECT_FLOAT_EQ(d.shapes[0].height, 1584);
  // Every character still gets its box, each line on a page of its own at most.
  FontCache fonts;
  const Layout layout = LayOut(d, fonts);
  EXPECT_EQ(layout.chars.size(), static_cast<std::size_t>(d.ParagraphStarts().back()));
  EXPECT_LE(static_cast<std::size_t>(layout.pages), layout.lines.size());
}

TEST_F(Docx, ADocumentTypeIsRefused) {
  const auto dir = Folder();
  // Entities, which the reader would expand wherever it reads text, come only with a document type.
  std::ofstream(dir / "document.xml")
      << R"(<!DOCTYPE w:document [<!ENTITY name "a long text">]>)"
      << R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)"
      << "<w:p><w:r><w:t>&name;</w:t></w:r></w:p></w:body></w:document>";
  const std::string command = "cd '" + dir.string() +
                              "' && /usr/bin/python3 -c \"import zipfile;"
                              "zipfile.ZipFile('lol.docx','w').write('document.xml','word/document.xml')\"";
  ASSERT_EQ(std::system(command.c_str()), 0);
  try {
    ReadDocx(dir / "lol.docx");
    ADD_FAILURE() << "read";
  } catch (const DocxError& e) {
    EXPECT_NE(std::string(e.what()).find("declares a document type"), std::string::npos) << e.what();
  }
}

TEST_F(Docx, LayoutBreaksPagesAndWrapsLinesInsideTheMargins) {
  const auto file = MakeDocxFixture("report", Folder());
  ASSERT_FALSE(file.empty());
  const Document d = ReadDocx(file);
  FontCache fonts;
  const Layout layout = LayOut(d, fonts);
  EXPECT_EQ(layout.pages, 3);
  const auto starts = d.ParagraphStarts();
  ASSERT_EQ(layout.chars.size(), static_cast<std::size_t>(starts.back()));
  for (std::size_t i = 0; i < d.paragraphs.size(); ++i) {
    if (d.paragraphs[i].Text() != u"Results") continue;
    const CharBox& box = layout.chars[static_cast<std::size_t>(starts[i])];
    const LineBox& line = layout.lines[static_cast<std::size_t>(box.line)];
    EXPECT_EQ(line.page, 3);
    EXPECT_DOUBLE_EQ(box.x, 90);
    EXPECT_GE(line.top, 72);
  }

  const auto wrapFile = MakeDocxFixture("wrap", Folder());
  const Document w = ReadDocx(wrapFile);
  const Layout wrapped = LayOut(w, fonts);
  const LineBox& first = wrapped.lines[0];
  const LineBox& second = wrapped.lines[1];
  EXPECT_EQ(first.page, 1);
  EXPECT_GT(second.top, first.top);
  for (const auto& c : wrapped.chars) EXPECT_LE(c.x, 612 - 90 + 0.01);
  const Hyperlink& link = w.hyperlinks.at(0);
  EXPECT_NE(wrapped.chars[static_cast<std::size_t>(link.start)].line,
            wrapped.chars[static_cast<std::size_t>(link.end - 1)].line);
}

}  // namespace

namespace {

TEST_F(Docx, RunsPrintInTheirOwnFontWhereInstalledAndInOneThatHasTheirCharacters) {
  auto run = [](std::u16string text, std::u16string family, bool bold = false) {
    kq::wordproc::Run r;
    r.text = std::move(text);
    r.format.family = std::move(family);
    r.format.bold = bold;
    return r;
  };
  Document d;
  Paragraph p;
  p.runs = {run(u"Installed ", u"WenQuanYi Micro Hei"), run(u"Stand-in ", u"Calibri"),
            run(u"\u6982\u8981\u306E\u898B\u51FA\u3057", u"Calibri"), run(u" serif", u"Times New Roman", true)};
  d.paragraphs.push_back(p);
  FontCache fonts;
  const Layout layout = LayOut(d, fonts);
  auto pieceOf = [&](std::u16string_view text) -> const TextPiece* {
    for (const auto& piece : layout.pieces)
      if (piece.text.find(text) != std::u16string::npos) return &piece;
    return nullptr;
  };
  struct Case {
    std::u16string text;
    std::string file;  // what the face's file name holds; empty: any face that has every character
  };
  const Case cases[] = {
      {u"Installed", "wqy-microhei"},
      {u"Stand-in", "DejaVuSans.ttf"},
      {u"\u6982\u8981\u306E\u898B\u51FA\u3057", ""},
      {u"serif", "DejaVuSerif-Bold.ttf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.text));
    const TextPiece* piece = pieceOf(c.text);
    ASSERT_TRUE(piece);
    EXPECT_NE(piece->face.file.filename().string().find(c.file), std::string::npos) << piece->face.file;
    const auto font = kq::RealizedFont::Realize(FontFor(piece->face, piece->format, 72));
    ASSERT_TRUE(font) << piece->face.file;
    for (WCHAR ch : c.text) {
      if (ch == u' ') continue;
      EXPECT_NE(font->GlyphOf(ch), 0u) << static_cast<int>(ch);
    }
  }
  // The Japanese text is a piece of its own, after the Latin one of the same run format.
  EXPECT_NE(pieceOf(u"Stand-in")->face, pieceOf(u"\u6982\u8981")->face);
}

}  // namespace
