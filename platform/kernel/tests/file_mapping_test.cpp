// Paging-file mappings: creation and opening by name, views and their size, life until the last holder lets go,
// one name space per machine, and sharing with another process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "win/handleapi.h"
#include "win/machine.h"
#include "win/memoryapi.h"

namespace {

constexpr WCHAR kName[] = u"Kelvo PDF Printer map data";
constexpr DWORD kSize = 0x500000;

class FileMapping : public ::testing::Test {
 protected:
  HANDLE Create(LPCWSTR name = kName, DWORD size = kSize, DWORD protect = PAGE_READWRITE) {
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, protect, 0, size, name);
  }
  static SIZE_T ViewSize(LPCVOID view) {
    MEMORY_BASIC_INFORMATION info{};
    return VirtualQuery(view, &info, sizeof info) ? info.RegionSize : 0;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(FileMapping, ANamedMappingIsSharedByItsHandlesAndViews) {
  SetLastError(1234);
  const HANDLE created = Create();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  auto* mine = static_cast<char*>(MapViewOfFile(created, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(ViewSize(mine), kSize) << "the whole mapping";
  EXPECT_EQ(mine[kSize - 1], 0) << "new memory is zero";
  std::strcpy(mine + 100, "hello");

  // The same name again: the existing mapping, whatever size is asked for.
  const HANDLE again = Create(kName, 4096);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  const HANDLE opened = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kName);
  ASSERT_NE(opened, nullptr);
  auto* theirs = static_cast<char*>(MapViewOfFile(opened, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, mine);
  EXPECT_EQ(ViewSize(theirs), kSize);
  EXPECT_STREQ(theirs + 100, "hello");
  theirs[12] = 1;
  EXPECT_EQ(mine[12], 1) << "one memory behind both views";

  // VirtualQuery of an address inside a view: from its page to the view's end.
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_EQ(VirtualQuery(theirs + 5000, &info, sizeof info), sizeof info);
  EXPECT_EQ(info.AllocationBase, theirs);
  EXPECT_EQ(info.BaseAddress, theirs + 4096);
  EXPECT_EQ(info.RegionSize, kSize - 4096);
  EXPECT_EQ(info.State, MEM_COMMIT);
  EXPECT_EQ(info.Type, MEM_MAPPED);
  EXPECT_EQ(info.Protect, PAGE_READWRITE);

  for (LPVOID view : {static_cast<LPVOID>(mine), static_cast<LPVOID>(theirs)}) EXPECT_TRUE(UnmapViewOfFile(view));
  for (HANDLE h : {created, again, opened}) EXPECT_TRUE(CloseHandle(h));
  SetLastError(0);
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, kName), nullptr) << "gone with its last holder";
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileMapping, AViewKeepsTheMappingAfterItsHandleIsClosed) {
  const HANDLE created = Create();
  auto* view = static_cast<char*>(MapViewOfFile(created, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  view[0] = 42;
  ASSERT_TRUE(CloseHandle(created));
  const HANDLE opened = OpenFileMappingW(FILE_MAP_READ, FALSE, kName);
  ASSERT_NE(opened, nullptr);
  auto* again = static_cast<const char*>(MapViewOfFile(opened, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again[0], 42);
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(again, &info, sizeof info), 0u);
  EXPECT_EQ(info.Protect, PAGE_READONLY);
  EXPECT_TRUE(UnmapViewOfFile(again));
  EXPECT_TRUE(CloseHandle(opened));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, kName), nullptr);
}

TEST_F(FileMapping, TwoMachinesNeverSeeEachOthersMappings) {
  const HANDLE here = Create();
  ASSERT_NE(here, nullptr);
  {
    kq::TemporaryMachine other;
    kq::MachineScope otherScope(other.Get());
    SetLastError(0);
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, kName), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    const HANDLE there = Create();
    ASSERT_NE(there, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "a mapping of its own";
    CloseHandle(there);
  }
  EXPECT_TRUE(CloseHandle(here));
}

TEST_F(FileMapping, BadRequestsFailWithTheirErrors) {
  const HANDLE mapping = Create(u"small", 100);
  ASSERT_NE(mapping, nullptr);
  const HANDLE reader = OpenFileMappingW(FILE_MAP_READ, FALSE, u"small");
  ASSERT_NE(reader, nullptr);
  const HANDLE readOnly = Create(u"read only", 4096, PAGE_READONLY);
  ASSERT_NE(readOnly, nullptr);
  const HANDLE someFile = reinterpret_cast<HANDLE>(0x40);
  struct Case {
    const char* what;
    std::function<bool()> call;
    DWORD error;
  };
  const Case cases[] = {
      {"size 0", [&] { return Create(u"zero", 0) != nullptr; }, ERROR_INVALID_PARAMETER},
      {"an unknown protection", [&] { return Create(u"odd", 10, 0x40) != nullptr; }, ERROR_INVALID_PARAMETER},
      {"a file's mapping",
       [&] { return CreateFileMappingW(someFile, nullptr, PAGE_READWRITE, 0, 10, u"f") != nullptr; },
       ERROR_NOT_SUPPORTED},
      {"a name too long", [&] { return Create(std::u16string(200, u'\u00e9').c_str(), 10) != nullptr; },
       ERROR_FILENAME_EXCED_RANGE},
      {"opening no name", [&] { return OpenFileMappingW(FILE_MAP_READ, FALSE, nullptr) != nullptr; },
       ERROR_INVALID_PARAMETER},
      {"opening a name that does not exist",
       [&] { return OpenFileMappingW(FILE_MAP_READ, FALSE, u"none") != nullptr; }, ERROR_FILE_NOT_FOUND},
      {"write access to a read-only mapping",
       [&] { return OpenFileMappingW(FILE_MAP_WRITE, FALSE, u"read only") != nullptr; }, ERROR_ACCESS_DENIED},
      {"a write view through a read handle",
       [&] { return MapViewOfFile(reader, FILE_MAP_WRITE, 0, 0, 0) != nullptr; }, ERROR_ACCESS_DENIED},
      {"a write view of a read-only mapping",
       [&] { return MapViewOfFile(readOnly, FILE_MAP_WRITE, 0, 0, 0) != nullptr; }, ERROR_ACCESS_DENIED},
      {"an offset off the granularity",
       [&] { return MapViewOfFile(mapping, FILE_MAP_READ, 0, 4096, 0) != nullptr; }, ERROR_MAPPED_ALIGNMENT},
      {"a view past the end", [&] { return MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 101) != nullptr; },
       ERROR_ACCESS_DENIED},
      {"a view of no mapping", [&] { return MapViewOfFile(someFile, FILE_MAP_READ, 0, 0, 0) != nullptr; },
       ERROR_INVALID_HANDLE},
      {"unmapping what is no view", [&] { return UnmapViewOfFile(&kSize) != FALSE; }, ERROR_INVALID_ADDRESS},
      {"asking about memory that is no view",
       [&] {
         MEMORY_BASIC_INFORMATION info{};
         return VirtualQuery(&kSize, &info, sizeof info) != 0;
       },
       ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(0);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), c.error);
  }
  // A mapping smaller than a page still gives a whole page's view, the rest zero.
  const auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(view + 99, &info, sizeof info), 0u);
  EXPECT_EQ(info.RegionSize, static_cast<SIZE_T>(sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(VirtualQuery(view, &info, sizeof info - 1), 0u) << "a short record";
  EXPECT_TRUE(UnmapViewOfFile(view));
  for (HANDLE h : {mapping, reader, readOnly}) CloseHandle(h);
}

// Another process on the same state root: it sees the block, writes into it, and what a process that died holding
// nothing left behind is not found.
TEST_F(FileMapping, AnotherProcessOnTheSameRootSharesTheMapping) {
  const HANDLE mapping = Create();
  auto* view = static_cast<volatile char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  view[0] = 7;
  const auto root = machine->Root();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    kq::MachineScope childScope(std::make_shared<kq::Machine>(kq::MachineConfig{root}));
    const HANDLE opened = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kName);
    auto* theirs = opened ? static_cast<char*>(MapViewOfFile(opened, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    if (!theirs || theirs[0] != 7) _exit(1);
    theirs[12] = 1;
    // A mapping of its own that it never closes: it goes with the process.
    if (!Create(u"left behind", 10)) _exit(2);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(view[12], 1);
  SetLastError(0);
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, u"left behind"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  const HANDLE fresh = Create(u"left behind", 10);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "the name is free again";
  CloseHandle(fresh);
  UnmapViewOfFile(const_cast<char*>(view));
  CloseHandle(mapping);
}

}  // namespace
