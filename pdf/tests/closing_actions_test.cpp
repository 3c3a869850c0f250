#include <sys/stat.h>

#include "document_fixture.h"
#include "win/shellapi.h"

namespace doctest {
namespace {

class Closing : public DocumentTest {
 protected:
  // The post-processor's stand-in at its fixed place.
  void InstallPostProcessor() {
    const auto host = *kq::HostPathFromWindows(u"C:\\pdf\\ship\\creator\\tarnvex.exe");
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host) << "#!/bin/sh\nexit 0\n";
    chmod(host.c_str(), 0755);
  }

  kq::MachineProcesses& Processes() { return machine_->Service<kq::MachineProcesses>(); }
  kq::MachineShell& Shell() { return machine_->Service<kq::MachineShell>(); }
};

TEST_F(Closing, TheActionsComeInTheirOrder) {
  InstallPostProcessor();
  ProgressWindow window;
  Stubs().progressWindow = window.Handle();
  writer_.runPostProcessor = 1;
  writer_.openFile = 1;
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  AwaitProgressThread();
  writer_.StartPage();
  writer_.EndPage(nullptr);
  window.Take();

  std::vector<std::string> events;
  Processes().SetStartObserver([&](const kq::ProcessStart&) {
    events.push_back("post-processor");
    EXPECT_TRUE(Closed()) << "the file is closed first";
    const std::string file = File();
    EXPECT_EQ(file.substr(file.size() - 5), "%%EOF");
    EXPECT_EQ(ResultValue(), u"FALSE") << "\"FileName\" names the file only after the post-processor";
    EXPECT_TRUE(Shell().Calls().empty());
  });
  window.onDone = [&] {
    events.push_back("progress end");
    EXPECT_EQ(ResultValue(), kPath) << "\"FileName\" comes before the progress end";
    EXPECT_EQ(Processes().Starts().size(), 1u);
    EXPECT_TRUE(Shell().Calls().empty()) << "the file is opened last";
  };
  const std::size_t handles = kq::OpenHandleCount();
  writer_.EndDocument();
  Processes().SetStartObserver(nullptr);

  EXPECT_EQ(events, (std::vector<std::string>{"post-processor", "progress end"}));
  // The output file is closed, and the post-processor's two handles with it; the job's reset joins the progress
  // thread and closes its handle and signal.
  EXPECT_EQ(kq::OpenHandleCount(), handles - 3);

  const auto starts = Processes().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].applicationName, u"c:\\pdf\\ship\\creator\\tarnvex.exe");
  EXPECT_EQ(starts[0].commandLine, u"tarnvex \"C:\\out.pdf\"");
  EXPECT_EQ(starts[0].arguments, (std::vector<std::string>{"tarnvex", "C:\\out.pdf"}));
  EXPECT_EQ(starts[0].error, ERROR_SUCCESS);

  const auto calls = Shell().Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "ShellExecuteW");
  EXPECT_EQ(calls[0].verb, u"open");
  EXPECT_EQ(calls[0].file, kPath);
  EXPECT_EQ(calls[0].parameters, u"");
  EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);

  // Sent: the last status, then the end; the position was posted in between and arrives when the queue is read.
  const auto messages = window.Take();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].control, IDC_PROGRESS_TEXT);
  EXPECT_EQ(messages[0].text, u"Finish...");
  EXPECT_EQ(messages[1].control, 0);
  EXPECT_EQ(messages[1].message, WM_PROGRESS_DONE);
  EXPECT_EQ(messages[2].control, IDC_PROGRESS_BAR);
  EXPECT_EQ(messages[2].message, PBM_SETPOS);
  EXPECT_EQ(messages[2].wParam, 100u);
  EXPECT_TRUE(writer_.documentFonts.empty());  // the job was reset
  EXPECT_TRUE(writer_.outputPath.empty());
}

TEST_F(Closing, EachActionRunsOnlyWhenTheJobAsksForIt) {
  InstallPostProcessor();
  struct Case {
    const char* what;
    DWORD postProcessor;
    DWORD openFile;
    DWORD interactive;
    std::size_t starts;
    std::size_t opens;
    std::vector<UINT> progress;  // the messages the window gets
  };
  // The blank page's status and position (70, an add-in job's first), the last status, the end; the two positions
  // were posted and arrive when the queue is read.
  const std::vector<UINT> kInteractive = {WM_SETTEXT, WM_SETTEXT, WM_PROGRESS_DONE, PBM_SETPOS, PBM_SETPOS};
  const Case cases[] = {
      {"neither", 0, 0, 1, 0, 0, kInteractive},
      {"post-processor", 1, 0, 1, 1, 0, kInteractive},
      {"open", 0, 1, 1, 0, 1, kInteractive},
      // A job that shows no progress still ends the window it was given.
      {"not interactive", 0, 0, 0, 0, 0, {WM_PROGRESS_DONE}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Processes().ClearStarts();
    Shell().ClearCalls();
    ProgressWindow window;
    // The add-in's window is known whatever the job's interactive flag says.
    Stubs().addin = true;
    Stubs().addinWindow = window.Handle();
    writer_.runPostProcessor = c.postProcessor;
    writer_.openFile = c.openFile;
    writer_.progressArgs->interactive = c.interactive;
    ASSERT_TRUE(writer_.StartDocument(u"Report"));
    writer_.EndDocument();
    EXPECT_EQ(Processes().Starts().size(), c.starts);
    EXPECT_EQ(Shell().Calls().size(), c.opens);
    std::vector<UINT> progress;
    for (const auto& m : window.Take()) progress.push_back(m.message);
    EXPECT_EQ(progress, c.progress);
    EXPECT_EQ(ResultValue(), kPath);
  }
}

TEST_F(Closing, AMissingPostProcessorStopsNothing) {
  writer_.runPostProcessor = 1;
  ASSERT_TRUE(writer_.StartDocument(u"Report"));
  writer_.EndDocument();
  const auto starts = Processes().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ResultValue(), kPath);
  EXPECT_TRUE(Closed());
}

}  // namespace
}  // namespace doctest
