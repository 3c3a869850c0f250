#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "scoped_env.h"
#include "win/sysinfoapi.h"

namespace {

class UserName : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

TEST_F(UserName, CopiesTheNameAndCountsTheZero) {
  machine_->Service<kq::MachineUser>().SetUserName(u"ann");
  WCHAR buffer[260] = {u'x', u'x', u'x', u'x', u'x'};
  DWORD size = 260;
  ASSERT_TRUE(GetUserNameW(buffer, &size));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(kq::WString(buffer), u"ann");
}

TEST_F(UserName, TooSmallBuffersAskForTheSizeNeeded) {
  machine_->Service<kq::MachineUser>().SetUserName(u"M\u00fcller & S\u00f6hne");  // 14 characters
  struct {
    bool withBuffer;
    DWORD size;
  } cases[] = {{false, 0}, {false, 100}, {true, 0}, {true, 1}, {true, 14}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    WCHAR buffer[32] = {u'?'};
    DWORD size = c.size;
    SetLastError(0);
    EXPECT_FALSE(GetUserNameW(c.withBuffer ? buffer : nullptr, &size));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, 15u);
    EXPECT_EQ(buffer[0], u'?');
  }
  WCHAR buffer[15];
  DWORD size = 15;
  ASSERT_TRUE(GetUserNameW(buffer, &size));
  EXPECT_EQ(kq::WString(buffer), u"M\u00fcller & S\u00f6hne");

  SetLastError(0);
  EXPECT_FALSE(GetUserNameW(buffer, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(UserNameDefault, ComesFromTheEnvironment) {
  {
    kq::testing::ScopedEnv user("USER", "kq-tester");
    kq::TemporaryMachine machine;
    EXPECT_EQ(machine->Service<kq::MachineUser>().UserName(), u"kq-tester");
  }
  {
    kq::testing::ScopedEnv user("USER", nullptr);
    kq::testing::ScopedEnv logname("LOGNAME", "kq-logname");
    kq::TemporaryMachine machine;
    EXPECT_EQ(machine->Service<kq::MachineUser>().UserName(), u"kq-logname");
  }
  // Without either the account database still names someone.
  kq::testing::ScopedEnv user("USER", nullptr);
  kq::testing::ScopedEnv logname("LOGNAME", nullptr);
  kq::TemporaryMachine machine;
  EXPECT_FALSE(machine->Service<kq::MachineUser>().UserName().empty());
}

kq::WString WindowsForm(const std::filesystem::path& host) {
  kq::WString path = u"Z:" + kq::WideFromUtf8(host.string());
  std::replace(path.begin(), path.end(), u'/', u'\\');
  return path;
}

TEST(ModuleFileName, NullIsTheProgram) {
  const kq::WString expected = WindowsForm(std::filesystem::read_symlink("/proc/self/exe"));
  WCHAR buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  ASSERT_EQ(length, expected.size());
  EXPECT_EQ(kq::WString(buffer), expected);
  EXPECT_EQ(expected.rfind(u"Z:\\", 0), 0u);
  EXPECT_NE(expected.find(u"\\platform_kernel_tests"), kq::WString::npos);

  char narrow[MAX_PATH];
  ASSERT_EQ(GetModuleFileNameA(nullptr, narrow, MAX_PATH), expected.size());
  EXPECT_EQ(kq::WideFromUtf8(narrow), expected);
}

TEST(ModuleFileName, ShortBuffersGetTheCutTerminatedPath) {
  WCHAR full[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, full, MAX_PATH);
  ASSERT_GT(length, 4u);
  for (DWORD size : {1u, 4u, length}) {
    SCOPED_TRACE(size);
    WCHAR buffer[MAX_PATH];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, size), size);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(kq::WString(buffer), kq::WString(full, size - 1));
    EXPECT_EQ(buffer[size], u'#');

    char narrow[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, narrow, size), size);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(narrow).size(), size - 1);
  }
  WCHAR untouched = u'#';
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, &untouched, 0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(untouched, u'#');
}

TEST(ModuleFileName, ALoadedLibraryByHandleOrBase) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&GetModuleFileNameW), &info), 0);
  void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  const kq::WString expected = WindowsForm(std::filesystem::absolute(info.dli_fname));
  EXPECT_NE(expected.find(u"libplatform.so"), kq::WString::npos);
  for (void* module : {handle, info.dli_fbase}) {
    WCHAR buffer[MAX_PATH];
    ASSERT_EQ(GetModuleFileNameW(static_cast<HMODULE>(module), buffer, MAX_PATH), expected.size());
    EXPECT_EQ(kq::WString(buffer), expected);
  }
  dlclose(handle);

  int local = 0;
  WCHAR buffer[MAX_PATH] = {u'#'};
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&local), buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(buffer[0], u'#');
}

}  // namespace
