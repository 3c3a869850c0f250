// The kq programs side by side, as a person who knows one of them tries the others: each answers --help and
// --version, refuses an unknown option with exit code 2, and kqview says why a file was not opened.
#include <sys/stat.h>

#include "endtoend_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class Conventions : public EndToEndTest {
 protected:
  CommandResult Tool(const std::string& program, const std::string& arguments) const {
    return RunCommand("KQ_ROOT=" + Quote(machine->Root().string()) + " KQ_OPEN_HANDLER= " +
                      Quote((fs::path(KQ_BINARY_DIR) / "bin" / program).string()) + " " + arguments);
  }
};

TEST_F(Conventions, EveryProgramAnswersHelpAndVersionAndRefusesUnknownOptions) {
  for (const char* program : {"kqprint", "kqword", "kqview", "kqreader", "kqhandover"}) {
    SCOPED_TRACE(program);
    const CommandResult help = Tool(program, "--help");
    EXPECT_EQ(help.status, 0) << help.output;
    EXPECT_EQ(help.output.rfind("usage: " + std::string(program), 0), 0u) << help.output;
    EXPECT_NE(help.output.find("Exit codes"), std::string::npos) << help.output;
    const CommandResult version = Tool(program, "--version");
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_EQ(version.output, std::string(program) + ": Kelvo Quenzar Printer Version 2.0.1.0823\n");
    EXPECT_EQ(Tool(program, "--no-such-option x y").status, 2);
  }
}

TEST_F(Conventions, KqviewSaysWhyAFileWasNotOpened) {
  const fs::path text = out / "notes.pdf";
  std::ofstream(text) << "plain text";
  const fs::path locked = out / "locked.pdf";
  std::ofstream(locked) << "%PDF-1.4\n";
  ::chmod(locked.c_str(), 0);
  const fs::path damaged = out / "damaged.pdf";
  std::ofstream(damaged) << "%PDF-1.4\nnothing more\n";
  const struct {
    fs::path file;
    std::string why;
  } cases[] = {
      {out / "missing.pdf", "no such file"},
      {out, "it is a folder"},
      {text, "it is not a PDF"},
      {locked, "it cannot be read"},
      {damaged, "the document server cannot read it as a PDF"},
  };
  for (const auto& c : cases) {
    if (c.file == locked && ::geteuid() == 0) continue;  // root reads every file
    SCOPED_TRACE(c.file.string());
    const CommandResult run = Tool("kqview", Quote(c.file.string()));
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(run.output.find("OpenFile: FALSE"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("kqview: " + c.file.string() + " was not opened: " + c.why), std::string::npos)
        << run.output;
  }
}

}  // namespace
}  // namespace e2e
