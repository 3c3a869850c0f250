#include "driver_fixture.h"
#include "pdf/doc_writer.h"
#include "win/handleapi.h"
#include "win/synchapi.h"

namespace {

using drvtest::DriverTest;

class JobCleanup : public DriverTest {
 protected:
  // A font that counts its destruction.
  struct CountedFont : CPDF_Font {
    CountedFont(CPDF_DocWriter& writer, int& count) : CPDF_Font(&writer, u"Counted"), destroyed(count) {}
    ~CountedFont() override { ++destroyed; }
    void Prepare(const IFIMETRICS&) override {}
    MappedChar MapChar(char32_t, HGLYPH, bool) override { return {}; }
    void WriteResources() override {}
    int& destroyed;
  };

  // A writer in the middle of an add-in job with one page written.
  void FillJob(CPDF_DocWriter& writer, int& fontsDestroyed) {
    writer.documentFonts.push_back(std::make_unique<CountedFont>(writer, fontsDestroyed));
    writer.documentFonts.push_back(std::make_unique<CountedFont>(writer, fontsDestroyed));
    writer.pageObjects = {5};
    writer.xrefOffsets = {0, 15, 48};
    writer.pageFonts = {7};
    writer.pageImages = {8};
    writer.pageShadings = {9};
    writer.namedDests[u"top"] = {1, 0};
    writer.outlineItems.push_back(OutlineItem{u"root", u""});
    writer.pageLinks.emplace(1, LinkRecord{0, 0, 10, 10, u"top", kLinkNamedDest});
    writer.mapping = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // any handle stands for the mapping here
    writer.addinJob = 1;
    writer.progressWindow = reinterpret_cast<HWND>(0x4242);
    writer.fontFaces = std::make_unique<FontFaceList>();
    writer.outputFile = CreateFileW(u"C:\\job.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    writer.outputPath = u"C:\\job.pdf";
    writer.textWriter.state = CPDF_TextWriter::kPending;
    writer.textWriter.pendingText = "/F9 12 Tf ";
    writer.documentOpen = true;
  }
};

TEST_F(JobCleanup, ResetJobReleasesWhatBelongsToOneDocument) {
  const std::size_t handlesBefore = kq::OpenHandleCount();
  CPDF_DocWriter writer;
  int fontsDestroyed = 0;
  FillJob(writer, fontsDestroyed);
  ASSERT_NE(writer.outputFile, INVALID_HANDLE_VALUE);
  ASSERT_EQ(kq::OpenHandleCount(), handlesBefore + 2);

  writer.ResetJob();
  EXPECT_EQ(fontsDestroyed, 2) << "through the fonts' virtual destructors";
  EXPECT_EQ(writer.textWriter.state, CPDF_TextWriter::kIdle) << "no pending text names a font that is gone";
  EXPECT_TRUE(writer.textWriter.pendingText.empty());
  EXPECT_TRUE(writer.documentFonts.empty());
  EXPECT_TRUE(writer.pageObjects.empty());
  EXPECT_TRUE(writer.xrefOffsets.empty());
  EXPECT_TRUE(writer.pageFonts.empty());
  EXPECT_TRUE(writer.pageImages.empty());
  EXPECT_TRUE(writer.pageShadings.empty());
  EXPECT_EQ(writer.outputFile, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(writer.outputPath.empty());
  EXPECT_FALSE(writer.DocumentOpen());
  EXPECT_TRUE(writer.namedDests.empty());
  EXPECT_TRUE(writer.outlineItems.empty());
  EXPECT_TRUE(writer.pageLinks.empty());
  EXPECT_EQ(writer.mapping, nullptr);
  EXPECT_EQ(writer.addinJob, 0u);
  EXPECT_EQ(writer.progressWindow, nullptr);
  EXPECT_EQ(writer.fontFaces, nullptr);
  EXPECT_EQ(kq::OpenHandleCount(), handlesBefore) << "the file and the mapping are closed";

  // Again: nothing more to release.
  writer.ResetJob();
  EXPECT_EQ(kq::OpenHandleCount(), handlesBefore);
}

TEST_F(JobCleanup, CloseJobKeepsTheDocumentsObjects) {
  CPDF_DocWriter writer;
  int fontsDestroyed = 0;
  FillJob(writer, fontsDestroyed);
  writer.CloseJob();
  EXPECT_TRUE(writer.namedDests.empty());
  EXPECT_TRUE(writer.outlineItems.empty());
  EXPECT_TRUE(writer.pageLinks.empty());
  EXPECT_EQ(writer.mapping, nullptr);
  EXPECT_EQ(writer.addinJob, 0u);
  EXPECT_EQ(writer.progressWindow, nullptr);
  EXPECT_EQ(writer.fontFaces, nullptr);
  EXPECT_EQ(fontsDestroyed, 0);
  EXPECT_EQ(writer.pageObjects.size(), 1u);
  EXPECT_NE(writer.outputFile, INVALID_HANDLE_VALUE) << "the document's file is the document's end's to close";
  writer.ResetJob();
}

}  // namespace
