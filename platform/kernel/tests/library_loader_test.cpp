#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "win/libloaderapi.h"
#include "win/paths.h"
#include "win/sysinfoapi.h"

namespace {

// A function of the test program's own.
void AFunctionOfTheProgram() {}

class Libraries : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

// The platform library itself is a library every test program has: loading it by path gives a handle of the
// loader that finds its exports.
TEST_F(Libraries, LoadByWindowsPathFindExportsAndFree) {
  const auto wide = kq::WindowsPathFromPosix(KQ_PLATFORM_LIBRARY);
  HMODULE module = LoadLibraryW(wide.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(LoadLibraryA(KQ_PLATFORM_LIBRARY), module);  // a POSIX path names the same file on Z:
  // The platform's own calls carry C++ names.
  EXPECT_NE(GetProcAddress(module, "_Z12GetLastErrorv"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  WCHAR path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
  EXPECT_TRUE(kq::EqualsIgnoreAsciiCase(path, wide));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(Libraries, FailuresNameTheirCause) {
  struct Case {
    const char* what;
    HMODULE (*load)();
    DWORD error;
  };
  const auto dir = machine_->Root() / "drive_c";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "text.so") << "not a library";
  const Case cases[] = {
      {"missing file", [] { return LoadLibraryW(u"C:\\missing.so"); }, ERROR_MOD_NOT_FOUND},
      {"unmapped drive", [] { return LoadLibraryW(u"Q:\\x.so"); }, ERROR_MOD_NOT_FOUND},
      {"bare name nowhere", [] { return LoadLibraryW(u"libkq-no-such-library.so"); }, ERROR_MOD_NOT_FOUND},
      {"not a library", [] { return LoadLibraryW(u"C:\\text.so"); }, ERROR_BAD_EXE_FORMAT},
      {"empty name", [] { return LoadLibraryA(""); }, ERROR_INVALID_PARAMETER},
      {"null name", [] { return LoadLibraryW(nullptr); }, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(c.load(), nullptr) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  int local = 0;
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&local)));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetProcAddress(nullptr, "GetLastError"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// A module finds itself from an address of its own: the program from one of its functions, a library from one of
// its exports; the handle names the module's file. What no module holds, and a call the platform does not offer,
// fail with their causes.
TEST_F(Libraries, AnAddressNamesTheModuleThatHoldsIt) {
  const auto fileOf = [](HMODULE module) {
    WCHAR path[4096];
    const DWORD length = GetModuleFileNameW(module, path, 4096);
    return kq::WString(path, length);
  };
  const HMODULE program = kq::ModuleOfAddress(reinterpret_cast<const void*>(&AFunctionOfTheProgram));
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(fileOf(program), fileOf(nullptr));

  HMODULE library = LoadLibraryA(KQ_PLATFORM_LIBRARY);
  ASSERT_NE(library, nullptr);
  const FARPROC export_ = GetProcAddress(library, "_Z12GetLastErrorv");
  const HMODULE holder = kq::ModuleOfAddress(reinterpret_cast<const void*>(export_));
  ASSERT_NE(holder, nullptr);
  EXPECT_NE(holder, program);
  EXPECT_TRUE(kq::EqualsIgnoreAsciiCase(fileOf(holder), kq::WindowsPathFromPosix(KQ_PLATFORM_LIBRARY)));
  EXPECT_TRUE(FreeLibrary(library));

  constexpr DWORD kFromAddress = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  int local = 0;
  const auto address = reinterpret_cast<LPCWSTR>(&local);
  struct Case {
    const char* what;
    DWORD flags;
    LPCWSTR name;
    bool result;
    DWORD error;
  };
  const Case cases[] = {
      {"an address on the stack", kFromAddress, address, true, ERROR_MOD_NOT_FOUND},
      {"a null address", kFromAddress, nullptr, true, ERROR_MOD_NOT_FOUND},
      {"no result", kFromAddress, address, false, ERROR_INVALID_PARAMETER},
      {"a name", GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, u"libkq.so", true, ERROR_INVALID_PARAMETER},
      {"a reference taken", GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, address, true, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    HMODULE module = reinterpret_cast<HMODULE>(&local);
    SetLastError(0);
    EXPECT_FALSE(GetModuleHandleExW(c.flags, c.name, c.result ? &module : nullptr)) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
    if (c.result) {
      EXPECT_EQ(module, nullptr) << c.what;
    }
  }
}

}  // namespace
