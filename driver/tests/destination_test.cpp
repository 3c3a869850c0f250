#include <sys/stat.h>

#include <filesystem>

#include "driver_fixture.h"
#include "pdf/doc_writer.h"
#include "win/commdlg.h"
#include "win/handleapi.h"

namespace {

using drvtest::DriverTest;
using Kind = kq::JournalEntry::Kind;

constexpr char16_t kQuestion[] =
    u"Could not write to the file. It might be an invalid path, or the file is in use by another application.\n"
    u"Do you want to try another file?";

class Destination : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    MakeFolder(u"C:\\Out");
  }
  void TearDown() override { CloseOutput(); }

  struct Options {
    const char16_t* folder = u"C:\\Out";
    BYTE useDefaultFileName = 1;
    BYTE overwrite = 0;
  };
  // A writer loaded from a device with these options, as DrvStartDoc leaves it before the document starts.
  void Load(Options options) {
    CloseOutput();
    DriverDevMode record = DefaultRecord();
    std::fill(std::begin(record.priv.Folder), std::end(record.priv.Folder), u'\0');
    std::copy_n(options.folder, std::char_traits<char16_t>::length(options.folder), record.priv.Folder);
    record.priv.UseDefFileName = options.useDefaultFileName;
    record.priv.Overwrite = options.overwrite;
    pdev = Enable(record);
    ASSERT_NE(pdev, nullptr);
    writer = std::make_unique<CPDF_DocWriter>();
    writer->LoadJobSettings(*pdev);
  }
  void CloseOutput() {
    if (writer && writer->outputFile != INVALID_HANDLE_VALUE) {
      CloseHandle(writer->outputFile);
      writer->outputFile = INVALID_HANDLE_VALUE;
    }
  }
  std::vector<kq::JournalEntry> Boxes() const { return JournalOf(Kind::MessageBox); }
  std::vector<kq::JournalEntry> Dialogs() const { return JournalOf(Kind::SaveAs); }
  bool FolderIsEmpty(kq::WStringView folder) const { return std::filesystem::is_empty(Host(folder)); }
  // The file a job writes into, beside its destination, until the document ends.
  static kq::WString PartOf(kq::WStringView path) {
    const auto slash = path.find_last_of(u"\\/");
    return kq::WString(path.substr(0, slash + 1)) + u".~" + kq::WString(path.substr(slash + 1)) + u".kqpart";
  }

  drvtest::PdevPtr pdev;
  std::unique_ptr<CPDF_DocWriter> writer;
};

TEST_F(Destination, DefaultNamesFollowTheTitleRules) {
  struct Case {
    const char16_t* document;  // nullptr: no document name
    const char16_t* path;
  } const cases[] = {
      {u"Microsoft Word - Report.docx", u"C:\\Out\\Report.pdf"},
      {u"Microsoft PowerPoint - Q3 Slides.pptx", u"C:\\Out\\Q3 Slides.pdf"},
      {u"microsoft word - notes.doc", u"C:\\Out\\microsoft word - notes.pdf"},  // the prefixes match case
      {u"Microsoft Excel - Book1.xlsx", u"C:\\Out\\Microsoft Excel - Book1.pdf"},
      {u"C:\\Docs\\a.b.c.txt", u"C:\\Out\\a.pdf"},
      {u"  Budget", u"C:\\Out\\Budget.pdf"},
      {u"Ab\x07" u"c", u"C:\\Out\\Abc.pdf"},
      {u"x.ps", u"C:\\Out\\x.pdf"},    // shorter than 5: the whole name, then cleaned
      {u"C:\\a", u"C:\\Out\\a.pdf"},
      {u"abc", u"C:\\Out\\abc.pdf"},
      {u"Microsoft Word - ", u"C:\\Out\\.pdf"},
      {u"Report:", u"C:\\Out\\.pdf"},  // nothing after the last separator
      {nullptr, u"C:\\Out\\.pdf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document ? drvtest::Narrow(c.document) : "no name");
    Load({});
    ASSERT_TRUE(writer->ChooseDestination(c.document)) << JournalText();
    EXPECT_EQ(writer->outputPath, c.path);
    EXPECT_NE(writer->outputFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(writer->cancelled, 0u);
    EXPECT_EQ(writer->partPath, PartOf(c.path));
    CloseOutput();
    EXPECT_TRUE(Exists(PartOf(c.path)));
    EXPECT_FALSE(Exists(c.path)) << "the destination is made when the document ends";
    std::filesystem::remove(Host(PartOf(c.path)));
  }
  EXPECT_TRUE(Boxes().empty()) << JournalText();
  EXPECT_TRUE(Dialogs().empty()) << JournalText();
}

TEST_F(Destination, AFolderEndingInASeparatorGetsNoSecondOne) {
  for (const char16_t* folder : {u"C:\\Out\\", u"C:\\Out/"}) {
    Load({.folder = folder});
    ASSERT_TRUE(writer->ChooseDestination(u"Report"));
    EXPECT_EQ(writer->outputPath, kq::WString(folder) + u"Report.pdf");
    CloseOutput();
    std::filesystem::remove(Host(u"C:\\Out\\Report.pdf"));
  }
}

TEST_F(Destination, AnExistingFileIsNotReplacedWithoutOverwrite) {
  WriteFile(u"C:\\Out\\Report.pdf", "old");
  Load({});
  person.AnswerMessageBox(IDNO);
  EXPECT_FALSE(writer->ChooseDestination(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer->outputFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Contents(u"C:\\Out\\Report.pdf"), "old");
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Kelvo Quenzar Zedarod");
  EXPECT_EQ(boxes[0].text, kQuestion);
  EXPECT_EQ(boxes[0].style, MB_YESNO | MB_SETFOREGROUND);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(Destination, YesToTheQuestionOpensTheSaveAsDialog) {
  WriteFile(u"C:\\Out\\Report.pdf", "old");
  Load({});
  person.AnswerMessageBox(IDYES, {u"", u"Do you want to try another file?"});
  person.AnswerSaveAs(u"Other");
  ASSERT_TRUE(writer->ChooseDestination(u"Microsoft Word - Report.docx")) << JournalText();
  EXPECT_EQ(writer->outputPath, u"C:\\Out\\Other.pdf") << "typed in the dialog's folder, with the default extension";
  EXPECT_EQ(Contents(u"C:\\Out\\Report.pdf"), "old");
  CloseOutput();
  EXPECT_TRUE(Exists(PartOf(u"C:\\Out\\Other.pdf")));
  const auto dialogs = Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].caption, u"Print to PDF Document - Kelvo Quenzar Printer");
  EXPECT_NE(dialogs[0].line.find("folder \"C:\\Out\", name \"Report\""), std::string::npos) << dialogs[0].line;
}

TEST_F(Destination, WithOverwriteAnExistingFileIsTakenWithoutAsking) {
  WriteFile(u"C:\\Out\\Report.pdf", "old");
  Load({.overwrite = 1});
  ASSERT_TRUE(writer->ChooseDestination(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer->outputPath, u"C:\\Out\\Report.pdf");
  EXPECT_TRUE(writer->replaceDestination);
  CloseOutput();
  EXPECT_EQ(Contents(u"C:\\Out\\Report.pdf"), "old") << "replaced only by a finished document";
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Destination, TheSaveAsDialogIsAnswered) {
  Load({.useDefaultFileName = 0});
  const long threadsBefore = kq::RunningThreadCount(*machine);
  person.AnswerSaveAs(u"C:\\Out\\Chosen.pdf");
  ASSERT_TRUE(writer->ChooseDestination(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer->outputPath, u"C:\\Out\\Chosen.pdf");
  EXPECT_EQ(writer->cancelled, 0u);
  CloseOutput();
  EXPECT_TRUE(Exists(PartOf(u"C:\\Out\\Chosen.pdf")));
  EXPECT_FALSE(Exists(PartOf(u"C:\\Out\\Report.pdf"))) << "no default name without the option";
  EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore) << "the dialog's thread is gone";
  const auto dialogs = Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].answer, IDOK);
  EXPECT_EQ(dialogs[0].text, u"C:\\Out\\Chosen.pdf");
  EXPECT_FALSE(FileNameValue().has_value()) << "the document's end records the name, not the dialog";
}

TEST_F(Destination, TheDialogAsksBeforeReplacingOnlyWithoutOverwrite) {
  for (BYTE overwrite : {0, 1}) {
    SCOPED_TRACE(overwrite ? "overwrite" : "no overwrite");
    WriteFile(u"C:\\Out\\Chosen.pdf", "old");
    const std::size_t boxesBefore = Boxes().size();
    Load({.useDefaultFileName = 0, .overwrite = overwrite});
    person.AnswerSaveAs(u"C:\\Out\\Chosen.pdf");
    person.AnswerMessageBox(IDYES, {u"Confirm Save As", u""});
    ASSERT_TRUE(writer->ChooseDestination(u"Chosen"));
    CloseOutput();
    EXPECT_EQ(Contents(u"C:\\Out\\Chosen.pdf"), "old");
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size() - boxesBefore, overwrite ? 0u : 1u) << JournalText();
    if (!overwrite) {
      EXPECT_EQ(boxes.back().caption, u"Confirm Save As");
    }
  }
}

TEST_F(Destination, CancellingTheDialogCancelsTheJob) {
  Load({.useDefaultFileName = 0});
  person.CancelSaveAs();
  ASSERT_TRUE(writer->ChooseDestination(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer->cancelled, 1u);
  EXPECT_EQ(writer->outputFile, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(writer->outputPath.empty());
  EXPECT_EQ(FileNameValue(), u"FALSE");
  EXPECT_TRUE(FolderIsEmpty(u"C:\\Out"));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Destination, ADialogErrorIsReportedAndMakesNoFile) {
  struct Case {
    DWORD error;
    int answer;
  } const cases[] = {{FNERR_INVALIDFILENAME, IDNO}, {CDERR_DIALOGFAILURE, IDNO}, {FNERR_BUFFERTOOSMALL, IDYES}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "error " << c.error);
    const std::size_t boxesBefore = Boxes().size(), dialogsBefore = Dialogs().size();
    Load({.useDefaultFileName = 0});
    person.FailSaveAs(c.error);
    person.AnswerMessageBox(c.answer, {u"", u"Do you want to try another file?"});
    if (c.answer == IDYES) person.AnswerSaveAs(u"C:\\Out\\Second.pdf");
    EXPECT_EQ(writer->ChooseDestination(u"Microsoft Word - Report.docx"), c.answer == IDYES) << JournalText();
    EXPECT_EQ(writer->cancelled, 0u);
    EXPECT_EQ(FileNameValue(), u"FALSE");

    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size() - boxesBefore, 2u) << JournalText();
    const auto& report = boxes[boxesBefore];
    EXPECT_EQ(report.caption, u"Kelvo Quenzar Zedarod");
    EXPECT_EQ(report.style, MB_OK | MB_SETFOREGROUND);
    EXPECT_NE(report.text.find(kq::FormatWideString(u"Error = %d Name = Report", static_cast<int>(c.error))),
              kq::WString::npos)
        << drvtest::Narrow(report.text);
    EXPECT_NE(report.text.find(u"support@"), kq::WString::npos);
    EXPECT_EQ(boxes[boxesBefore + 1].text, kQuestion);

    if (c.answer == IDNO) {
      EXPECT_EQ(writer->outputFile, INVALID_HANDLE_VALUE);
      EXPECT_TRUE(FolderIsEmpty(u"C:\\Out")) << "nothing is made from the dialog's buffer";
    } else {
      EXPECT_EQ(writer->outputPath, u"C:\\Out\\Second.pdf");
      const auto dialogs = Dialogs();
      ASSERT_EQ(dialogs.size() - dialogsBefore, 2u);
      EXPECT_NE(dialogs.back().line.find("name \"Report\""), std::string::npos)
          << "the next showing proposes the title again: " << dialogs.back().line;
      CloseOutput();
      std::filesystem::remove(Host(u"C:\\Out\\Second.pdf"));
    }
  }
}

TEST_F(Destination, AChosenFileThatCannotBeWrittenLeadsToTheQuestion) {
  // Held open without sharing by another program; a FIFO, which is never opened (it would wait for a reader); a
  // folder.
  const HANDLE other = CreateFileW(u"C:\\Out\\Busy.pdf", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  ASSERT_EQ(::mkfifo(Host(u"C:\\Out\\Fifo.pdf").c_str(), 0600), 0);
  MakeFolder(u"C:\\Out\\Folder.pdf");
  for (const char16_t* chosen : {u"C:\\Out\\Busy.pdf", u"C:\\Out\\Fifo.pdf", u"C:\\Out\\Folder.pdf"}) {
    SCOPED_TRACE(drvtest::Narrow(chosen));
    const std::size_t boxesBefore = Boxes().size(), dialogsBefore = Dialogs().size();
    Load({.useDefaultFileName = 0, .overwrite = 1});
    person.AnswerSaveAs(chosen);
    person.AnswerMessageBox(IDYES, {u"", u"Do you want to try another file?"});
    person.AnswerSaveAs(u"C:\\Out\\Free.pdf");
    ASSERT_TRUE(writer->ChooseDestination(u"Busy"));
    EXPECT_EQ(writer->outputPath, u"C:\\Out\\Free.pdf");
    EXPECT_EQ(Dialogs().size() - dialogsBefore, 2u) << JournalText();
    ASSERT_EQ(Boxes().size() - boxesBefore, 1u);
    EXPECT_EQ(Boxes().back().text, kQuestion);
    EXPECT_FALSE(Exists(PartOf(chosen)));
  }
  CloseHandle(other);
}

TEST_F(Destination, ADefaultPathThatCannotBeOpenedLeadsToTheQuestion) {
  ASSERT_EQ(::mkfifo(Host(u"C:\\Out\\Fifo.pdf").c_str(), 0600), 0);
  MakeFolder(u"C:\\Out\\Folder.pdf");
  struct Case {
    const char* what;
    const char16_t* folder;
    kq::WString document;
    BYTE overwrite = 0;
  } const cases[] = {
      {"a folder that does not exist", u"C:\\Missing", u"Report"},
      {"a name too long for the platform", u"C:\\Out", kq::WString(400, u'r')},
      // Never opened: it would wait for a reader.
      {"a FIFO in the file's place", u"C:\\Out", u"Fifo", 1},
      {"a folder in the file's place", u"C:\\Out", u"Folder", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t boxesBefore = Boxes().size();
    Load({.folder = c.folder, .overwrite = c.overwrite});
    person.AnswerMessageBox(IDNO, {u"", u"Do you want to try another file?"});
    EXPECT_FALSE(writer->ChooseDestination(c.document.c_str()));
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size() - boxesBefore, 1u);
    EXPECT_EQ(boxes.back().text, kQuestion);
  }
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(Destination, AnUnansweredPersonEndsInACancelledJob) {
  // The question takes its default (Yes); the dialog is accepted once with its proposal, which cannot be written
  // either; asked again with no answer, the person cancels.
  Load({.folder = u"C:\\Missing"});
  ASSERT_TRUE(writer->ChooseDestination(u"Report")) << JournalText();
  EXPECT_EQ(writer->cancelled, 1u);
  EXPECT_EQ(FileNameValue(), u"FALSE");
  EXPECT_EQ(Dialogs().size(), 2u) << JournalText();
  EXPECT_EQ(Boxes().size(), 2u) << JournalText();
}

TEST_F(Destination, BatchJobsNameTheFileWithoutAsking) {
  SetPrinterNumber(printer_value::kBatch, 1);
  SetPrinterText(printer_value::kDestName, u"Daily");
  SetPrinterText(printer_value::kFolder, u"C:\\Batch");
  MakeFolder(u"C:\\Batch");
  WriteFile(u"C:\\Batch\\Daily.pdf", "yesterday");
  Load({.folder = u"", .useDefaultFileName = 0, .overwrite = 0});
  EXPECT_EQ(writer->openFile, 0u);
  ASSERT_TRUE(writer->ChooseDestination(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer->outputPath, u"C:\\Batch\\Daily.pdf");
  CloseOutput();
  EXPECT_EQ(Contents(u"C:\\Batch\\Daily.pdf"), "yesterday") << "replaced at the end, without asking";
  EXPECT_TRUE(writer->replaceDestination);
  EXPECT_TRUE(person.Journal().empty()) << JournalText();
}

TEST_F(Destination, BatchJobsWithoutANameUseTheTitle) {
  SetPrinterNumber(printer_value::kBatch, 1);
  Load({});
  ASSERT_TRUE(writer->ChooseDestination(u"Microsoft Word - Report.docx"));
  EXPECT_EQ(writer->outputPath, u"C:\\Out\\Report.pdf");
}

TEST_F(Destination, APosixFolderNamesAHostFolder) {
  const auto host = std::filesystem::path(Host(u"C:\\")) / "posix-out";
  std::filesystem::create_directories(host);
  const kq::WString folder = kq::WideFromUtf8(host.string());
  Load({.folder = folder.c_str()});
  ASSERT_TRUE(writer->ChooseDestination(u"Report"));
  CloseOutput();
  EXPECT_TRUE(std::filesystem::exists(host / ".~Report.pdf.kqpart"));
}

}  // namespace
