// Share modes between processes of one state root, and renames.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/machine.h"
#include "win/paths.h"

namespace {

class FileSharing : public ::testing::Test {
 protected:
  FileSharing() : scope_(machine_.Get()) {}

  std::filesystem::path Host(const char* name) const { return *kq::DriveFolder(*machine_, u'C') / name; }
  void Put(const char* name, const std::string& bytes) const { std::ofstream(Host(name), std::ios::binary) << bytes; }
  std::string Get(const char* name) const {
    std::ifstream in(Host(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static HANDLE Open(const WCHAR* name, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  // Another process on the same state root that opens the file and holds it until it is killed; false when its
  // open failed.
  bool HoldInAnotherProcess(const WCHAR* name, DWORD access, DWORD share) {
    int ready[2];
    if (::pipe(ready) != 0) return false;
    child_ = ::fork();
    if (child_ == 0) {
      const HANDLE h = Open(name, access, share, OPEN_EXISTING);
      const char answer = h != INVALID_HANDLE_VALUE ? '1' : '0';
      (void)!::write(ready[1], &answer, 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char answer = '0';
    const bool read = ::read(ready[0], &answer, 1) == 1;
    ::close(ready[0]);
    return read && answer == '1';
  }
  void KillTheOtherProcess() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }
  void TearDown() override { KillTheOtherProcess(); }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  pid_t child_ = -1;
};

TEST_F(FileSharing, AFileHeldWithoutSharingByAnotherProcessIsAViolationUntilThatProcessDies) {
  Put("held.pdf", "old");
  ASSERT_TRUE(HoldInAnotherProcess(u"C:\\held.pdf", GENERIC_WRITE, 0));

  const HANDLE refused = Open(u"C:\\held.pdf", GENERIC_WRITE, 0, CREATE_ALWAYS);
  EXPECT_EQ(refused, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Get("held.pdf"), "old") << "a refused opener does not truncate";
  EXPECT_FALSE(DeleteFileW(u"C:\\held.pdf"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileExW(u"C:\\held.pdf", u"C:\\moved.pdf", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

  // Killed, it leaves nothing that holds the file.
  KillTheOtherProcess();
  const HANDLE mine = Open(u"C:\\held.pdf", GENERIC_WRITE, 0, OPEN_EXISTING);
  EXPECT_NE(mine, INVALID_HANDLE_VALUE);
  CloseHandle(mine);
}

TEST_F(FileSharing, WhatTheOtherProcessSharesIsHonoured) {
  Put("shared.pdf", "x");
  ASSERT_TRUE(HoldInAnotherProcess(u"C:\\shared.pdf", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE));
  struct Case {
    const char* what;
    DWORD access;
    DWORD share;
    bool opens;
  } const cases[] = {
      {"a reader sharing reading", GENERIC_READ, FILE_SHARE_READ, true},
      {"a reader that shares nothing", GENERIC_READ, 0, false},
      {"a writer", GENERIC_WRITE, FILE_SHARE_READ, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const HANDLE h = Open(u"C:\\shared.pdf", c.access, c.share, OPEN_EXISTING);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_TRUE(DeleteFileW(u"C:\\shared.pdf")) << "deletion is shared";
}

TEST_F(FileSharing, MoveFileExRenamesInOneStep) {
  struct Case {
    const char* what;
    bool targetExists;
    DWORD flags;
    bool moves;
    DWORD error;
  } const cases[] = {
      {"onto a free name", false, 0, true, ERROR_SUCCESS},
      {"onto a file, replacing", true, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, true, ERROR_SUCCESS},
      {"onto a file, not replacing", true, 0, false, ERROR_ALREADY_EXISTS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Put("part", "new");
    std::filesystem::remove(Host("target"));
    if (c.targetExists) Put("target", "old");
    EXPECT_EQ(MoveFileExW(u"C:\\part", u"C:\\target", c.flags), c.moves ? TRUE : FALSE);
    if (!c.moves) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(Get("target"), c.moves ? "new" : "old");
    EXPECT_EQ(std::filesystem::exists(Host("part")), !c.moves);
  }

  // A file held without shared deletion stays where it is, and so does a target held so.
  Put("part", "new");
  Put("target", "old");
  HANDLE held = Open(u"C:\\target", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(MoveFileExW(u"C:\\part", u"C:\\target", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  // One held with shared deletion moves.
  held = Open(u"C:\\part", GENERIC_WRITE, FILE_SHARE_DELETE, OPEN_EXISTING);
  EXPECT_TRUE(MoveFileExW(u"C:\\part", u"C:\\target", MOVEFILE_REPLACE_EXISTING));
  CloseHandle(held);
  EXPECT_EQ(Get("target"), "new");

  std::filesystem::create_directories(Host("folder"));
  Put("part", "new");
  EXPECT_FALSE(MoveFileExW(u"C:\\part", u"C:\\folder", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(MoveFileExW(u"C:\\missing", u"C:\\target", 0));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
