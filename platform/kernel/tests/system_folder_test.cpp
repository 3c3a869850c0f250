#include <gtest/gtest.h>

#include <string>

#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/sysinfoapi.h"

namespace {

TEST(SystemFolder, AnswersItsLengthOrTheSizeNeeded) {
  char buffer[64] = {'x'};
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 19u);
  EXPECT_EQ(std::string(buffer), "C:\\Windows\\System32");
  char small[19] = {'x'};
  EXPECT_EQ(GetSystemDirectoryA(small, sizeof small), 20u);
  EXPECT_EQ(small[0], 'x');
  EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), 20u);
}

TEST(StartupInfo, NarrowRecordIsEmptyButItsSize) {
  STARTUPINFOA info;
  info.dwFlags = 7;
  GetStartupInfoA(&info);
  EXPECT_EQ(info.cb, sizeof(STARTUPINFOA));
  EXPECT_EQ(info.dwFlags, 0u);
  EXPECT_EQ(info.lpTitle, nullptr);
}

}  // namespace
