#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "win/fileapi.h"
#include "win/machine.h"
#include "win/namedpipeapi.h"
#include "win/paths.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

constexpr DWORD kBound = 10000;  // ms

SECURITY_ATTRIBUTES Inheritable() { return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

// Everything a read end gives until its writers have gone.
std::string Drain(HANDLE read) {
  std::string text;
  char chunk[300];
  DWORD got = 0;
  while (ReadFile(read, chunk, sizeof chunk, &got, nullptr)) text.append(chunk, got);
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  return text;
}

TEST(Pipes, BytesFlowUntilTheWritersGo) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(write, "hello", 5, &done, nullptr));
  EXPECT_EQ(done, 5u);
  DWORD waiting = 0;
  ASSERT_TRUE(PeekNamedPipe(read, nullptr, 0, nullptr, &waiting, nullptr));
  EXPECT_EQ(waiting, 5u);
  // A read returns what is there, not a full buffer.
  char buffer[64];
  ASSERT_TRUE(ReadFile(read, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), "hello");
  // Ends are one-way.
  EXPECT_FALSE(ReadFile(write, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WriteFile(read, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // A duplicate keeps the write end open.
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), write, GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE));
  EXPECT_FALSE(CloseHandle(write));  // closed by the duplication
  ASSERT_TRUE(WriteFile(copy, "!", 1, &done, nullptr));
  CloseHandle(copy);
  EXPECT_EQ(Drain(read), "!");
  EXPECT_FALSE(PeekNamedPipe(read, nullptr, 0, nullptr, &waiting, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
  CloseHandle(read);
}

TEST(Pipes, WritingWithoutReadersFailsAndTheProcessLives) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  CloseHandle(read);
  DWORD done = 1;
  EXPECT_FALSE(WriteFile(write, "lost", 4, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
  EXPECT_EQ(done, 0u);
  CloseHandle(write);
}

TEST(Pipes, DuplicationStaysInThisProcess) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  HANDLE copy = nullptr;
  EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), read, reinterpret_cast<HANDLE>(8), &copy, 0, FALSE, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), read, GetCurrentProcess(), nullptr, 0, FALSE, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(CreatePipe(nullptr, &write, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(read);
  CloseHandle(write);
}

class PipedProcesses : public ::testing::Test {
 protected:
  void Script(const char16_t* windowsPath, const std::string& body) {
    auto host = *kq::HostPathFromWindows(windowsPath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host) << "#!/bin/sh\n" << body;
    chmod(host.c_str(), 0755);
  }

  // Output and error pipes whose read ends stay in this process only, as a starter of a tool makes them.
  void MakePipes() {
    SECURITY_ATTRIBUTES attributes = Inheritable();
    for (auto* pair : {&out_, &err_}) {
      HANDLE read = nullptr;
      ASSERT_TRUE(CreatePipe(&read, &pair->write, &attributes, 0));
      ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), read, GetCurrentProcess(), &pair->read, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
      CloseHandle(read);
    }
  }

  BOOL Start(LPCSTR application, std::string line, BOOL inherit, PROCESS_INFORMATION& info) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.hStdOutput = out_.write;
    startup.hStdError = err_.write;
    return CreateProcessA(application, line.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr, &startup,
                          &info);
  }

  void CloseWriteEnds() {
    CloseHandle(out_.write);
    CloseHandle(err_.write);
  }

  struct Pair {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
  } out_, err_;
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(PipedProcesses, TheToolsOutputAndErrorComeBackThroughThePipes) {
  // A quoted path with blanks, given both as the application name and in the command line.
  Script(u"C:\\Program Files\\Kelvo\\curl\\curl.exe",
         "printf 'out:%s|' \"$@\"\nprintf 'err' >&2\nread line || printf 'no input' >&2\n");
  MakePipes();
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start("C:\\Program Files\\Kelvo\\curl\\curl.exe",
                    "\"C:\\Program Files\\Kelvo\\curl\\curl.exe\" -F \"file=@C:\\a b.pdf;filename=\\\"a b.pdf\\\"\"",
                    TRUE, info));
  CloseWriteEnds();
  // Read together, as a tool may fill either pipe first.
  std::string error;
  std::thread errors([&] { error = Drain(err_.read); });
  const std::string output = Drain(out_.read);
  errors.join();
  EXPECT_EQ(output, "out:-F|out:file=@C:\\a b.pdf;filename=\"a b.pdf\"|");
  EXPECT_EQ(error, "errno input");
  EXPECT_EQ(WaitForSingleObject(info.hProcess, kBound), WAIT_OBJECT_0);
  for (HANDLE h : {out_.read, err_.read, info.hProcess, info.hThread}) CloseHandle(h);
}

TEST_F(PipedProcesses, HandlesNotInheritedGiveTheProgramNothing) {
  Script(u"C:\\tools\\talk.exe", "echo said\n");
  MakePipes();
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start("C:\\tools\\talk.exe", "talk", FALSE, info));
  ASSERT_EQ(WaitForSingleObject(info.hProcess, kBound), WAIT_OBJECT_0);
  CloseWriteEnds();
  EXPECT_EQ(Drain(out_.read), "");
  for (HANDLE h : {out_.read, err_.read, info.hProcess, info.hThread}) CloseHandle(h);
}

TEST_F(PipedProcesses, StandardHandlesOfTheWrongKindAreRefused) {
  Script(u"C:\\tools\\talk.exe", "echo said\n");
  MakePipes();
  HANDLE file = CreateFileW(u"C:\\tools\\out.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  struct Case {
    const char* what;
    HANDLE output;
    DWORD error;
  } const cases[] = {{"a file", file, ERROR_NOT_SUPPORTED}, {"not open", reinterpret_cast<HANDLE>(0x7FFC),
                                                             ERROR_INVALID_HANDLE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    STARTUPINFOA startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = c.output;
    PROCESS_INFORMATION info{};
    std::string line = "talk";
    EXPECT_FALSE(CreateProcessA("C:\\tools\\talk.exe", line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                &startup, &info));
    EXPECT_EQ(GetLastError(), c.error);
  }
  CloseHandle(file);
  CloseWriteEnds();
  CloseHandle(out_.read);
  CloseHandle(err_.read);
}

TEST_F(PipedProcesses, TerminateEndsTheProgramWithTheGivenCode) {
  Script(u"C:\\tools\\slow.exe", "echo started\nexec sleep 30\n");
  MakePipes();
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start("C:\\tools\\slow.exe", "slow", TRUE, info));
  CloseWriteEnds();
  char buffer[16];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(out_.read, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(TerminateProcess(info.hProcess, 42));
  ASSERT_EQ(WaitForSingleObject(info.hProcess, kBound), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 42u);
  // The program's pipe ends went with it.
  EXPECT_EQ(Drain(out_.read), "");
  EXPECT_FALSE(TerminateProcess(info.hProcess, 1));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(TerminateProcess(info.hThread, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  for (HANDLE h : {out_.read, err_.read, info.hProcess, info.hThread}) CloseHandle(h);
}

}  // namespace

namespace {

TEST_F(PipedProcesses, TheProgramRunsOnTheStartersMachine) {
  Script(u"C:\\tools\\root.exe", "printf '%s' \"$KQ_ROOT\"\n");
  MakePipes();
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(Start("C:\\tools\\root.exe", "root", TRUE, info));
  CloseWriteEnds();
  EXPECT_EQ(Drain(out_.read), machine_->Root().string());
  for (HANDLE h : {out_.read, err_.read, info.hProcess, info.hThread}) CloseHandle(h);
}

}  // namespace
