#include <gtest/gtest.h>

#include "win/machine.h"
#include "win/sysinfoapi.h"

namespace {

TEST(Version, ConfiguredPerMachineAndFiveOneByDefault) {
  kq::TemporaryMachine xp, vista;
  kq::SetWindowsVersion(*vista, 600);

  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  {
    kq::MachineScope scope(xp.Get());
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  }
  OSVERSIONINFOEXW ex{};
  ex.dwOSVersionInfoSize = sizeof(ex);
  ex.wProductType = 9;
  {
    kq::MachineScope scope(vista.Get());
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion * 100 + ex.dwMinorVersion, 600u);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
  }
}

TEST(Version, AWrongRecordSizeIsRefused) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  OSVERSIONINFOEXW ex{};
  for (DWORD size : {0u, 275u, 277u, 300u}) {
    ex.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex))) << size;
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER) << size;
    EXPECT_EQ(ex.dwMajorVersion, 0u);
  }
}

}  // namespace
