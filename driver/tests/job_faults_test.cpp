// Jobs that do not end well: the earlier file at the destination stays as it was, no part file stays behind and
// "FileName" never names a file this job did not finish.
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "driver_fixture.h"
#include "pdf/doc_writer.h"
#include "pdf/registry_value.h"
#include "win/fileapi.h"
#include "win/handleapi.h"

namespace {

using drvtest::DriverTest;

constexpr char16_t kDestination[] = u"C:\\Out\\Report.pdf";
constexpr char16_t kPart[] = u"C:\\Out\\.~Report.pdf.kqpart";

class JobFaults : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    MakeFolder(u"C:\\Out");
    WriteFile(kDestination, "the earlier PDF");
  }
  // A device naming its files in C:\Out, with a writer as DrvStartDoc makes it.
  drvtest::PdevPtr Device(BYTE overwrite = 1) {
    DriverDevMode record = DefaultRecord();
    std::fill(std::begin(record.priv.Folder), std::end(record.priv.Folder), u'\0');
    std::copy_n(u"C:\\Out", 6, record.priv.Folder);
    record.priv.UseDefFileName = 1;
    record.priv.Overwrite = overwrite;
    record.priv.OpenFile = 0;
    record.priv.PPOption = 0;
    drvtest::PdevPtr pdev = Enable(record);
    pdev->writer = std::make_unique<CPDF_DocWriter>();
    pdev->writer->LoadJobSettings(*pdev);
    return pdev;
  }
  static void TwoPages(CPDF_DocWriter& writer) {
    for (int page = 0; page < 2; ++page) {
      writer.StartPage();
      writer.EndPage(nullptr);
    }
  }
};

TEST_F(JobFaults, AFinishedDocumentReplacesTheEarlierFileOnlyAtItsEnd) {
  auto pdev = Device();
  CPDF_DocWriter& writer = *pdev->writer;
  RecordJobResult(u"C:\\Out\\Earlier.pdf");
  ASSERT_TRUE(writer.StartDocument(u"Report")) << JournalText();
  EXPECT_EQ(FileNameValue(), u"FALSE") << "no earlier job's file while this one runs";
  TwoPages(writer);
  EXPECT_EQ(Contents(kDestination), "the earlier PDF");
  EXPECT_TRUE(Exists(kPart));
  writer.EndDocument();
  const std::string pdf = Contents(kDestination);
  EXPECT_EQ(pdf.substr(0, 8), "%PDF-1.3");
  EXPECT_EQ(pdf.substr(pdf.size() - 5), "%%EOF");
  EXPECT_FALSE(Exists(kPart));
  EXPECT_EQ(FileNameValue(), kDestination);
}

TEST_F(JobFaults, AJobThatDoesNotEndCompleteLeavesTheEarlierFile) {
  struct Case {
    const char* what;
    std::function<void(CPDF_DocWriter&)> end;
  } const cases[] = {
      {"aborted by its program", [](CPDF_DocWriter& w) { w.AbortJob(); }},
      {"reset before its end (a new job, the device's end)", [](CPDF_DocWriter& w) { w.ResetJob(); }},
      {"a write that failed (a full disk)",
       [](CPDF_DocWriter& w) {
         w.writeError = ERROR_DISK_FULL;
         EXPECT_THROW(w.EndDocument(), PdfOutputError);
       }},
      {"a part file gone before the end",
       [](CPDF_DocWriter& w) {
         ASSERT_TRUE(DeleteFileW(w.partPath.c_str()));
         EXPECT_THROW(w.EndDocument(), PdfOutputError);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto pdev = Device();
    CPDF_DocWriter& writer = *pdev->writer;
    ASSERT_TRUE(writer.StartDocument(u"Report")) << JournalText();
    TwoPages(writer);
    c.end(writer);
    EXPECT_FALSE(writer.DocumentOpen());
    EXPECT_EQ(writer.outputFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Contents(kDestination), "the earlier PDF");
    EXPECT_FALSE(Exists(kPart));
    EXPECT_EQ(FileNameValue(), u"FALSE");
    // The writer takes the next job as if nothing had happened.
    writer.EndDocument();
    writer.AbortJob();
    EXPECT_EQ(Contents(kDestination), "the earlier PDF");
  }
}

TEST_F(JobFaults, WithoutOverwriteAFileMadeMeanwhileIsNotReplaced) {
  std::filesystem::remove(Host(kDestination));
  auto pdev = Device(0);
  CPDF_DocWriter& writer = *pdev->writer;
  ASSERT_TRUE(writer.StartDocument(u"Report")) << JournalText();
  EXPECT_FALSE(writer.replaceDestination);
  WriteFile(kDestination, "made by someone else");
  EXPECT_THROW(writer.EndDocument(), PdfOutputError);
  EXPECT_EQ(Contents(kDestination), "made by someone else");
  EXPECT_FALSE(Exists(kPart));
}

TEST_F(JobFaults, AKilledJobsPartFileIsTakenOverByTheNextJob) {
  WriteFile(kPart, "half a PDF");
  auto pdev = Device();
  CPDF_DocWriter& writer = *pdev->writer;
  ASSERT_TRUE(writer.StartDocument(u"Report")) << JournalText();
  writer.EndDocument();
  EXPECT_EQ(Contents(kDestination).substr(0, 8), "%PDF-1.3");
  EXPECT_FALSE(Exists(kPart));
}

TEST_F(JobFaults, WhatStandsUnderThePartFilesNameIsNeverWrittenThrough) {
  // Someone who may write the output folder puts a link or a FIFO where the next job's part file goes.
  WriteFile(u"C:\\Elsewhere.txt", "someone's work");
  const auto part = Host(kPart);
  for (const char* kind : {"link", "dangling link", "fifo"}) {
    SCOPED_TRACE(kind);
    std::filesystem::remove(part);
    if (std::string(kind) == "link") std::filesystem::create_symlink(Host(u"C:\\Elsewhere.txt"), part);
    if (std::string(kind) == "dangling link") std::filesystem::create_symlink(Host(u"C:\\Gone.txt"), part);
    if (std::string(kind) == "fifo") {
      ASSERT_EQ(::mkfifo(part.c_str(), 0600), 0);
    }
    auto pdev = Device();
    ASSERT_TRUE(pdev->writer->StartDocument(u"Report")) << JournalText();
    pdev->writer->EndDocument();
    EXPECT_EQ(Contents(kDestination).substr(0, 8), "%PDF-1.3");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(part)));
    EXPECT_EQ(Contents(u"C:\\Elsewhere.txt"), "someone's work");
    EXPECT_FALSE(Exists(u"C:\\Gone.txt"));
  }
}

TEST_F(JobFaults, ASecondJobOntoADestinationBeingWrittenIsAsked) {
  auto first = Device();
  auto second = Device();
  ASSERT_TRUE(first->writer->StartDocument(u"Report")) << JournalText();
  person.AnswerMessageBox(IDNO, {u"", u"Do you want to try another file?"});
  EXPECT_FALSE(second->writer->StartDocument(u"Report"));
  EXPECT_EQ(JournalOf(kq::JournalEntry::Kind::MessageBox).size(), 1u) << JournalText();
  EXPECT_TRUE(Exists(kPart)) << "the first job's file is untouched";
  first->writer->EndDocument();
  EXPECT_EQ(FileNameValue(), kDestination);
  EXPECT_EQ(Contents(kDestination).substr(0, 8), "%PDF-1.3");
}

}  // namespace
