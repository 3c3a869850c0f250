// The document writer's document and page operations driving the real job operations: destination, progress
// dialog and reset.
#include "driver_fixture.h"
#include "pdf/doc_writer.h"
#include "pdf/progress_protocol.h"

namespace {

using drvtest::DriverTest;
using Kind = kq::JournalEntry::Kind;

class DocumentJob : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    MakeFolder(u"C:\\Out");
    windowsBefore = person.WindowCount();
    threadsBefore = kq::RunningThreadCount(*machine);
  }
  // A writer as DrvStartDoc makes it for a device naming its files in C:\Out.
  void Load(BYTE useDefaultFileName) {
    DriverDevMode record = DefaultRecord();
    std::fill(std::begin(record.priv.Folder), std::end(record.priv.Folder), u'\0');
    std::copy_n(u"C:\\Out", 6, record.priv.Folder);
    record.priv.UseDefFileName = useDefaultFileName;
    record.priv.Overwrite = 1;
    record.priv.OpenFile = 0;
    record.priv.PPOption = 0;
    pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    pdev->writer = std::make_unique<CPDF_DocWriter>();
    pdev->writer->LoadJobSettings(*pdev);
  }
  void ExpectNothingLeft() {
    EXPECT_EQ(pdev->writer->progressThread, nullptr);
    EXPECT_EQ(person.WindowCount(), windowsBefore) << JournalText();
    EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore);
  }

  drvtest::PdevPtr pdev;
  std::size_t windowsBefore = 0;
  long threadsBefore = 0;
};

TEST_F(DocumentJob, AnOwnJobShowsItsProgressAndLeavesNothingBehind) {
  Load(1);
  CPDF_DocWriter& writer = *pdev->writer;
  ASSERT_TRUE(writer.StartDocument(u"Microsoft Word - Report.docx")) << JournalText();
  EXPECT_EQ(writer.outputPath, u"C:\\Out\\Report.pdf");
  for (int page = 1; page <= 3; ++page) {
    ASSERT_TRUE(writer.StartPage());
    const HWND dialog = writer.ProgressWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(person.ControlText(dialog, IDC_PROGRESS_TEXT), kq::FormatWideString(u"Printing page %d", page));
    writer.EndPage(nullptr);
  }
  writer.EndDocument();
  ExpectNothingLeft();
  EXPECT_EQ(Contents(u"C:\\Out\\Report.pdf").substr(0, 8), "%PDF-1.3");
  EXPECT_EQ(FileNameValue(), u"C:\\Out\\Report.pdf");
  EXPECT_EQ(JournalOf(Kind::WindowShown).size(), 1u);
  EXPECT_EQ(JournalOf(Kind::WindowClosed).size(), 1u);

  // The next document on the same writer gets a dialog of its own.
  writer.ResetJob();
  writer.LoadJobSettings(*pdev);
  ASSERT_TRUE(writer.StartDocument(u"Second"));
  ASSERT_TRUE(writer.StartPage());
  EXPECT_NE(writer.ProgressWindow(), nullptr);
  writer.EndPage(nullptr);
  writer.EndDocument();
  ExpectNothingLeft();
  EXPECT_EQ(JournalOf(Kind::WindowShown).size(), 2u);
}

TEST_F(DocumentJob, ACancelledJobShowsNoProgress) {
  Load(0);
  CPDF_DocWriter& writer = *pdev->writer;
  person.CancelSaveAs();
  ASSERT_TRUE(writer.StartDocument(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer.cancelled, 1u);
  EXPECT_EQ(writer.progressThread, nullptr);
  writer.StartPage();
  writer.EndPage(nullptr);
  writer.EndDocument();
  ExpectNothingLeft();
  EXPECT_EQ(FileNameValue(), u"FALSE");
  EXPECT_FALSE(Exists(u"C:\\Out\\Report.pdf"));
  EXPECT_EQ(JournalOf(Kind::WindowShown).size(), 1u) << "only the Save As dialog: " << JournalText();
}

TEST_F(DocumentJob, ABatchJobShowsNothing) {
  SetPrinterNumber(printer_value::kBatch, 1);
  SetPrinterText(printer_value::kDestName, u"Daily");
  Load(0);
  CPDF_DocWriter& writer = *pdev->writer;
  ASSERT_TRUE(writer.StartDocument(u"Report"));
  EXPECT_EQ(writer.outputPath, u"C:\\Out\\Daily.pdf");
  writer.StartPage();
  writer.EndPage(nullptr);
  writer.EndDocument();
  ExpectNothingLeft();
  EXPECT_TRUE(person.Journal().empty()) << JournalText();
  EXPECT_EQ(FileNameValue(), u"C:\\Out\\Daily.pdf");
}

TEST_F(DocumentJob, DisablingTheDeviceMidJobEndsTheDialog) {
  Load(1);
  ASSERT_TRUE(pdev->writer->StartDocument(u"Report"));
  ASSERT_TRUE(pdev->writer->StartPage());
  ASSERT_NE(pdev->writer->ProgressWindow(), nullptr);
  pdev.reset();  // DrvDisablePDEV with the document still open
  EXPECT_EQ(person.WindowCount(), windowsBefore);
  EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore);
}

}  // namespace
