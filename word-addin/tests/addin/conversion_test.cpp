#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "addin_fixture.h"
#include "win/memoryapi.h"
#include "win/handleapi.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/user.h"
#include "wordproc/test_documents.h"

namespace {

using kq::ComPtr;
using kq::Variant;
namespace fs = std::filesystem;

constexpr WCHAR kCaption[] = u"Kelvo Quenzar Zedarod";

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char chunk[4096];
  for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
  pclose(pipe);
  return out;
}

class Conversion : public AddinMachine {
 protected:
  Conversion() { out_ = machine_->Root() / "out"; fs::create_directories(out_); }

  kq::SimulatedUser& Person() { return machine_->Service<kq::SimulatedUser>(); }

  // No `overwrite` leaves the value out, as on a fresh machine.
  void InstallPrinter(DWORD useDefFileName, const fs::path& folder, std::optional<DWORD> overwrite) {
    ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
    PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(u"Kelvo Quenzar Printer", &printer, &admin));
    const std::u16string text = folder.empty() ? u"" : kq::WindowsPathFromPosix(folder.string());
    SetPrinterDataExW(printer, u"PrinterDriverData", u"Folder", REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                      static_cast<DWORD>((text.size() + 1) * 2));
    SetPrinterDataExW(printer, u"PrinterDriverData", u"UseDefFileName", REG_DWORD,
                      reinterpret_cast<const BYTE*>(&useDefFileName), 4);
    if (overwrite)
      SetPrinterDataExW(printer, u"PrinterDriverData", u"Overwrite", REG_DWORD,
                        reinterpret_cast<const BYTE*>(&*overwrite), 4);
    ClosePrinter(printer);
  }

  // Starts the word processor with the add-in and opens a document python-docx wrote.
  ComPtr<IDispatch> OpenFixture(const std::string& kind, std::u16string version = u"11.0") {
    app_ = Start(true, std::move(version));
    const auto file = kq::wordproc::MakeDocxFixture(kind, machine_->Root());
    EXPECT_FALSE(file.empty());
    const auto documents = kq::GetProperty(app_.Get(), u"Documents").ToDispatch();
    return kq::CallMethod(documents.Get(), u"Open", {Variant(kq::WideFromUtf8(file.string()))}).ToDispatch();
  }

  void Click() {
    const auto bars = kq::GetProperty(app_.Get(), u"CommandBars").ToDispatch();
    const auto bar = kq::CallMethod(bars.Get(), u"Item", {Variant(u"PDF Printer")}).ToDispatch();
    const auto controls = kq::GetProperty(bar.Get(), u"Controls").ToDispatch();
    kq::CallMethod(kq::CallMethod(controls.Get(), u"Item", {Variant(INT{1})}).ToDispatch().Get(), u"Execute");
  }

  // The message boxes and Save As dialogs of the journal, one line each.
  std::vector<std::string> Asked() {
    std::vector<std::string> lines;
    for (const auto& e : Person().Journal())
      if (e.kind == kq::JournalEntry::Kind::MessageBox)
        lines.push_back("box: " + kq::Utf8FromWide(e.text));
      else if (e.kind == kq::JournalEntry::Kind::SaveAs)
        lines.push_back("save as: " + kq::Utf8FromWide(e.caption));
    return lines;
  }

  void TearDown() override {
    if (app_) kq::CallMethod(app_.Get(), u"Quit");
  }

  fs::path out_;
  ComPtr<IDispatch> app_;
};

const std::string kSaveAsTitle = "save as: Print to PDF Document -- Kelvo Quenzar Printer.";

TEST_F(Conversion, DefaultNamingPrintsTheDocumentWithItsOutlineAndRestoresThePrinter) {
  InstallPrinter(1, out_, 1);
  OpenFixture("report");
  const auto before = kq::GetProperty(app_.Get(), u"ActivePrinter").ToText();
  Click();
  const fs::path pdf = out_ / "report.pdf";
  ASSERT_TRUE(fs::exists(pdf)) << ::testing::PrintToString(Asked());
  EXPECT_TRUE(Asked().empty()) << ::testing::PrintToString(Asked());
  EXPECT_GT(fs::file_size(pdf), 1000u);
  EXPECT_EQ(std::system(("qpdf --check '" + pdf.string() + "' >/dev/null 2>&1").c_str()), 0);
  const std::string json = Output("qpdf --json '" + pdf.string() + "'");
  EXPECT_NE(json.find("\"title\": \"Results\""), std::string::npos);
  EXPECT_NE(json.find("/Dests"), std::string::npos);
  EXPECT_EQ(kq::GetProperty(app_.Get(), u"ActivePrinter").ToText(), before);
}

TEST_F(Conversion, WithoutTheVirtualPrinterNothingHappensButTheBox) {
  OpenFixture("report");
  Click();
  EXPECT_EQ(Asked(), std::vector<std::string>{"box: Can't find Kelvo Quenzar Printer."});
}

TEST_F(Conversion, AnUnsavedDocumentIsSavedOnOkAndLeftOnCancel) {
  InstallPrinter(1, out_, 1);
  const auto doc = OpenFixture("report");
  kq::PutProperty(doc.Get(), u"Saved", Variant(false));
  const std::string question =
      "box: Your document needs to be saved before converting. \nDo you wish to save the document and continue?";
  Person().AnswerMessageBox(IDCANCEL, {kCaption, u"needs to be saved"});
  Click();
  EXPECT_EQ(Asked(), std::vector<std::string>{question});
  EXPECT_FALSE(fs::exists(out_ / "report.pdf"));
  EXPECT_FALSE(kq::GetProperty(doc.Get(), u"Saved").ToBool());

  Person().AnswerMessageBox(IDOK, {kCaption, u"needs to be saved"});
  Click();
  EXPECT_TRUE(kq::GetProperty(doc.Get(), u"Saved").ToBool());
  EXPECT_TRUE(fs::exists(out_ / "report.pdf"));
}

TEST_F(Conversion, ARunningJobsBlockStopsTheConversionBeforePrinting) {
  InstallPrinter(1, out_, 1);
  const std::string earlier = "%PDF-1.3 an earlier conversion\n%%EOF";
  std::ofstream(out_ / "report.pdf") << earlier;
  OpenFixture("report");
  const HANDLE other = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                          handover::kSharedMemoryName);
  ASSERT_TRUE(other);
  Click();
  EXPECT_EQ(Asked(), std::vector<std::string>{"box: A printing job is running. \nPlease try later."});
  std::ifstream kept(out_ / "report.pdf", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), earlier) << "choosing the file leaves it";
  CloseHandle(other);
  Click();
  EXPECT_GT(fs::file_size(out_ / "report.pdf"), 1000u);
}

TEST_F(Conversion, SaveAsCancelledStopsAndAFileThatCannotBeWrittenIsAskedAgain) {
  // Overwrite 0 and the default name taken: the question, then the Save As dialog.
  InstallPrinter(1, out_, 0);
  std::ofstream(out_ / "report.pdf") << "kept";
  OpenFixture("report");
  Person().AnswerMessageBox(IDYES, {kCaption, u"Could not write"});
  Person().CancelSaveAs();
  Click();
  const std::string question =
      "box: Could not write to the file. It might be an invalid path, or the file is in use by another "
      "application.\nDo you want to try another file?";
  EXPECT_EQ(Asked(), (std::vector<std::string>{question, kSaveAsTitle}));
  EXPECT_EQ(fs::file_size(out_ / "report.pdf"), 4u);

  // A folder that is no folder: the dialog's name cannot be written; Yes asks again, the second name is printed.
  // A FIFO is no file for the PDF either, and trying it does not wait for a reader.
  const fs::path chosen = out_ / "chosen.pdf";
  const fs::path fifo = out_ / "fifo.pdf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Person().AnswerMessageBox(IDNO, {kCaption, u"Could not write"});
  Person().AnswerMessageBox(IDYES, {kCaption, u"Could not write"});
  Person().AnswerSaveAs(kq::WindowsPathFromPosix((out_ / "missing" / "x.pdf").string()));
  Person().AnswerSaveAs(kq::WindowsPathFromPosix(fifo.string()));
  Person().AnswerSaveAs(kq::WindowsPathFromPosix(chosen.string()));
  Click();
  EXPECT_FALSE(fs::exists(chosen));  // the first question was answered No
  Click();
  EXPECT_GT(fs::file_size(chosen), 1000u);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(Conversion, WithoutAnOverwriteValueAnExistingFileIsAskedAboutAndKept) {
  InstallPrinter(1, out_, std::nullopt);
  std::ofstream(out_ / "report.pdf") << "kept";
  OpenFixture("report");
  Person().AnswerMessageBox(IDNO, {kCaption, u"Could not write"});
  Click();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_NE(Asked()[0].find("Could not write"), std::string::npos);
  EXPECT_EQ(fs::file_size(out_ / "report.pdf"), 4u);
}

ComPtr<IDispatch> View(IDispatch* document) {
  return kq::GetProperty(kq::GetProperty(document, u"ActiveWindow").ToDispatch().Get(), u"View").ToDispatch();
}

TEST_F(Conversion, AProtectedDocumentIsPrintedWithoutABlockOnOkAndTheViewIsPutBack) {
  // Without default naming the driver, holding no block, asks where the file goes.
  InstallPrinter(0, out_, 1);
  const auto doc = OpenFixture("protected");
  const std::string question =
      "box: The document is protected. Tags and links will not be converted. \nDo you wish to continue and create "
      "PDF without tags?";
  for (const int answer : {IDCANCEL, IDOK}) {
    SCOPED_TRACE(answer);
    kq::PutProperty(View(doc.Get()).Get(), u"Type", Variant(INT{1}));
    Person().AnswerMessageBox(answer, {kCaption, u"protected"});
    const fs::path pdf = out_ / "driver.pdf";
    if (answer == IDOK) Person().AnswerSaveAs(kq::WindowsPathFromPosix(pdf.string()));
    Click();
    EXPECT_EQ(kq::GetProperty(View(doc.Get()).Get(), u"Type").ToInt(), 1);
    EXPECT_FALSE(fs::exists(out_ / "protected.pdf"));  // the add-in chose no file
    EXPECT_EQ(fs::exists(pdf), answer == IDOK);
  }
  const auto asked = Asked();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], question);
  EXPECT_EQ(asked[1], question);
  const std::string json = Output("qpdf --json '" + (out_ / "driver.pdf").string() + "'");
  EXPECT_NE(json.find("\"outlines\": []"), std::string::npos);
}

TEST_F(Conversion, RevisionsAskOnlyFromTheLaterVersionsOn) {
  InstallPrinter(1, out_, 1);
  const std::string question =
      "box: Zedarod cannot convert links in the documents which have comments or revisions.\nDo you wish to continue "
      "and create the PDF without links?";
  struct Case {
    std::u16string version;
    bool asked;
  };
  for (const auto& c : {Case{u"9.0", false}, Case{u"10.0", false}, Case{u"11.0", true}, Case{u"12.0", true}}) {
    SCOPED_TRACE(kq::Utf8FromWide(c.version));
    const auto doc = OpenFixture("revised", c.version);
    Person().AnswerMessageBox(IDCANCEL, {kCaption, u"comments or revisions"});
    Click();
    const auto asked = Asked();
    EXPECT_EQ(!asked.empty() && asked.back() == question, c.asked);
    // Not asked: printed with the block to the default name.
    EXPECT_EQ(fs::exists(out_ / "revised.pdf"), !c.asked);
    fs::remove(out_ / "revised.pdf");
    // A view that does not show the marks asks nothing.
    kq::PutProperty(View(doc.Get()).Get(), u"ShowRevisionsAndComments", Variant(false));
    const std::size_t before = Asked().size();
    Click();
    EXPECT_EQ(Asked().size(), before);
    EXPECT_TRUE(fs::exists(out_ / "revised.pdf"));
    fs::remove(out_ / "revised.pdf");
    kq::CallMethod(app_.Get(), u"Quit");
    app_ = nullptr;
    program_.reset();
  }
}

TEST_F(Conversion, TheOutputIsNamedAfterTheDocument) {
  InstallPrinter(1, out_, 1);
  auto addin = kq::ComPtr<CDovecap>::Attach(new CDovecap());
  ASSERT_EQ(addin->FindVirtualPrinter(), 1);
  EXPECT_EQ(std::u16string(addin->PrinterName()), u"Kelvo Quenzar Printer");
  const std::u16string folder = kq::WindowsPathFromPosix(out_.string());
  struct Case {
    std::u16string document;
    std::string file;
  };
  const Case cases[] = {
      {u"E:\\docs\\My.Report.doc", "My.pdf"}, {u"  .doc", ".pdf"},       {u"C:/a/b:c*d?e\"f<g>h|  x.y.z", "x.pdf"},
      {u"", ".pdf"},                          {u"plain", "plain.pdf"},
  };
  for (const auto& c : cases) {
    WCHAR output[260] = {};
    ASSERT_EQ(addin->ChooseOutputFile(c.document, output), 1) << kq::Utf8FromWide(c.document);
    EXPECT_EQ(std::u16string(output), folder + u"\\" + kq::WideFromUtf8(c.file));
    EXPECT_FALSE(fs::exists(out_ / c.file)) << "choosing the file makes none";
  }
  EXPECT_EQ(std::u16string(addin->Folder()), folder + u"\\");
}

TEST_F(Conversion, AFolderOfOneUnitOrNoDefaultNamingOpensTheDialog) {
  for (const auto& [use, folder] : {std::pair<DWORD, std::string>{1, "C"}, {0, out_.string()}}) {
    InstallPrinter(use, folder == "C" ? fs::path() : fs::path(folder), 1);
    auto addin = kq::ComPtr<CDovecap>::Attach(new CDovecap());
    ASSERT_EQ(addin->FindVirtualPrinter(), 1);
    Person().CancelSaveAs();
    WCHAR output[260] = {};
    EXPECT_EQ(addin->ChooseOutputFile(u"doc.docx", output), 0);
  }
  EXPECT_EQ(Asked(), (std::vector<std::string>{kSaveAsTitle, kSaveAsTitle}));
}

}  // namespace
