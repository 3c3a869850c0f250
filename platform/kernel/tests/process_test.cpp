#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "win/fileapi.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

constexpr DWORD kBound = 10000;  // ms; every wait here is bounded

struct SplitCase {
  const char16_t* line;
  std::vector<kq::WString> arguments;
};

TEST(SplitCommandLine, FollowsThePlatformsRules) {
  const SplitCase cases[] = {
      {u"", {u""}},
      {u"tarnvex \"C:\\out\\a b.pdf\"", {u"tarnvex", u"C:\\out\\a b.pdf"}},
      {u"\"C:\\Program Files\\x.exe\" a\\\\b", {u"C:\\Program Files\\x.exe", u"a\\\\b"}},
      // The program's name keeps its backslashes and ends at the next quote.
      {u"\"a b\\\" c", {u"a b\\", u"c"}},
      {u" x", {u"", u"x"}},
      {u"p \t a  \t b ", {u"p", u"a", u"b"}},
      {u"p \"\" x", {u"p", u"", u"x"}},
      {u"p a\"b c\"d", {u"p", u"ab cd"}},
      {u"p \\\"a", {u"p", u"\"a"}},            // 2n + 1 backslashes: n and a quote
      {u"p \\\\\"a b\"", {u"p", u"\\a b"}},    // 2n backslashes: n, and the quote delimits
      {u"p \\\\\\\\\"x\"", {u"p", u"\\\\x"}},
      {u"p \"say \"\"hi\"\"\"", {u"p", u"say \"hi\""}},  // two quotes inside a quoted part
      {u"p a\\b\\", {u"p", u"a\\b\\"}},
      {u"p \"open", {u"p", u"open"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.line));
    EXPECT_EQ(kq::SplitCommandLine(c.line), c.arguments);
  }
}

class Processes : public ::testing::Test {
 protected:
  // A shell script at a Windows path of the machine.
  std::filesystem::path Script(const char16_t* windowsPath, const std::string& body, bool executable = true) {
    auto host = *kq::HostPathFromWindows(windowsPath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host) << "#!/bin/sh\n" << body;
    chmod(host.c_str(), executable ? 0755 : 0644);
    return host;
  }

  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Starts a program and waits for it to end; its exit code, or nothing when it did not start.
  std::optional<DWORD> Run(LPCWSTR application, kq::WString commandLine, LPCWSTR folder = nullptr) {
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application, commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder, &startup, &info))
      return std::nullopt;
    EXPECT_EQ(WaitForSingleObject(info.hProcess, kBound), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return code;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(Processes, RunAProgramWithTheArgumentsOfItsCommandLine) {
  const auto script = Script(u"C:\\pdf\\ship\\creator\\tarnvex.exe",
                             "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.txt\"\nexit 7\n");
  kq::WString line = u"tarnvex \"C:\\out\\My report.pdf\" x\\\"y";
  const kq::WString before = line;
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  EXPECT_EQ(startup.cb, sizeof(STARTUPINFOW));
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(u"c:\\PDF\\ship\\creator\\tarnvex.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  EXPECT_EQ(line, before);
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_EQ(info.dwThreadId, info.dwProcessId);
  ASSERT_EQ(WaitForSingleObject(info.hProcess, kBound), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(info.hThread, kBound), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 7u);
  ASSERT_TRUE(GetExitCodeThread(info.hThread, &code));
  EXPECT_EQ(code, 7u);
  // A process handle is no thread handle, nor the other way round.
  EXPECT_FALSE(GetExitCodeThread(info.hProcess, &code));
  EXPECT_FALSE(GetExitCodeProcess(info.hThread, &code));
  EXPECT_TRUE(CloseHandle(info.hProcess));
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_EQ(Read(script.parent_path() / "args.txt"), "C:\\out\\My report.pdf\nx\"y\n");

  const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].applicationName, u"c:\\PDF\\ship\\creator\\tarnvex.exe");
  EXPECT_EQ(starts[0].commandLine, before);
  EXPECT_EQ(starts[0].program, script.string());
  EXPECT_EQ(starts[0].arguments, (std::vector<std::string>{"tarnvex", "C:\\out\\My report.pdf", "x\"y"}));
  EXPECT_EQ(starts[0].processId, info.dwProcessId);
  EXPECT_EQ(starts[0].error, ERROR_SUCCESS);
}

TEST_F(Processes, HandlesAreSignalledOnlyWhenTheProgramEnds) {
  const auto script = Script(u"C:\\tools\\wait.exe",
                             "i=0\nwhile [ ! -e \"$1\" ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done\n");
  const auto marker = script.parent_path() / "go";
  kq::WString line = u"wait " + kq::WideFromUtf8(marker.string());
  STARTUPINFOW startup{sizeof(STARTUPINFOW)};
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(u"C:\\tools\\wait.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
  std::ofstream(marker) << "";
  HANDLE both[] = {info.hProcess, info.hThread};
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, kBound), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
}

TEST_F(Processes, ASignalEndsWithItsNumberAbove128) {
  Script(u"C:\\tools\\die.exe", "kill -9 $$\n");
  EXPECT_EQ(Run(u"C:\\tools\\die.exe", {}), 128u + 9u);
}

TEST_F(Processes, WithoutAnApplicationNameTheCommandLineNamesTheProgram) {
  const auto quoted = Script(u"C:\\Program Files\\Kelvo\\tool.exe", "exit 3\n");
  const auto spaced = Script(u"C:\\Program Files\\echo tool.exe", "exit 4\n");
  const auto system = Script(u"C:\\Windows\\System32\\sysprog.exe", "exit 5\n");
  struct Case {
    const char16_t* line;
    DWORD code;
    std::filesystem::path program;
  } const cases[] = {
      {u"\"C:\\Program Files\\Kelvo\\tool\" a b", 3, quoted},        // ".exe" is added
      {u"  C:\\Program Files\\echo tool.exe x", 4, spaced},          // the words are tried one by one
      {u"sysprog arg", 5, system},                                   // a bare name is looked for
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.line));
    machine_->Service<kq::MachineProcesses>().ClearStarts();
    EXPECT_EQ(Run(nullptr, c.line), c.code);
    const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, c.program.string());
  }
}

TEST_F(Processes, TheProgramRunsInTheCurrentFolderGiven) {
  const auto script = Script(u"C:\\tools\\where.exe", "pwd > \"$(dirname \"$0\")/pwd.txt\"\n");
  std::filesystem::create_directories(*kq::HostPathFromWindows(u"C:\\work"));
  EXPECT_EQ(Run(u"C:\\tools\\where.exe", u"where", u"c:\\WORK"), 0u);
  EXPECT_EQ(Read(script.parent_path() / "pwd.txt"), kq::HostPathFromWindows(u"C:\\work")->string() + "\n");
}

TEST_F(Processes, FailuresSayWhyAndAreJournaled) {
  Script(u"C:\\tools\\plain.exe", "exit 0\n", /*executable=*/false);
  std::ofstream(*kq::HostPathFromWindows(u"C:\\tools\\data.exe")) << "not a program";
  chmod(kq::HostPathFromWindows(u"C:\\tools\\data.exe")->c_str(), 0755);
  Script(u"C:\\tools\\ok.exe", "exit 0\n");
  struct Case {
    const char* what;
    LPCWSTR application;
    const char16_t* line;
    DWORD flags;
    bool environment;
    LPCWSTR folder;
    bool records;
    DWORD error;
  } const cases[] = {
      {"missing program", u"c:\\pdf\\ship\\creator\\tarnvex.exe", u"tarnvex \"x.pdf\"", 0, false, nullptr, true,
       ERROR_FILE_NOT_FOUND},
      {"missing file in a folder", u"C:\\tools\\none.exe", nullptr, 0, false, nullptr, true, ERROR_FILE_NOT_FOUND},
      {"missing bare name", nullptr, u"nosuchprogram", 0, false, nullptr, true, ERROR_FILE_NOT_FOUND},
      {"drive without a folder", u"Q:\\x.exe", nullptr, 0, false, nullptr, true, ERROR_PATH_NOT_FOUND},
      {"a folder", u"C:\\tools", nullptr, 0, false, nullptr, true, ERROR_ACCESS_DENIED},
      {"not executable", u"C:\\tools\\plain.exe", nullptr, 0, false, nullptr, true, ERROR_ACCESS_DENIED},
      {"not a program", u"C:\\tools\\data.exe", nullptr, 0, false, nullptr, true, ERROR_BAD_EXE_FORMAT},
      {"no names", nullptr, nullptr, 0, false, nullptr, true, ERROR_INVALID_PARAMETER},
      {"suspended", u"C:\\tools\\ok.exe", nullptr, CREATE_SUSPENDED, false, nullptr, true, ERROR_INVALID_PARAMETER},
      {"environment", u"C:\\tools\\ok.exe", nullptr, 0, true, nullptr, true, ERROR_NOT_SUPPORTED},
      {"bad folder", u"C:\\tools\\ok.exe", nullptr, 0, false, u"C:\\nowhere", true, ERROR_DIRECTORY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    machine_->Service<kq::MachineProcesses>().ClearStarts();
    kq::WString line = c.line ? c.line : u"";
    STARTUPINFOW startup{sizeof(STARTUPINFOW)};
    PROCESS_INFORMATION info{};
    char16_t environment[] = u"A=B\0";
    const std::size_t handles = kq::OpenHandleCount();
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(c.application, c.line ? line.data() : nullptr, nullptr, nullptr, FALSE, c.flags,
                                c.environment ? environment : nullptr, c.folder, &startup, &info));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(kq::OpenHandleCount(), handles);
    EXPECT_EQ(info.hProcess, nullptr);
    const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].error, c.error);
    EXPECT_EQ(starts[0].processId, 0u);
  }
  kq::WString line = u"ok";
  PROCESS_INFORMATION info{};
  EXPECT_FALSE(CreateProcessW(u"C:\\tools\\ok.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              nullptr, &info));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Processes, TheObserverSeesTheStartBeforeTheCallReturns) {
  Script(u"C:\\tools\\ok.exe", "exit 0\n");
  std::vector<std::size_t> journalSizes;
  auto& processes = machine_->Service<kq::MachineProcesses>();
  processes.SetStartObserver([&](const kq::ProcessStart& start) {
    EXPECT_EQ(start.error, ERROR_SUCCESS);
    journalSizes.push_back(processes.Starts().size());
  });
  EXPECT_EQ(Run(u"C:\\tools\\ok.exe", u"ok"), 0u);
  processes.SetStartObserver(nullptr);
  EXPECT_EQ(journalSizes, std::vector<std::size_t>{1});
}

}  // namespace
