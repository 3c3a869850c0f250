// The add-in job reader over real shared memory: the claim, the tables it fills, the add-in's progress dialog, and
// what a taken, malformed or unusable block leaves.
#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <thread>

#include "driver_fixture.h"
#include "handover/handover_block.h"
#include "pdf/doc_writer.h"
#include "pdf/progress_protocol.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/memoryapi.h"

namespace {

using drvtest::DriverTest;
using Kind = kq::JournalEntry::Kind;

class AddinJob : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    MakeFolder(u"C:\\Out");
  }
  void TearDown() override { Unpublish(); }

  // Publishes a block as the add-in does: a whole-unit mapping holding the writer's buffer.
  void Publish(const handover::Content& content) {
    handover::BlockWriter writer;
    ASSERT_TRUE(writer.Start());
    handover::WriteContent(writer, content);
    PublishBytes(writer.Data(), writer.Size());
  }
  void PublishBytes(const std::byte* bytes, std::size_t size) {
    Unpublish();
    block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                               handover::kSharedMemoryName);
    ASSERT_NE(block, nullptr);
    void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    std::memcpy(view, bytes, size);
    UnmapViewOfFile(view);
  }
  void Unpublish() {
    if (block) CloseHandle(block);
    block = nullptr;
  }
  // The taken flag as the add-in's mapping holds it.
  std::uint32_t TakenFlag() const {
    const auto* view = static_cast<const std::byte*>(MapViewOfFile(block, FILE_MAP_READ, 0, 0, 0));
    std::uint32_t flag = 0;
    std::memcpy(&flag, view + handover::kTakenFlagOffset, 4);
    UnmapViewOfFile(view);
    return flag;
  }

  static handover::Content Document(kq::WString path = u"C:\\Out\\Report.pdf") {
    handover::Content content;
    content.bookmarks.emplace(u"intro", handover::Position{1, 72});
    content.bookmarks.emplace(u"_Toc1", handover::Position{2, 100});
    content.outline.push_back({u"", u"", -1, -1, -1, 1, 1});
    content.outline.push_back({u"1 Introduction", u"_Toc1", 0, -1, -1, -1, -1});
    content.links.emplace(2, handover::LinkRecord{u"https://example.org/", handover::kLinkUri, 72, 100, 144, 112});
    content.links.emplace(1, handover::LinkRecord{u"intro", handover::kLinkDestination, 10, 20, 30, 40});
    content.links.emplace(2, handover::LinkRecord{u"/C/f.pdf", handover::kLinkLaunch, 1, 2, 3, 4});
    content.pageCount = 3;
    content.outputPath = std::move(path);
    return content;
  }

  HANDLE block = nullptr;
};

TEST_F(AddinJob, WithoutABlockTheJobIsAnOrdinaryOne) {
  CPDF_DocWriter writer;
  EXPECT_FALSE(writer.OpenAddinJob());
  EXPECT_EQ(writer.mapping, nullptr);
  EXPECT_EQ(writer.addinJob, 0u);
  EXPECT_EQ(writer.outputFile, INVALID_HANDLE_VALUE);
}

TEST_F(AddinJob, AFreeBlockIsClaimedAndFillsTheTables) {
  Publish(Document());
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.OpenAddinJob());
  EXPECT_EQ(TakenFlag(), 1u);
  EXPECT_NE(writer.mapping, nullptr) << "held until the job ends";
  EXPECT_EQ(writer.addinJob, 1u);
  EXPECT_EQ(writer.totalPages, 3);
  EXPECT_EQ(writer.outputPath, u"C:\\Out\\Report.pdf");
  EXPECT_NE(writer.outputFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(writer.partPath, u"C:\\Out\\.~Report.pdf.kqpart") << "written beside the destination";
  EXPECT_TRUE(Exists(writer.partPath));
  EXPECT_FALSE(Exists(u"C:\\Out\\Report.pdf"));
  EXPECT_EQ(writer.progressWindow, nullptr) << "no add-in dialog runs";

  ASSERT_EQ(writer.namedDests.size(), 2u);
  EXPECT_EQ(writer.namedDests.begin()->first, u"_Toc1") << "code-unit order";
  EXPECT_EQ(writer.namedDests.at(u"intro").page, 1);
  EXPECT_EQ(writer.namedDests.at(u"intro").y, 72);
  ASSERT_EQ(writer.outlineItems.size(), 2u);
  EXPECT_EQ(writer.outlineItems[1].title, u"1 Introduction");
  EXPECT_EQ(writer.outlineItems[1].destName, u"_Toc1");
  EXPECT_EQ(writer.outlineItems[0].first, 1);
  std::vector<std::pair<std::int32_t, kq::WString>> links;
  for (const auto& [page, link] : writer.pageLinks) links.emplace_back(page, link.target);
  EXPECT_EQ(links, (std::vector<std::pair<std::int32_t, kq::WString>>{
                       {1, u"intro"}, {2, u"https://example.org/"}, {2, u"/C/f.pdf"}}));
  const LinkRecord& uri = writer.pageLinks.find(2)->second;
  EXPECT_EQ(std::tie(uri.left, uri.top, uri.right, uri.bottom, uri.kind),
            std::make_tuple(72, 100, 144, 112, kLinkUri));

  // A second job during the same conversion finds the block taken and leaves its tables alone.
  CPDF_DocWriter second;
  second.namedDests[u"own"] = {1, 1};
  EXPECT_FALSE(second.OpenAddinJob());
  EXPECT_EQ(second.namedDests.size(), 1u);
  EXPECT_EQ(second.mapping, nullptr);
  EXPECT_EQ(second.addinJob, 0u);

  writer.ResetJob();
  EXPECT_EQ(writer.mapping, nullptr);
  Unpublish();
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, handover::kSharedMemoryName), nullptr)
      << "gone once both sides closed their handles";
}

TEST_F(AddinJob, TheAddinsDialogIsFoundByItsCaption) {
  // Another window of the suite with a similar caption is not taken for it.
  const HWND driverDialog = CreateWindowExW(0, WC_DIALOG, u"Kelvo Quenzar Zedarod", WS_POPUP, 0, 0, 10, 10, nullptr,
                                            nullptr, nullptr, nullptr);
  const HWND addinDialog = CreateWindowExW(0, WC_DIALOG, handover::kStatusCaption, WS_POPUP, 0, 0, 10, 10, nullptr,
                                           nullptr, nullptr, nullptr);
  ASSERT_NE(addinDialog, nullptr);
  Publish(Document());
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.OpenAddinJob());
  EXPECT_EQ(writer.progressWindow, addinDialog);
  EXPECT_EQ(writer.ProgressWindow(), addinDialog);
  writer.ResetJob();
  EXPECT_EQ(writer.progressWindow, nullptr);
  DestroyWindow(addinDialog);
  DestroyWindow(driverDialog);
}

TEST_F(AddinJob, AMalformedBlockIsDroppedAndStaysTaken) {
  // Bookmark section declared 3 bytes longer than its one record.
  handover::BlockWriter bytes;
  ASSERT_TRUE(bytes.Start());
  const std::size_t record = bytes.AppendString(u"n") + bytes.AppendInt(1) + bytes.AppendInt(2);
  bytes.SetHeaderWord(handover::kBookmarkSizeOffset, static_cast<std::uint32_t>(record + 3));
  bytes.AppendInt(1);
  bytes.AppendString(u"C:\\Out\\Bad.pdf");
  PublishBytes(bytes.Data(), bytes.Size());
  CPDF_DocWriter writer;
  EXPECT_FALSE(writer.OpenAddinJob());
  EXPECT_TRUE(writer.namedDests.empty());
  EXPECT_EQ(writer.mapping, nullptr);
  EXPECT_EQ(writer.addinJob, 0u);
  EXPECT_FALSE(Exists(u"C:\\Out\\Bad.pdf"));
  EXPECT_EQ(TakenFlag(), 1u) << "no later job reads it either";
}

TEST_F(AddinJob, AFileThatCannotBeMadeReleasesOnlyTheAddinsPart) {
  for (const kq::WString& path : {kq::WString(), kq::WString(u"C:\\No such folder\\x.pdf")}) {
    SCOPED_TRACE(drvtest::Narrow(path));
    Publish(Document(path));
    CPDF_DocWriter writer;
    writer.fontFaces = std::make_unique<FontFaceList>();
    writer.pdfA1b = 1;
    EXPECT_FALSE(writer.OpenAddinJob());
    EXPECT_TRUE(writer.namedDests.empty());
    EXPECT_TRUE(writer.outlineItems.empty());
    EXPECT_TRUE(writer.pageLinks.empty());
    EXPECT_EQ(writer.mapping, nullptr);
    EXPECT_EQ(writer.addinJob, 0u);
    EXPECT_EQ(writer.outputFile, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(writer.outputPath.empty());
    EXPECT_NE(writer.fontFaces, nullptr) << "the job's settings stay for the ordinary road";
    EXPECT_EQ(writer.pdfA1b, 1);
    EXPECT_EQ(TakenFlag(), 1u);
  }
}

TEST_F(AddinJob, PageCountsBelowOneCountAsOne) {
  for (std::int32_t count : {0, -7}) {
    handover::BlockWriter bytes;
    ASSERT_TRUE(bytes.Start());
    bytes.AppendInt(count);
    bytes.AppendString(u"C:\\Out\\Count.pdf");
    PublishBytes(bytes.Data(), bytes.Size());
    CPDF_DocWriter writer;
    ASSERT_TRUE(writer.OpenAddinJob());
    EXPECT_EQ(writer.totalPages, 1) << count;
    writer.ResetJob();
  }
}

TEST_F(AddinJob, OfTwoJobsRacingForOneBlockExactlyOneClaimsIt) {
  for (int round = 0; round < 20; ++round) {
    Publish(Document());
    CPDF_DocWriter first, second;
    std::atomic<int> ready{0};
    bool claimed[2] = {false, false};
    auto race = [&](CPDF_DocWriter& writer, bool& result) {
      kq::MachineScope bound(machine.Get());
      ++ready;
      while (ready < 2) {
      }
      result = writer.OpenAddinJob();
    };
    std::thread a(race, std::ref(first), std::ref(claimed[0]));
    std::thread b(race, std::ref(second), std::ref(claimed[1]));
    a.join();
    b.join();
    EXPECT_EQ(claimed[0] + claimed[1], 1) << "round " << round;
    first.ResetJob();
    second.ResetJob();
  }
}

// An add-in job goes the road of every job: its file is put in place only at a complete end, so one that fails
// leaves the earlier file as it was, and one that ends replaces it.
TEST_F(AddinJob, AFailingAddinJobLeavesTheEarlierFile) {
  const std::function<void(CPDF_DocWriter&)> failures[] = {
      [](CPDF_DocWriter& w) { w.AbortJob(); },
      [](CPDF_DocWriter& w) {
        w.writeError = ERROR_DISK_FULL;
        EXPECT_THROW(w.EndDocument(), PdfOutputError);
      },
      [](CPDF_DocWriter& w) { w.ResetJob(); },
  };
  constexpr char16_t kPdf[] = u"C:\\Out\\Report.pdf";
  const std::string earlier = "%PDF-1.3 the earlier file\n%%EOF";
  WriteFile(kPdf, earlier);
  for (std::size_t i = 0; i <= std::size(failures); ++i) {
    SCOPED_TRACE(i);
    Publish(Document());
    auto pdev = Enable(DefaultRecord());
    ASSERT_NE(pdev, nullptr);
    pdev->writer = std::make_unique<CPDF_DocWriter>();
    CPDF_DocWriter& writer = *pdev->writer;
    writer.LoadJobSettings(*pdev);
    ASSERT_TRUE(writer.StartDocument(u"Microsoft Word - Report.docx")) << JournalText();
    ASSERT_TRUE(writer.StartPage());
    writer.EndPage(nullptr);
    EXPECT_EQ(Contents(kPdf), earlier) << "untouched while the job runs";
    if (i == std::size(failures)) {
      writer.EndDocument();
      EXPECT_EQ(Contents(kPdf).substr(0, 8), "%PDF-1.3");
      EXPECT_NE(Contents(kPdf), earlier);
      EXPECT_EQ(FileNameValue(), kPdf);
    } else {
      failures[i](writer);
      EXPECT_EQ(Contents(kPdf), earlier);
      EXPECT_EQ(FileNameValue(), u"FALSE");
    }
    EXPECT_FALSE(Exists(u"C:\\Out\\.~Report.pdf.kqpart"));
  }
}

// StartDocument on an add-in job: the block's path without a Save As dialog, no progress dialog of the driver's own,
// and the structure in the file.
TEST_F(AddinJob, AnAddinDocumentNeedsNoDialogAndCarriesItsStructure) {
  Publish(Document());
  DriverDevMode record = DefaultRecord();
  auto pdev = Enable(record);
  ASSERT_NE(pdev, nullptr);
  pdev->writer = std::make_unique<CPDF_DocWriter>();
  CPDF_DocWriter& writer = *pdev->writer;
  writer.LoadJobSettings(*pdev);
  ASSERT_TRUE(writer.StartDocument(u"Microsoft Word - Report.docx")) << JournalText();
  EXPECT_EQ(writer.progressThread, nullptr);
  for (int page = 1; page <= 3; ++page) {
    ASSERT_TRUE(writer.StartPage());
    writer.EndPage(nullptr);
  }
  writer.EndDocument();
  EXPECT_EQ(FileNameValue(), u"C:\\Out\\Report.pdf");
  EXPECT_TRUE(JournalOf(Kind::SaveAs).empty()) << JournalText();
  EXPECT_TRUE(JournalOf(Kind::WindowShown).empty()) << JournalText();
  const std::string pdf = Contents(u"C:\\Out\\Report.pdf");
  for (const char* expected : {"/Outlines", "/Dests", "(_Toc1)", "/URI (https://example.org/)", "/Launch"})
    EXPECT_NE(pdf.find(expected), std::string::npos) << expected;
}

// A block whose path is no file for a PDF (one of the machine's own files, a folder, a FIFO, the document being
// printed, which its program holds) gets the question of any file that cannot be written: on No the job is
// cancelled, on Yes the ordinary road follows; either way the file is left as it was.
TEST_F(AddinJob, ABlocksPathThatIsNoFileForAPdfIsQuestioned) {
  const auto root = machine->Root();
  ASSERT_TRUE(std::filesystem::exists(root / "registry.db"));
  ASSERT_EQ(::mkfifo(Host(u"C:\\Out\\pipe.pdf").c_str(), 0600), 0);
  WriteFile(u"C:\\Out\\Report.docx", "PK the document");
  const HANDLE document = CreateFileW(u"C:\\Out\\Report.docx", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(document, INVALID_HANDLE_VALUE);
  const kq::WString paths[] = {
      kq::WindowsPathFromPosix((root / "registry.db").string()),
      kq::WindowsPathFromPosix((root / "new.pdf").string()),
      u"C:\\Out",
      u"C:\\Out\\pipe.pdf",
      u"C:\\Out\\Report.docx",
  };
  for (const kq::WString& path : paths) {
    for (const int answer : {IDNO, IDYES}) {
      SCOPED_TRACE(drvtest::Narrow(path) + (answer == IDNO ? ", No" : ", Yes"));
      const std::string before = std::filesystem::is_regular_file(Host(path)) ? Contents(path) : std::string();
      const std::size_t boxes = JournalOf(Kind::MessageBox).size();
      Publish(Document(path));
      person.AnswerMessageBox(answer, {u"", u"Do you want to try another file?"});
      CPDF_DocWriter writer;
      EXPECT_EQ(writer.OpenAddinJob(), answer == IDNO);
      ASSERT_EQ(JournalOf(Kind::MessageBox).size(), boxes + 1) << JournalText();
      EXPECT_EQ(writer.cancelled, answer == IDNO ? 1u : 0u);
      EXPECT_EQ(writer.outputFile, INVALID_HANDLE_VALUE);
      if (answer == IDNO) {
        EXPECT_EQ(FileNameValue(), u"FALSE");
      } else {
        EXPECT_EQ(writer.addinJob, 0u) << "the ordinary road follows";
      }
      writer.ResetJob();
      if (!before.empty()) {
        EXPECT_EQ(Contents(path), before);
      }
    }
  }
  EXPECT_FALSE(std::filesystem::exists(root / "new.pdf"));
  EXPECT_TRUE(std::filesystem::is_fifo(Host(u"C:\\Out\\pipe.pdf")));
  CloseHandle(document);
}

}  // namespace
