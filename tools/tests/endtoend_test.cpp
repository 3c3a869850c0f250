// Jobs printed through the engine's application side and the real libtelodrv.so, judged by outside PDF readers.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "endtoend_fixture.h"
#include "op_table.h"
#include "win/processthreadsapi.h"
#include "win/registry.h"
#include "win/spooler.h"
#include "win/user.h"

namespace e2e {
namespace {

const std::filesystem::path kDriverLibrary = std::filesystem::path(KQ_BINARY_DIR) / "lib" / "libtelodrv.so";
const std::filesystem::path kPrintTool = std::filesystem::path(KQ_BINARY_DIR) / "bin" / "kqprint";

// The process's own program as the driver names it in /Creator.
std::string ProgramAsWindowsPath() {
  return kq::Utf8FromWide(kq::WindowsPathFromPosix(std::filesystem::read_symlink("/proc/self/exe").string()));
}

TEST_F(EndToEndTest, APrintedJobIsACompletePdfWithItsPagesAndInformation) {
  const auto file = out / "report.pdf";
  const auto outcome = Print(Job("Microsoft Word - Report.docx", 3), file);
  ASSERT_TRUE(outcome.printed) << outcome.failure << "\n" << JournalText();
  ASSERT_TRUE(outcome.fileName);
  EXPECT_EQ(*outcome.fileName, kq::WindowsPathFromPosix(file.string()));

  ExpectQpdfCheckPasses(file);
  auto info = PdfInfo(file);
  EXPECT_EQ(info["Pages"], "3");
  // A4 at 300 dpi is 2480 x 3507 pixels.
  EXPECT_EQ(info["Page size"], "595.2 x 841.68 pts (A4)");
  EXPECT_EQ(info["Producer"], "Kelvo Quenzar Printer Version 2.0.1.0823");
  EXPECT_EQ(info["Creator"], ProgramAsWindowsPath());
  EXPECT_EQ(info["Title"], "Microsoft Word - Report.docx");
  EXPECT_EQ(info["PDF version"], "1.3");
  EXPECT_TRUE(Boxes().empty()) << JournalText();
}

TEST_F(EndToEndTest, PaperAndResolutionSettingsGiveThePageSize) {
  const struct {
    const char* settings;
    const char* pageSize;
  } cases[] = {
      {R"({"PaperSize": 1})", "612 x 792 pts (letter)"},
      {R"({"PaperSize": 1, "Orientation": 2})", "792 x 612 pts (letter)"},
      {R"({"PaperSize": 9, "Orientation": 2, "DPI": 600, "GDIPunt": 0})", "841.8 x 595.2 pts (A4)"},
      // 100 x 150 mm at 300 dpi: 1181 x 1771 pixels.
      {R"({"PaperSize": 256, "PaperWidth": 1000, "PaperLength": 1500})", "283.44 x 425.04 pts"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const auto file = out / ("paper" + std::to_string(++n) + ".pdf");
    const auto outcome = Print(Job("Paper", 2, c.settings), file);
    ASSERT_TRUE(outcome.printed) << c.settings << ": " << outcome.failure;
    ExpectQpdfCheckPasses(file);
    auto info = PdfInfo(file);
    EXPECT_EQ(info["Pages"], "2") << c.settings;
    EXPECT_EQ(info["Page size"], c.pageSize) << c.settings;
  }
}

TEST_F(EndToEndTest, ADefaultNameInTheJobsFolderNeedsNoDialog) {
  // The folder is a POSIX path as a person writes it; the name comes from the document's title.
  const std::string settings = R"({"UseDefFileName": 1, "Folder": ")" + out.string() + R"("})";
  const auto outcome = kqprint::RunJob(Job("Microsoft Word - Budget 2024.docx", 1, settings), {});
  ASSERT_TRUE(outcome.printed) << outcome.failure;
  const auto file = out / "Budget 2024.pdf";
  EXPECT_EQ(outcome.fileName, kq::WindowsPathFromPosix(file.string()));
  ExpectQpdfCheckPasses(file);
  for (const auto& entry : machine->Service<kq::SimulatedUser>().Journal())
    EXPECT_NE(entry.kind, kq::JournalEntry::Kind::SaveAs) << entry.line;
}

TEST_F(EndToEndTest, ADocumentWithoutPagesGetsOneBlankPage) {
  const auto file = out / "empty.pdf";
  const auto outcome = Print(Job("", 0), file);
  ASSERT_TRUE(outcome.printed) << outcome.failure;
  ExpectQpdfCheckPasses(file);
  auto info = PdfInfo(file);
  EXPECT_EQ(info["Pages"], "1");
  EXPECT_EQ(info["Title"], "");
}

TEST_F(EndToEndTest, ACancelledSaveAsWritesNoFileAndRecordsFalse) {
  kqprint::PrintOptions options;
  options.cancel = true;
  const auto outcome = kqprint::RunJob(Job("Cancelled", 2), options);
  ASSERT_TRUE(outcome.printed) << outcome.failure;
  ASSERT_TRUE(outcome.fileName);
  EXPECT_EQ(*outcome.fileName, u"FALSE");
  EXPECT_TRUE(std::filesystem::is_empty(out));
  bool sawCancel = false;
  for (const auto& entry : machine->Service<kq::SimulatedUser>().Journal())
    if (entry.kind == kq::JournalEntry::Kind::SaveAs) sawCancel = entry.answer == IDCANCEL;
  EXPECT_TRUE(sawCancel) << JournalText();
}

TEST_F(EndToEndTest, ClosingActionsFollowTheSettings) {
  const auto file = out / "actions.pdf";
  const kq::WString windowsPath = kq::WindowsPathFromPosix(file.string());
  // When the post-processor starts, the file is complete and its path not yet recorded.
  bool completeAtStart = false;
  bool recordedAtStart = true;
  machine->Service<kq::MachineProcesses>().SetStartObserver([&](const kq::ProcessStart&) {
    const std::string bytes = Contents(file);
    completeAtStart = bytes.size() > 5 && bytes.compare(bytes.size() - 5, 5, "%%EOF") == 0;
    HKEY key = nullptr;
    recordedAtStart = RegOpenKeyExW(HKEY_CURRENT_USER, kqprint::kResultKey, 0, KEY_QUERY_VALUE, &key) ==
                          ERROR_SUCCESS &&
                      RegQueryValueExW(key, kqprint::kResultValue, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_SUCCESS;
    if (key) RegCloseKey(key);
  });

  auto outcome = Print(Job("Actions", 1, R"({"PPOption": 1, "OpenFile": 1})"), file);
  ASSERT_TRUE(outcome.printed) << outcome.failure;
  EXPECT_EQ(outcome.fileName, windowsPath);
  const auto starts = machine->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_NE(starts[0].commandLine.find(windowsPath), kq::WString::npos);
  EXPECT_TRUE(completeAtStart);
  EXPECT_FALSE(recordedAtStart);
  const auto opens = machine->Service<kq::MachineShell>().Calls();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].verb, u"open");
  EXPECT_EQ(opens[0].file, windowsPath);
  EXPECT_EQ(opens[0].target, file.string());

  // Neither action when the settings ask for none.
  machine->Service<kq::MachineProcesses>().SetStartObserver(nullptr);
  machine->Service<kq::MachineProcesses>().ClearStarts();
  machine->Service<kq::MachineShell>().ClearCalls();
  outcome = Print(Job("Quiet", 1, R"({"PPOption": 0, "OpenFile": 0, "Overwrite": 1})"), out / "quiet.pdf");
  ASSERT_TRUE(outcome.printed) << outcome.failure;
  EXPECT_TRUE(machine->Service<kq::MachineProcesses>().Starts().empty());
  EXPECT_TRUE(machine->Service<kq::MachineShell>().Calls().empty());
}

TEST_F(EndToEndTest, TheDriverLibraryExportsOnlyItsTwoEntries) {
  const CommandResult symbols = RunCommand("nm -D --defined-only " + Quote(kDriverLibrary.string()));
  ASSERT_EQ(symbols.status, 0) << symbols.output;
  std::set<std::string> names;
  std::size_t start = 0;
  while (start < symbols.output.size()) {
    std::size_t end = symbols.output.find('\n', start);
    if (end == std::string::npos) end = symbols.output.size();
    const std::string line = symbols.output.substr(start, end - start);
    if (const auto space = line.rfind(' '); space != std::string::npos) names.insert(line.substr(space + 1));
    start = end + 1;
  }
  EXPECT_EQ(names, (std::set<std::string>{"DrvEnableDriver", "DrvQueryDriverInfo"})) << symbols.output;

  // The loader sees the same: the table's entries are reached only through DrvEnableDriver.
  void* library = dlopen(kDriverLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "DrvEnableDriver"), nullptr);
  EXPECT_NE(dlsym(library, "DrvQueryDriverInfo"), nullptr);
  for (const char* hidden : {"DrvEnablePDEV", "DrvTextOut", "DrvStartDoc", "OsVersionNumber"})
    EXPECT_EQ(dlsym(library, hidden), nullptr) << hidden;
  dlclose(library);
}

// A host process (a spooler, the word processor, a browser) that loads a deliverable is never taken down by it when
// it exits, whether it unloads the module first or leaves it loaded.
TEST(Deliverables, EachLetsGoOfAProcessThatLoadedItCleanly) {
  const std::filesystem::path binary(KQ_BINARY_DIR);
  const std::string root = ::testing::TempDir() + "load-and-exit-XXXXXX";
  std::vector<char> rootName(root.begin(), root.end());
  rootName.push_back('\0');
  ASSERT_NE(mkdtemp(rootName.data()), nullptr);
  for (const char* module : {"libtelodrv.so", "libteloui.so", "libdovecap.so", "libLirriel.so", "libSarnoth.so"}) {
    for (const char* how : {"keep", "unload"}) {
      SCOPED_TRACE(std::string(module) + ", " + how);
      const CommandResult run = RunCommand("KQ_ROOT=" + Quote(rootName.data()) + " " +
                                           Quote((binary / "tests" / "kq_load_and_exit").string()) + " " +
                                           Quote((binary / "lib" / module).string()) + " " + how);
      EXPECT_EQ(run.status, 0) << run.output;
      EXPECT_EQ(run.output, "");
    }
  }
  std::filesystem::remove_all(rootName.data());
}

// ---- The print tool as a person runs it ----

class PrintToolTest : public EndToEndTest {
 protected:
  // Runs the tool in `folder` (the state root's folder when none is given).
  CommandResult Tool(const std::string& arguments, std::filesystem::path folder = {}) {
    if (folder.empty()) folder = machine->Root();
    return RunCommand("cd " + Quote(folder.string()) + " && KQ_ROOT=" +
                      Quote((machine->Root() / "tool-state").string()) + " KQ_OPEN_HANDLER= " +
                      Quote(kPrintTool.string()) + " " + arguments);
  }

  std::filesystem::path WriteJob(const std::string& name, const std::string& json) {
    const auto file = machine->Root() / name;
    std::ofstream(file) << json;
    return file;
  }
};

// The last line of what the tool printed.
std::string LastLine(const std::string& output) {
  std::string text = output;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
}

TEST_F(PrintToolTest, EachOutcomeHasItsExitCodeAndSaysWhatHappened) {
  const auto job = WriteJob("job.json", R"({"document": "Quarterly", "settings": {"OpenFile": 0, "PPOption": 0},
                                            "pages": [{"ops": []}, {"ops": []}]})");
  const auto untitled = WriteJob("slash.json", R"({"document": "/", "settings": {"OpenFile": 0, "PPOption": 0}})");
  const auto bad = WriteJob("bad.json", R"({"document": "Bad", "page": []})");
  const auto named = WriteJob("named.json", R"({"document": "Named", "settings": {"OpenFile": 0, "PPOption": 0,
                                               "UseDefFileName": true, "Folder": ")" + out.string() + R"("}})");
  const auto file = out / "quarterly.pdf";
  std::filesystem::create_symlink("/dev/null", out / "null.pdf");
  // Root writes anywhere but in the kernel's own folders.
  std::filesystem::path unwritable = out / "locked";
  std::filesystem::create_directories(unwritable);
  std::filesystem::permissions(unwritable, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (geteuid() == 0) unwritable = "/sys";
  const std::filesystem::path here = machine->Root() / "here";
  std::filesystem::create_directories(here);

  const struct {
    std::string arguments;
    int exitCode;
    std::string lastLine;
  } cases[] = {
      {Quote(job.string()) + " -o " + Quote(file.string()), 0, "kqprint: the PDF went to " + file.string()},
      {Quote(job.string()) + " -o " + Quote(file.string()), 4,
       "kqprint: no PDF was written: " + file.string() + " already exists and was not replaced (--yes replaces it)"},
      {Quote(job.string()) + " -o " + Quote(file.string()) + " --yes", 0, "kqprint: the PDF went to " + file.string()},
      {Quote(job.string()) + " --cancel", 4, "kqprint: no PDF was written: the Save As dialog was cancelled"},
      {Quote(job.string()) + " -o " + Quote((out / "missing" / "q.pdf").string()), 1,
       "kqprint: no PDF was written: " + (out / "missing" / "q.pdf").string() +
           " could not be created (the folder does not exist)"},
      {Quote(job.string()) + " -o " + Quote((unwritable / "q.pdf").string()), 1,
       "kqprint: no PDF was written: " + (unwritable / "q.pdf").string() + " could not be created (access is denied)"},
      {Quote(job.string()) + " -o " + Quote((out / "null.pdf").string()), 2,
       "kqprint: -o: " + (out / "null.pdf").string() +
           " is not a plain file (a FIFO, a device or a socket); no PDF was written"},
      // The title gives no file name: the person types the job's name into the dialog, in the current folder.
      {"--quiet " + Quote(untitled.string()), 0, "kqprint: the PDF went to " + (here / "slash.pdf").string()},
      // A default name in the settings' folder; once it exists, only "Overwrite" replaces it.
      {Quote(named.string()), 0, "kqprint: the PDF went to " + (out / "Named.pdf").string()},
      {Quote(named.string()) + " --yes", 1,
       "kqprint: no PDF was written: the file in the output folder could not be created (the file already exists; "
       "\"Overwrite\": true replaces it)"},
      {Quote(bad.string()), 3, "kqprint: " + bad.string() + ": unknown key \"page\"; did you mean \"pages\"?"},
      {Quote(job.string()) + " --yes --no", 2,
       "kqprint: --yes and --no exclude each other (kqprint --help lists the options)"},
  };
  for (const auto& c : cases) {
    const auto run = Tool(c.arguments, here);
    EXPECT_EQ(run.status, c.exitCode) << c.arguments << "\n" << run.output;
    EXPECT_EQ(LastLine(run.output), c.lastLine) << c.arguments << "\n" << run.output;
  }
  EXPECT_EQ(PdfInfo(file)["Pages"], "2");
  EXPECT_EQ(PdfInfo(here / "slash.pdf")["Pages"], "1");
  EXPECT_FALSE(std::filesystem::exists(out / "missing"));
  EXPECT_FALSE(std::filesystem::exists(unwritable / "q.pdf"));
}

TEST_F(PrintToolTest, TheJournalShowsAsMuchAsAsked) {
  const auto job = WriteJob("job.json", R"({"document": "Quarterly", "settings": {"OpenFile": 0, "PPOption": 0},
                                            "pages": [{}]})");
  const auto file = out / "quarterly.pdf";
  std::ofstream(file) << "an older file";
  const std::string saveAs = "journal: save as \"Print to PDF Document - Kelvo Quenzar Printer\"";
  const std::string question = "journal: message box \"Confirm Save As\"";

  // Verbose: every window and answer. Default: the questions only. Quiet: the result only.
  auto run = Tool("--verbose --yes " + Quote(job.string()) + " -o " + Quote(file.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(saveAs), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(question), std::string::npos) << run.output;
  run = Tool("--yes " + Quote(job.string()) + " -o " + Quote(file.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find(saveAs), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(question), std::string::npos) << run.output;
  run = Tool("-q --yes " + Quote(job.string()) + " -o " + Quote(file.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "kqprint: the PDF went to " + file.string() + "\n");
}

TEST_F(PrintToolTest, TheCommandLineReadsStandardInputAndRefusesContradictions) {
  const auto job = WriteJob("piped.json", R"({"document": "Piped", "settings": {"OpenFile": 0, "PPOption": 0},
                                               "pages": [{}]})");
  const auto file = out / "piped.pdf";
  auto run = Tool("- -o " + Quote(file.string()) + " < " + Quote(job.string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(PdfInfo(file)["Pages"], "1");

  const auto empty = WriteJob("empty.json", R"({"document": "Empty"})");
  run = Tool(Quote(empty.string()) + " -o " + Quote((out / "empty.pdf").string()));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("warning: " + empty.string() + ": the job has no pages; the printer makes one blank page"),
            std::string::npos)
      << run.output;

  const struct {
    const char* arguments;
    const char* message;
  } refused[] = {
      {"", "no job file"},
      {"job.json --cancel -o x.pdf", "-o and --cancel exclude each other"},
      {"job.json --quiet --verbose", "--quiet and --verbose exclude each other"},
      {"job.json -o a.pdf -o b.pdf", "-o is given twice"},
      {"job.json other.json", "one job file at a time"},
      {"job.json --sideways", "unknown option --sideways"},
      {"--list-settings job.json", "--list-settings takes no job file"},
      {"--version --list-settings", "--version and --list-settings exclude each other"},
  };
  for (const auto& c : refused) {
    run = Tool(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
  }

  const struct {
    const char* job;
    const char* message;
  } unreadable[] = {
      {"nowhere.json", "nowhere.json: no such file"},
      {".", ".: a folder, not a job file"},
  };
  for (const auto& c : unreadable) {
    run = Tool(c.job);
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
  }
}

TEST_F(PrintToolTest, HelpVersionAndSettingsListEverything) {
  auto run = Tool("--help");
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* option : {"--output PATH", "--cancel", "--yes", "--no", "--quiet", "--verbose", "--list-settings",
                             "--help", "--version", "Exit codes"})
    EXPECT_NE(run.output.find(option), std::string::npos) << option << "\n" << run.output;
  for (const kqprint::OpKind& op : kqprint::AllOps())
    EXPECT_NE(run.output.find("  " + std::string(op.name) + " "), std::string::npos) << op.name;

  run = Tool("--version");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "kqprint: Kelvo Quenzar Printer Version 2.0.1.0823\n");

  run = Tool("--list-settings");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Orientation: the paper's orientation\n    values: portrait (1), landscape (2)"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("FontEmbed: which fonts are embedded\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("A3 (8)"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace e2e
