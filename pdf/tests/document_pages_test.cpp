#include "document_fixture.h"

namespace doctest {
namespace {

using Pages = DocumentTest;

TEST_F(Pages, TheStartWritesTheHeaderTheColourSpaceAndTheProfile) {
  struct Case {
    BYTE pdfA1b;
    std::string header;
  } const cases[] = {
      {0, "%PDF-1.3\n%\x8E\x9D\xA3\xB4\xC5\xD6\xE7\xF8\n"},
      {1, "%PDF-1.3\n%\x81\x82\x83\x84\n%\x8E\x9D\xA3\xB4\xC5\xD6\xE7\xF8\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int{c.pdfA1b});
    writer_.pdfA1b = c.pdfA1b;
    ASSERT_EQ(writer_.StartDocument(u"Report"), TRUE);
    EXPECT_TRUE(writer_.DocumentOpen());
    EXPECT_EQ(writer_.title, u"Report");

    const std::string colorSpace = "2 0 obj\n[/ICCBased 3 0 R]\nendobj\n";
    const std::string profile = ProfileObject();
    EXPECT_EQ(File(), c.header + colorSpace + profile);
    EXPECT_EQ(Inflate(StreamData(profile)), ProfileBytes());
    EXPECT_EQ(writer_.xrefOffsets, (std::vector<std::uint64_t>{0, c.header.size(), c.header.size() + 33}));
    EXPECT_EQ(writer_.bytesWritten, c.header.size() + colorSpace.size() + profile.size());
    EXPECT_EQ(writer_.lastObjectNumber, 3u);
    EXPECT_EQ(writer_.pagesRootNumber, 1u);
    EXPECT_EQ(writer_.colorSpaceNumber, 2u);
    writer_.ResetJob();
  }
  // Each document of the job's own started the progress thread.
  AwaitProgressThread(2);
}

TEST_F(Pages, APageIsItsCompressedContentThenItsPageObject) {
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  const std::size_t start = File().size();
  writer_.StartPage();
  ASSERT_NE(writer_.contentStream, nullptr);
  EXPECT_EQ(*writer_.contentStream, "/CS1 cs /CS1 CS ");
  // What the drawing code leaves: content, a font and an image on the page, an open clip, a pending text run.
  *writer_.contentStream += "0 0 m 10 10 l S\n";
  writer_.pageFonts = {9};
  writer_.pageImages = {12};
  writer_.clipId = 4;
  writer_.textWriter.pendingText = "/F9 10 Tf 0 Tr 72 700 TD [(x";
  writer_.textWriter.state = CPDF_TextWriter::kInString;
  writer_.EndPage(nullptr);
  writer_.SettlePage();

  const std::string file = File();
  const std::string contents = ObjectAt(file, start);
  ASSERT_EQ(contents.substr(0, 8), "4 0 obj\n");
  EXPECT_EQ(Value(contents, "/Filter"), "/FlateDecode");
  EXPECT_EQ(Inflate(StreamData(contents)), "/CS1 cs /CS1 CS 0 0 m 10 10 l S\nBT /F9 10 Tf 0 Tr 72 700 TD [(x)]TJ ET\nQ ");
  EXPECT_EQ(ObjectAt(file, start + contents.size()),
            "5 0 obj\n<<\n/Contents 4 0 R \n/MediaBox [0 0 612 792] \n/PageIndex 1 \n/Parent 1 0 R \n"
            "/Resources <</Font <</F9 9 0 R >> /Shading <<>> /XObject <</Im12 12 0 R >> /ColorSpace <</CS1 2 0 R>> "
            ">> \n/Type /Page \n>>\nendobj\n");
  EXPECT_EQ(writer_.xrefOffsets[3], start);
  EXPECT_EQ(writer_.xrefOffsets[4], start + contents.size());
  EXPECT_EQ(writer_.pageObjects, std::vector<std::uint32_t>{5});
  EXPECT_EQ(writer_.contentStream, nullptr);
  EXPECT_TRUE(writer_.pageFonts.empty());
  EXPECT_TRUE(writer_.pageImages.empty());

  // The next page starts with a clean state, whatever the last one left.
  writer_.strokeColorSet = writer_.fillColorSet = writer_.lineWidthSet = 1;
  writer_.dashText = "[3] 0 d";
  writer_.clipText = "0 0 10 10 re";
  writer_.pageShadings = {7};
  writer_.textWriter.pendingText = "/F9 10 Tf 0 Tr 72 700 TD [(stale";
  writer_.textWriter.state = CPDF_TextWriter::kInString;
  writer_.StartPage();
  EXPECT_EQ(writer_.clipId, 0u);
  EXPECT_TRUE(writer_.clipText.empty());
  EXPECT_EQ(writer_.strokeColorSet + writer_.fillColorSet + writer_.lineWidthSet, 0u);
  EXPECT_TRUE(writer_.dashText.empty());
  EXPECT_TRUE(writer_.pageShadings.empty());
  const std::size_t second = File().size();
  writer_.EndPage(nullptr);
  writer_.SettlePage();
  const std::string more = File();
  const std::string contents2 = ObjectAt(more, second);
  EXPECT_EQ(Inflate(StreamData(contents2)), "/CS1 cs /CS1 CS ");
  const std::string page2 = ObjectAt(more, second + contents2.size());
  EXPECT_EQ(Value(page2, "/PageIndex"), "2");
  EXPECT_EQ(Value(page2, "/Resources"),
            "<</Font <<>> /Shading <<>> /XObject <<>> /ColorSpace <</CS1 2 0 R>> >>");
  EXPECT_EQ(writer_.pageObjects, (std::vector<std::uint32_t>{5, 7}));
}

TEST_F(Pages, TheMediaBoxIsThePageInPoints) {
  struct Case {
    std::int32_t width, height;
    double pointsPerPixel;
    std::string box;
  } const cases[] = {
      {2550, 3300, 72.0 / 300, "[0 0 612 792]"},
      {3300, 2550, 72.0 / 300, "[0 0 792 612]"},
      {4961, 7016, 72.0 / 600, "[0 0 595.32 841.92]"},
  };
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  for (const auto& c : cases) {
    writer_.pageWidthPx = c.width;
    writer_.pageHeightPx = c.height;
    writer_.pointsPerPixel = c.pointsPerPixel;
    writer_.StartPage();
    const std::size_t start = File().size();
    writer_.EndPage(nullptr);
    writer_.SettlePage();
    const std::string file = File();
    EXPECT_EQ(Value(ObjectAt(file, start + ObjectAt(file, start).size()), "/MediaBox"), c.box);
  }
}

TEST_F(Pages, LinkAnnotationsStandBetweenTheContentsAndThePage) {
  writer_.pageLinks.emplace(1, LinkRecord{72, 100, 144, 112, u"http://example.com", kLinkUri});
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  writer_.StartPage();
  writer_.EndPage(nullptr);
  writer_.SettlePage();
  const std::string file = File();
  std::vector<std::string> order;
  for (std::uint32_t n = 4; n <= writer_.lastObjectNumber; ++n)
    order.push_back(ObjectAt(file, writer_.xrefOffsets[n - 1]));
  ASSERT_EQ(order.size(), 4u);
  EXPECT_NE(order[0].find("/Filter /FlateDecode"), std::string::npos);
  EXPECT_EQ(Value(order[1], "/S"), "/URI");
  EXPECT_EQ(Value(order[2], "/Subtype"), "/Link");
  EXPECT_EQ(Value(order[3], "/Annots"), "[6 0 R ]");
  EXPECT_LT(writer_.xrefOffsets[4], writer_.xrefOffsets[6]);
}

// A page's content is compressed while the next page is drawn: its objects wait, and go into the file before
// anything numbered or written after it, so the file is the one written at once; a job given up meanwhile leaves no
// page behind and the next document prints whole.
TEST_F(Pages, AnEndedPagesObjectsGoBeforeAnythingNumberedOrWrittenAfterIt) {
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  const std::size_t start = File().size();
  writer_.StartPage();
  *writer_.contentStream += "0 0 m 10 10 l S\n";
  writer_.EndPage(nullptr);
  EXPECT_EQ(writer_.PagesEnded(), 1u);
  writer_.StartPage();
  *writer_.contentStream += "1 1 m 5 5 l S\n";
  // An object the next page draws (an image, a new font) takes its number after the ended page's two.
  EXPECT_EQ(writer_.NewObjectNumber(), 6u);
  std::string file = File();
  const std::string contents = ObjectAt(file, start);
  ASSERT_EQ(contents.substr(0, 8), "4 0 obj\n");
  EXPECT_EQ(Inflate(StreamData(contents)), "/CS1 cs /CS1 CS 0 0 m 10 10 l S\n");
  EXPECT_EQ(ObjectAt(file, start + contents.size()).substr(0, 8), "5 0 obj\n");
  EXPECT_EQ(writer_.pageObjects, (std::vector<std::uint32_t>{5}));

  writer_.EndPage(nullptr);
  EXPECT_EQ(writer_.PagesEnded(), 2u);
  writer_.AbortJob();
  EXPECT_EQ(writer_.PagesEnded(), 0u);
  EXPECT_FALSE(writer_.DocumentOpen());

  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  const std::size_t again = File().size();
  writer_.StartPage();
  *writer_.contentStream += "2 2 m 3 3 l S\n";
  writer_.EndPage(nullptr);
  writer_.SettlePage();
  file = File();
  EXPECT_EQ(Inflate(StreamData(ObjectAt(file, again))), "/CS1 cs /CS1 CS 2 2 m 3 3 l S\n");
  EXPECT_EQ(writer_.pageObjects, (std::vector<std::uint32_t>{5}));
}

// The text and the positions the progress window gets at each page start.
struct PageProgress {
  kq::WString text;
  std::optional<WPARAM> position;
};

std::vector<PageProgress> RunPages(CPDF_DocWriter& writer, ProgressWindow& window, int pages) {
  std::vector<PageProgress> seen;
  for (int i = 0; i < pages; ++i) {
    writer.StartPage();
    PageProgress page;
    for (const auto& m : window.Take()) {
      if (m.control == IDC_PROGRESS_TEXT && m.message == WM_SETTEXT) page.text = m.text;
      if (m.control == IDC_PROGRESS_BAR && m.message == PBM_SETPOS) page.position = m.wParam;
    }
    seen.push_back(page);
    // The page's objects wait while the next page starts: it is counted all the same.
    writer.EndPage(nullptr);
  }
  return seen;
}

TEST_F(Pages, AJobOfItsOwnCyclesThroughThePositionsInStepsOfFive) {
  ProgressWindow window;
  Stubs().progressWindow = window.Handle();
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  AwaitProgressThread();
  const auto seen = RunPages(writer_, window, 24);
  for (int page = 1; page <= 24; ++page) {
    SCOPED_TRACE(page);
    const auto& p = seen[static_cast<std::size_t>(page - 1)];
    EXPECT_EQ(p.text, u"Printing page " + kq::WideFromUtf8(std::to_string(page)));
    const int position = (page - 1) * 5 % 110;
    if (position >= 1 && position <= 100) {
      EXPECT_EQ(p.position, static_cast<WPARAM>(position));
    } else {
      EXPECT_EQ(p.position, std::nullopt);  // page 1 (0), page 22 (105), page 23 (0)
    }
  }
}

TEST_F(Pages, AnAddinJobGoesFromSeventyOverItsAnnouncedPages) {
  struct Case {
    std::int32_t announced;
    std::vector<std::optional<WPARAM>> positions;
  } const cases[] = {
      {10, {70, 73, 76, 79, 82, 85, 88, 91, 94, 97}},
      {0, {70, 100, std::nullopt}},  // no pages announced counts as one
      {-3, {70, 100, std::nullopt}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.announced);
    ProgressWindow window;
    Stubs().addin = true;
    Stubs().addinPages = c.announced;
    Stubs().addinWindow = window.Handle();
    ASSERT_TRUE(writer_.StartDocument(u"Report"));
    EXPECT_EQ(Stubs().chooseCalls, 0);
    std::vector<std::optional<WPARAM>> positions;
    for (const auto& p : RunPages(writer_, window, static_cast<int>(c.positions.size())))
      positions.push_back(p.position);
    EXPECT_EQ(positions, c.positions);
    writer_.ResetJob();
  }
  // The add-in's dialog shows the job: the driver starts none of its own.
  EXPECT_EQ(kq::RunningThreadCount(*machine_), 0);
  EXPECT_EQ(Stubs().progressThreads, 0);
}

TEST_F(Pages, WithoutADestinationNothingIsOpenAndNothingWritten) {
  struct Case {
    JobStubs::Destination destination;
    BOOL result;
    std::optional<kq::WString> fileName;
  } const cases[] = {
      {JobStubs::Destination::Fail, FALSE, u"FALSE"},  // never an earlier job's file
      {JobStubs::Destination::Cancel, TRUE, u"FALSE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.destination));
    Stubs().destination = c.destination;
    EXPECT_EQ(writer_.StartDocument(u"Report"), c.result);
    EXPECT_FALSE(writer_.DocumentOpen());
    EXPECT_EQ(writer_.title, u"Report");
    EXPECT_EQ(writer_.StartPage(), TRUE);
    EXPECT_EQ(writer_.contentStream, nullptr);
    writer_.EndPage(nullptr);
    writer_.SettlePage();
    writer_.EndDocument();
    EXPECT_FALSE(Exists());
    EXPECT_EQ(writer_.lastObjectNumber, 0u);
    EXPECT_EQ(ResultValue(), c.fileName);
    EXPECT_EQ(Stubs().progressThreads, 0);
  }
}

TEST_F(Pages, TheTitleIsSetOrEmptiedAtEveryStart) {
  ASSERT_TRUE(writer_.StartDocument(u"First"));
  EXPECT_EQ(writer_.title, u"First");
  writer_.EndDocument();
  ASSERT_TRUE(writer_.StartDocument(nullptr));
  EXPECT_EQ(writer_.title, u"");
  writer_.EndDocument();
}

}  // namespace
}  // namespace doctest
