#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/machine.h"
#include "win/paths.h"

namespace {

// A fresh machine bound to the test's thread; its C: drive is an empty folder.
class Files : public ::testing::Test {
 protected:
  Files() : scope_(machine_.Get()) {}

  void SetUp() override { handlesBefore_ = kq::OpenHandleCount(); }
  void TearDown() override { EXPECT_EQ(kq::OpenHandleCount(), handlesBefore_) << "a handle was left open"; }

  std::filesystem::path Host(const char* name) const { return *kq::DriveFolder(*machine_, u'C') / name; }

  void Put(const char* name, const std::string& bytes) const { std::ofstream(Host(name), std::ios::binary) << bytes; }

  std::string Get(const char* name) const {
    std::ifstream in(Host(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static HANDLE Open(const WCHAR* name, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  static bool Write(HANDLE h, const std::string& bytes) {
    DWORD done = 0;
    return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  std::size_t handlesBefore_ = 0;
};

struct DispositionCase {
  const char* label;
  DWORD disposition;
  bool exists;
  bool opens;
  DWORD lastError;
  const char* contentAfter;  // null: the file does not exist afterwards
};

TEST_F(Files, CreateDispositionsFollowThePlatform) {
  const DispositionCase cases[] = {
      {"CREATE_NEW on nothing", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {"CREATE_NEW on a file", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {"CREATE_ALWAYS on nothing", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {"CREATE_ALWAYS on a file", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {"OPEN_EXISTING on nothing", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"OPEN_EXISTING on a file", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {"OPEN_ALWAYS on nothing", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {"OPEN_ALWAYS on a file", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {"TRUNCATE_EXISTING on nothing", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {"TRUNCATE_EXISTING on a file", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
      {"disposition 0", 0, true, false, ERROR_INVALID_PARAMETER, "old"},
      {"disposition 6", 6, true, false, ERROR_INVALID_PARAMETER, "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove(Host("d.bin"));
    if (c.exists) Put("d.bin", "old");
    SetLastError(12345);
    HANDLE h = Open(u"C:\\d.bin", GENERIC_WRITE, 0, c.disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(GetLastError(), c.lastError);
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(h));
    }
    EXPECT_EQ(std::filesystem::exists(Host("d.bin")), c.contentAfter != nullptr);
    if (c.contentAfter) {
      EXPECT_EQ(Get("d.bin"), c.contentAfter);
    }
  }
}

TEST_F(Files, TruncateExistingNeedsWriteAccess) {
  Put("t.bin", "keep");
  HANDLE h = Open(u"C:\\t.bin", GENERIC_READ, FILE_SHARE_READ, TRUNCATE_EXISTING);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Get("t.bin"), "keep");
}

struct ShareCase {
  DWORD firstAccess, firstShare, secondAccess, secondShare;
  bool secondOpens;
};

TEST_F(Files, ShareModesDecideWhetherASecondOpenerGetsIn) {
  constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = GENERIC_READ | GENERIC_WRITE;
  constexpr DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SD = FILE_SHARE_DELETE;
  const ShareCase cases[] = {
      {W, 0, R, SR | SW | SD, false},        // no sharing refuses everyone
      {R, 0, R, SR, false},                  // also readers
      {R, SR, R, SR, true},                  // readers that share reading
      {R, SR, W, SR, false},                 // the first does not share writing
      {W, SR | SW, R, SR, false},            // the second does not share the first one's writing
      {W, SR | SW, R, SR | SW, true},        // both share what the other does
      {RW, SR | SW, RW, SR | SW, true},      // two writers that share everything
      {DELETE, 0, R, SR, false},             // deleting counts as access
      {W, 0, FILE_READ_ATTRIBUTES, 0, true},  // attribute access touches no data and is not governed
      {FILE_APPEND_DATA, SR, W, SR | SW, false},  // appending is writing
  };
  Put("s.bin", "x");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE("case " + std::to_string(i));
    HANDLE first = Open(u"C:\\s.bin", c.firstAccess, c.firstShare, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = Open(u"c:/S.BIN", c.secondAccess, c.secondShare, OPEN_EXISTING);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
    if (second != INVALID_HANDLE_VALUE) {
      CloseHandle(second);
    } else {
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    CloseHandle(first);
  }
  // Once the first opener closes, the file is free again.
  HANDLE again = Open(u"C:\\s.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST_F(Files, ARefusedOpenerDoesNotTruncate) {
  HANDLE first = Open(u"C:\\busy.pdf", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(first, "%PDF-1.3"));
  HANDLE second = Open(u"C:\\busy.pdf", GENERIC_WRITE, 0, CREATE_ALWAYS);
  EXPECT_EQ(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(first);
  EXPECT_EQ(Get("busy.pdf"), "%PDF-1.3");
}

TEST_F(Files, OpenFilesAreTrackedPerMachine) {
  const auto host = machine_->Root() / "shared.bin";
  std::ofstream(host) << "x";
  const auto z = kq::WindowsPathFromPosix(host.string());
  HANDLE mine = Open(z.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  {
    kq::TemporaryMachine other;
    kq::MachineScope bind(other.Get());
    HANDLE theirs = Open(z.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(theirs, INVALID_HANDLE_VALUE);
    CloseHandle(theirs);
  }
  CloseHandle(mine);
}

TEST_F(Files, ReadWriteSeekAndSize) {
  HANDLE h = Open(u"C:\\rw.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(h, "0123456789"));
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 10u);
  EXPECT_EQ(high, 0u);
  LARGE_INTEGER size{};
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, 10);

  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_BEGIN), 3u);
  char buffer[16] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(h, buffer, 4, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "3456");
  EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_END), 8u);
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "89");
  // At the end a read succeeds with nothing.
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);

  // A move before the start fails and leaves the pointer where it was.
  EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);
  // A high part makes one 64-bit distance: -1 is the pair (0xFFFFFFFF, -1).
  LONG highPart = -1;
  EXPECT_EQ(SetFilePointer(h, -1, &highPart, FILE_CURRENT), 9u);
  EXPECT_EQ(highPart, 0);
  // Beyond what 32 bits can report, only the high-part forms may go.
  EXPECT_EQ(SetFilePointer(h, 0x7FFFFFFF, nullptr, FILE_CURRENT), 0x7FFFFFFFu + 9u);
  EXPECT_EQ(SetFilePointer(h, 0x7FFFFFFF, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  LARGE_INTEGER far{}, now{};
  far.QuadPart = 5'000'000'000LL;
  ASSERT_TRUE(SetFilePointerEx(h, far, &now, FILE_BEGIN));
  EXPECT_EQ(now.QuadPart, 5'000'000'000LL);
  EXPECT_FALSE(SetFilePointerEx(h, far, &now, 3));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ASSERT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);
}

TEST_F(Files, AccessRightsAreEnforced) {
  Put("ro.bin", "data");
  HANDLE reader = Open(u"C:\\ro.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Write(reader, "x"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(FlushFileBuffers(reader));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(reader);

  HANDLE writer = Open(u"C:\\wo.bin", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char c;
  DWORD got = 5;
  EXPECT_FALSE(ReadFile(writer, &c, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(got, 0u);
  CloseHandle(writer);

  // A file without write permission has the read-only attribute: no writer gets in, whoever runs the test.
  std::filesystem::permissions(Host("ro.bin"), std::filesystem::perms::owner_read);
  EXPECT_EQ(GetFileAttributesW(u"C:\\ro.bin"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS, OPEN_ALWAYS}) {
    EXPECT_EQ(Open(u"C:\\ro.bin", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_FALSE(DeleteFileW(u"C:\\ro.bin"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get("ro.bin"), "data");
}

TEST_F(Files, AppendOnlyAccessWritesAtTheEnd) {
  Put("log.txt", "one ");
  HANDLE h = Open(u"C:\\log.txt", FILE_APPEND_DATA, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  EXPECT_TRUE(Write(h, "two"));
  CloseHandle(h);
  EXPECT_EQ(Get("log.txt"), "one two");
}

struct NameErrorCase {
  const WCHAR* name;
  DWORD error;
};

TEST_F(Files, BadNamesFailWithThePlatformsCodes) {
  std::filesystem::create_directory(Host("folder"));
  const NameErrorCase cases[] = {
      {u"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
      {u"C:\\no such folder\\file.txt", ERROR_PATH_NOT_FOUND},
      {u"Q:\\file.txt", ERROR_PATH_NOT_FOUND},
      {u"", ERROR_PATH_NOT_FOUND},
      {u"C:\\folder", ERROR_ACCESS_DENIED},
      {u"C:\\wild*.txt", ERROR_INVALID_NAME},
      {u"C:\\a\x01" u"b", ERROR_INVALID_NAME},
      {u"\\\\server\\share\\file.txt", ERROR_BAD_NETPATH},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.name));
    EXPECT_EQ(Open(c.name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(Files, AFullDeviceFailsTheWrite) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this host";
  kq::MapDrive(*machine_, u'f', "/dev");
  for (const WCHAR* name : {u"Z:\\dev\\full", u"F:\\full"}) {
    HANDLE h = Open(name, GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 99;
    EXPECT_FALSE(WriteFile(h, "abc", 3, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(done, 0u);
    CloseHandle(h);
  }
}

TEST_F(Files, HandlesOfOtherKindsAndOverlappedIoAreRefused) {
  HANDLE h = Open(u"C:\\o.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  OVERLAPPED overlapped{};
  DWORD done = 0;
  EXPECT_FALSE(WriteFile(h, "x", 1, &done, &overlapped));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  CloseHandle(h);
  EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Files, DeleteHonoursSharing) {
  Put("del.bin", "x");
  HANDLE h = Open(u"C:\\del.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(DeleteFileW(u"C:\\del.bin"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  h = Open(u"C:\\del.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
  EXPECT_TRUE(DeleteFileW(u"C:\\del.bin"));
  CloseHandle(h);
  EXPECT_FALSE(std::filesystem::exists(Host("del.bin")));
  EXPECT_FALSE(DeleteFileW(u"C:\\del.bin"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  std::filesystem::create_directory(Host("dir"));
  EXPECT_FALSE(DeleteFileW(u"C:\\dir"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  // A link goes itself, never what it names, even when that is missing or cannot be deleted.
  Put("kept.bin", "kept");
  std::filesystem::permissions(Host("kept.bin"), std::filesystem::perms::owner_read);
  std::filesystem::create_symlink(Host("kept.bin"), Host("link.bin"));
  std::filesystem::create_symlink(Host("gone.bin"), Host("dangling.bin"));
  EXPECT_TRUE(DeleteFileW(u"C:\\link.bin"));
  EXPECT_TRUE(DeleteFileW(u"C:\\dangling.bin"));
  EXPECT_EQ(Get("kept.bin"), "kept");
  EXPECT_FALSE(std::filesystem::is_symlink(Host("link.bin")));
  EXPECT_FALSE(std::filesystem::is_symlink(Host("dangling.bin")));
}

TEST_F(Files, FoldersAndAttributes) {
  EXPECT_TRUE(CreateDirectoryW(u"C:\\Out", nullptr));
  EXPECT_FALSE(CreateDirectoryW(u"C:\\out", nullptr));  // the same name ignoring case
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW(u"C:\\a\\b", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(CreateDirectoryA("C:\\Out\\Caf\xE9", nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(Host("Out") / "Caf\xC3\xA9"));

  EXPECT_EQ(GetFileAttributesW(u"C:\\OUT"), FILE_ATTRIBUTE_DIRECTORY);
  Put("Out/f.txt", "x");
  EXPECT_EQ(GetFileAttributesA("C:\\out\\F.TXT"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesW(u"C:\\out\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(u"C:\\none\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// Whether thread `thread` of this process sits in the read system call, as the kernel reports it: the first field
// of /proc/self/task/<thread>/syscall is the number of the call it waits in.
bool InRead(pid_t thread) {
  std::ifstream in("/proc/self/task/" + std::to_string(thread) + "/syscall");
  long call = -1;
  return in >> call && call == SYS_read;
}

// Waits until the thread named in `thread` (0 until it names itself) is blocked in a read; false after ten seconds.
bool AwaitBlockedInRead(const std::atomic<pid_t>& thread) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (thread == 0 || !InRead(thread)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// What is neither a file nor a folder is a device to GetFileAttributesW, and opening a FIFO never waits for its
// other end; once open, its handle waits for data as any other.
TEST_F(Files, AFifoIsADeviceAndOpeningItNeverWaits) {
  ASSERT_EQ(::mkfifo(Host("pipe").c_str(), 0600), 0);
  EXPECT_EQ(GetFileAttributesW(u"C:\\pipe"), FILE_ATTRIBUTE_DEVICE);
  EXPECT_EQ(GetFileAttributesW(u"Z:\\dev\\null"), FILE_ATTRIBUTE_DEVICE);

  auto opening = std::async(std::launch::async, [this] {
    kq::MachineScope bound(machine_.Get());
    const HANDLE h = Open(u"C:\\pipe", GENERIC_WRITE, 0, OPEN_EXISTING);
    return std::pair(h, GetLastError());
  });
  if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::ifstream unblock(Host("pipe"));  // lets the waiting open through, so the test ends
    FAIL() << "opening a FIFO without a reader waited";
  }
  EXPECT_EQ(opening.get(), std::pair(INVALID_HANDLE_VALUE, DWORD{ERROR_FILE_NOT_FOUND}));

  const HANDLE reader = Open(u"C:\\pipe", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  const HANDLE writer = Open(u"C:\\pipe", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  std::atomic<pid_t> readerThread{0};
  auto reading = std::async(std::launch::async, [this, reader, &readerThread] {
    kq::MachineScope bound(machine_.Get());
    readerThread = ::gettid();
    char bytes[3] = {};
    DWORD done = 0;
    const BOOL ok = ReadFile(reader, bytes, 3, &done, nullptr);
    return ok ? std::string(bytes, done) : std::string("failed");
  });
  ASSERT_TRUE(AwaitBlockedInRead(readerThread)) << "the reading thread never reached its read";
  EXPECT_NE(reading.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(Write(writer, "abc"));
  EXPECT_EQ(reading.get(), "abc") << "the read waits for the data";
  CloseHandle(writer);
  CloseHandle(reader);
}

TEST_F(Files, CopyFile) {
  std::string big(200'000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  Put("src.bin", big);
  EXPECT_TRUE(CopyFileW(u"C:\\src.bin", u"C:\\dst.bin", TRUE));
  EXPECT_TRUE(Get("dst.bin") == big);
  EXPECT_FALSE(CopyFileA("C:\\src.bin", "C:\\dst.bin", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  Put("src.bin", "short");
  EXPECT_TRUE(CopyFileA("C:\\src.bin", "C:\\dst.bin", FALSE));
  EXPECT_EQ(Get("dst.bin"), "short");
  EXPECT_FALSE(CopyFileW(u"C:\\none.bin", u"C:\\dst2.bin", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(Host("dst2.bin")));
  // A file cannot be copied onto itself: the target's opener does not share the source's reading.
  EXPECT_FALSE(CopyFileW(u"C:\\src.bin", u"C:\\SRC.bin", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Get("src.bin"), "short");
}

TEST_F(Files, AnsiNamesUseTheMachinesCodePage) {
  HANDLE h = CreateFileA("C:\\r\xE9sum\xE9.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(std::filesystem::exists(Host("r\xC3\xA9sum\xC3\xA9.txt")));
  // Names match ignoring ASCII case only: with upper-case accented letters the name is another one.
  EXPECT_FALSE(DeleteFileA("C:\\R\xC9SUM\xC9.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(std::filesystem::exists(Host("r\xC3\xA9sum\xC3\xA9.txt")));
  EXPECT_TRUE(DeleteFileA("C:\\R\xE9SUM\xE9.TXT"));
  EXPECT_FALSE(std::filesystem::exists(Host("r\xC3\xA9sum\xC3\xA9.txt")));
}

// Share modes between processes of one state root: a second process holds the file.
class FileSharing : public Files {
 protected:
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
  void TearDown() override {
    KillTheOtherProcess();
    Files::TearDown();
  }

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

// The lock files under <root>/shares hold the share modes of files while they are open: the last opener to close
// removes its file's, in whichever process it is, and a killed opener's is removed by the next.
TEST_F(FileSharing, LockFilesGoWithTheirLastOpener) {
  const auto shares = machine_->Root() / "shares";
  const auto lockFiles = [&] {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(shares)) ++n;
    return n;
  };
  Put("a.pdf", "a");
  for (int i = 0; i < 3; ++i) {
    const HANDLE first = Open(u"C:\\a.pdf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    const HANDLE second = Open(u"C:\\a.pdf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(lockFiles(), 1u);
    CloseHandle(first);
    EXPECT_EQ(lockFiles(), 1u) << "the second opener still holds it";
    CloseHandle(second);
    EXPECT_EQ(lockFiles(), 0u);
  }

  ASSERT_TRUE(HoldInAnotherProcess(u"C:\\a.pdf", GENERIC_READ, FILE_SHARE_READ));
  const HANDLE mine = Open(u"C:\\a.pdf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  CloseHandle(mine);
  EXPECT_EQ(lockFiles(), 1u) << "the other process holds it";
  const HANDLE refused = Open(u"C:\\a.pdf", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_EQ(refused, INVALID_HANDLE_VALUE) << "its share mode still holds";
  KillTheOtherProcess();
  EXPECT_EQ(lockFiles(), 1u);
  CloseHandle(Open(u"C:\\a.pdf", GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_EQ(lockFiles(), 0u);
}

// Processes opening and closing one file without sharing, as fast as they can: a lock file removed by one while
// another is opening it never lets two in at once, and none is left at the end. Each process goes on until it has
// been in a number of times, however the host schedules them; they start together so that they meet.
TEST_F(FileSharing, RemovingALockFileNeverLetsTwoExclusiveOpenersIn) {
  constexpr int kProcesses = 4;
  constexpr int kEntries = 300;
  Put("busy.pdf", "x");
  struct Tally {
    std::atomic<int> ready{0};
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> failures{0};  // refusals other than another opener's
  };
  void* shared = ::mmap(nullptr, sizeof(Tally), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  auto* tally = new (shared) Tally;
  const auto hammer = [tally] {
    tally->ready.fetch_add(1);
    while (tally->ready.load() < kProcesses) std::this_thread::yield();
    for (int entered = 0; entered < kEntries;) {
      const HANDLE h = Open(u"C:\\busy.pdf", GENERIC_WRITE, 0, OPEN_EXISTING);
      if (h == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) continue;
        tally->failures.fetch_add(1);
        return;
      }
      if (tally->inside.fetch_add(1) != 0) tally->overlaps.fetch_add(1);
      ++entered;
      std::this_thread::yield();
      tally->inside.fetch_sub(1);
      CloseHandle(h);
    }
  };
  std::vector<pid_t> children;
  for (int who = 1; who < kProcesses; ++who) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      hammer();
      ::_exit(0);
    }
    children.push_back(child);
  }
  hammer();
  for (const pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(tally->overlaps.load(), 0);
  EXPECT_EQ(tally->failures.load(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(machine_->Root() / "shares"));
  tally->~Tally();
  ::munmap(shared, sizeof(Tally));
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
