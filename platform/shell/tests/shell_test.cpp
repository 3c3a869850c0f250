#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "win/shellapi.h"

namespace {

namespace fs = std::filesystem;

constexpr INT kShowNormal = 1;

INT_PTR Code(HINSTANCE answer) { return reinterpret_cast<INT_PTR>(answer); }

// A Windows path on drive Z: for a host path.
kq::WString OnZ(const fs::path& host) {
  kq::WString path = u"Z:" + kq::WideFromUtf8(host.string());
  for (auto& c : path) {
    if (c == u'/') c = u'\\';
  }
  return path;
}

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = machine_->Root() / "docs";
    fs::create_directories(folder_);
    Journal().SetOpenHandler(std::nullopt);
  }

  kq::MachineShell& Journal() { return machine_->Service<kq::MachineShell>(); }

  fs::path Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "%PDF-1.4\n";
    return path;
  }

  // A handler that writes each of its arguments on a line of `<script>.out`.
  fs::path RecordingHandler() {
    const fs::path script = machine_->Root() / "handler.sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.out.tmp\" && mv \"$0.out.tmp\" \"$0.out\"\n";
    fs::permissions(script, fs::perms::owner_all);
    Journal().SetOpenHandler(script.string());
    return script;
  }

  // Waits for the handler of the last call and returns what it was given.
  std::string HandlerArguments(const fs::path& script) {
    const auto calls = Journal().Calls();
    EXPECT_FALSE(calls.empty());
    if (calls.empty() || calls.back().handler == 0) return "(no handler)";
    int status = 0;
    EXPECT_EQ(waitpid(calls.back().handler, &status, 0), calls.back().handler);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(script.string() + ".out");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  fs::path folder_;
};

TEST_F(Shell, WithoutAHandlerOpenIsOnlyRecorded) {
  const fs::path pdf = Touch(folder_ / "Report.pdf");
  const kq::WString file = OnZ(pdf);
  EXPECT_GT(Code(ShellExecuteW(nullptr, u"open", file.c_str(), nullptr, nullptr, kShowNormal)), 32);
  const auto calls = Journal().Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "ShellExecuteW");
  EXPECT_EQ(calls[0].verb, u"open");
  EXPECT_EQ(calls[0].file, file);
  EXPECT_EQ(calls[0].parameters, u"");
  EXPECT_EQ(calls[0].show, kShowNormal);
  EXPECT_EQ(calls[0].target, pdf.string());
  EXPECT_EQ(calls[0].handler, 0);
  EXPECT_GT(calls[0].result, 32);

  Journal().ClearCalls();
  EXPECT_TRUE(Journal().Calls().empty());
}

TEST_F(Shell, OpenRunsTheHandlerOnTheHostPath) {
  const fs::path script = RecordingHandler();
  const fs::path pdf = Touch(folder_ / "Q3 Report \u00e9t\u00e9.pdf");
  const kq::WString file = OnZ(pdf);
  ASSERT_GT(Code(ShellExecuteW(nullptr, u"open", file.c_str(), nullptr, nullptr, kShowNormal)), 32);
  EXPECT_EQ(HandlerArguments(script), pdf.string() + "\n");
  EXPECT_GT(Journal().Calls().back().handler, 0);
}

TEST_F(Shell, PathsMapThroughTheDrives) {
  const fs::path script = RecordingHandler();
  struct {
    const char16_t* file;
    const char16_t* directory;
    fs::path host;
  } cases[] = {
      {u"C:\\Out\\a.pdf", nullptr, machine_->Root() / "drive_c/Out/a.pdf"},
      {u"c:/Out/b.pdf", nullptr, machine_->Root() / "drive_c/Out/b.pdf"},
      {u"C:\\..\\..\\Out\\c.pdf", nullptr, machine_->Root() / "drive_c/Out/c.pdf"},  // ".." stops at the root
      {u"d.pdf", u"C:\\Out", machine_->Root() / "drive_c/Out/d.pdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.file));
    Touch(c.host);
    ASSERT_GT(Code(ShellExecuteW(nullptr, u"open", c.file, nullptr, c.directory, kShowNormal)), 32);
    EXPECT_EQ(HandlerArguments(script), c.host.string() + "\n");
  }
}

TEST_F(Shell, MissingFilesAndFoldersAreReported) {
  const fs::path script = RecordingHandler();
  const kq::WString missingFile = OnZ(folder_ / "missing.pdf");
  const kq::WString missingFolder = OnZ(folder_ / "nowhere" / "missing.pdf");
  struct {
    const char16_t* file;
    INT_PTR code;
  } cases[] = {
      {missingFile.c_str(), SE_ERR_FNF},
      {missingFolder.c_str(), SE_ERR_PNF},
      {u"Q:\\no\\such\\drive.pdf", SE_ERR_PNF},
      {u"", SE_ERR_FNF},
      {nullptr, SE_ERR_FNF},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(Code(ShellExecuteW(nullptr, u"open", c.file, nullptr, nullptr, kShowNormal)), c.code);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.code));
  }
  const auto calls = Journal().Calls();
  ASSERT_EQ(calls.size(), std::size(cases));
  for (const auto& call : calls) {
    EXPECT_EQ(call.handler, 0);
    EXPECT_LE(call.result, 32);
  }
  EXPECT_FALSE(fs::exists(script.string() + ".out"));
}

TEST_F(Shell, AHandlerThatCannotRunMeansNoAssociation) {
  Journal().SetOpenHandler((machine_->Root() / "no-such-handler").string());
  const kq::WString file = OnZ(Touch(folder_ / "a.pdf"));
  SetLastError(0);
  EXPECT_EQ(Code(ShellExecuteW(nullptr, u"open", file.c_str(), nullptr, nullptr, kShowNormal)), SE_ERR_NOASSOC);
  EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION);
  EXPECT_EQ(Journal().Calls().back().result, SE_ERR_NOASSOC);
}

TEST_F(Shell, OnlyTheOpenVerbRunsTheHandler) {
  const fs::path script = RecordingHandler();
  const kq::WString file = OnZ(Touch(folder_ / "a.pdf"));
  EXPECT_GT(Code(ShellExecuteW(nullptr, u"print", file.c_str(), nullptr, nullptr, kShowNormal)), 32);
  EXPECT_EQ(Journal().Calls().back().handler, 0);
  EXPECT_EQ(Journal().Calls().back().verb, u"print");

  // A null verb is the default verb, "open"; verbs are compared without case.
  for (const char16_t* verb : {static_cast<const char16_t*>(nullptr), u"OPEN"}) {
    EXPECT_GT(Code(ShellExecuteW(nullptr, verb, file.c_str(), nullptr, nullptr, kShowNormal)), 32);
    EXPECT_EQ(HandlerArguments(script), (folder_ / "a.pdf").string() + "\n");
  }
}

TEST_F(Shell, AnsiCallsOpenAddressesUnchangedAndConvertNames) {
  const fs::path script = RecordingHandler();
  const char* address = "https://service.example/help/help.asp?filename=a b&x=1";
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", address, nullptr, nullptr, kShowNormal)), 32);
  EXPECT_EQ(HandlerArguments(script), std::string(address) + "\n");
  EXPECT_EQ(Journal().Calls().back().function, "ShellExecuteA");

  const fs::path pdf = Touch(folder_ / "caf\u00e9.pdf");
  const std::string ansi = kq::Utf8FromWide(OnZ(folder_)) + "\\caf\xe9.pdf";  // code page 1252
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", ansi.c_str(), nullptr, nullptr, kShowNormal)), 32);
  EXPECT_EQ(HandlerArguments(script), pdf.string() + "\n");
}

TEST(ShellHandler, ComesFromTheEnvironment) {
  const char* old = std::getenv("KQ_OPEN_HANDLER");
  const std::string saved = old ? old : "";
  setenv("KQ_OPEN_HANDLER", "xdg-open", 1);
  {
    kq::TemporaryMachine machine;
    EXPECT_EQ(machine->Service<kq::MachineShell>().OpenHandler(), "xdg-open");
  }
  setenv("KQ_OPEN_HANDLER", "", 1);
  {
    kq::TemporaryMachine machine;
    EXPECT_EQ(machine->Service<kq::MachineShell>().OpenHandler(), std::nullopt);
  }
  if (old) {
    setenv("KQ_OPEN_HANDLER", saved.c_str(), 1);
  } else {
    unsetenv("KQ_OPEN_HANDLER");
  }
}

}  // namespace
