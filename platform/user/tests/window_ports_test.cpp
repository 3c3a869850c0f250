// Windows of another process on the same state root: found by class and caption, their controls looked up, texts
// and numbers sent and posted to them. The other process is this test program again, playing a window of its own.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "user_fixture.h"
#include "win/commctrl.h"

namespace {

constexpr const char* kRootVariable = "KQ_TEST_PORT_ROOT";
constexpr WCHAR kClass[] = u"kq.test.OtherProcess";
constexpr WCHAR kCaption[] = u"Other process";
constexpr UINT kDone = WM_USER + 100;

LRESULT OtherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kDone) {
    PostQuitMessage(0);
    return 77;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// The other process: a window with a status line and a bar; it says "ready", runs its loop until kDone, then says
// what its controls hold.
// Disabled: only WindowPorts.AnotherProcessesWindowIsFoundAndTakesMessages runs it, in a process of its own.
TEST(WindowPortsOtherProcess, DISABLED_PlaysAWindow) {
  const char* root = std::getenv(kRootVariable);
  ASSERT_NE(root, nullptr);
  kq::MachineScope scope(std::make_shared<kq::Machine>(kq::MachineConfig{root}));
  WNDCLASSW cls{0, OtherProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, kClass};
  ASSERT_NE(RegisterClassW(&cls), 0);
  const HWND window = CreateWindowExW(0, kClass, kCaption, WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  CreateWindowExW(0, WC_STATIC, u"Converting...", WS_CHILD, 0, 0, 80, 10, window, reinterpret_cast<HMENU>(11003),
                  nullptr, nullptr);
  CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD, 0, 20, 80, 10, window, reinterpret_cast<HMENU>(11001),
                  nullptr, nullptr);
  std::printf("ready\n");
  std::fflush(stdout);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  WCHAR text[64] = {};
  GetDlgItemTextW(window, 11003, text, 64);
  std::printf("text=%s pos=%d\n", kq::Utf8FromWide(text).c_str(),
              static_cast<int>(SendDlgItemMessageW(window, 11001, PBM_GETPOS, 0, 0)));
  std::fflush(stdout);
}

class WindowPorts : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(WindowPorts, AnotherProcessesWindowIsFoundAndTakesMessages) {
  const std::string command = std::string(kRootVariable) + "='" + machine->Root().string() + "' " +
                              std::filesystem::read_symlink("/proc/self/exe").string() +
                              " --gtest_also_run_disabled_tests --gtest_filter=WindowPortsOtherProcess.DISABLED_PlaysAWindow";
  FILE* other = popen(command.c_str(), "r");
  ASSERT_NE(other, nullptr);
  char line[256] = {};
  std::string said;
  while (said.find("ready") == std::string::npos && std::fgets(line, sizeof line, other)) said += line;
  ASSERT_NE(said.find("ready"), std::string::npos) << said;

  const HWND window = FindWindowW(kClass, kCaption);
  ASSERT_NE(window, nullptr) << "a class this process does not know";
  EXPECT_EQ(FindWindowW(kClass, kCaption), window) << "one stand-in per window";
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(FindWindowW(nullptr, u"No such caption"), nullptr);
  {
    kq::TemporaryMachine elsewhere;
    kq::MachineScope otherRoot(elsewhere.Get());
    EXPECT_EQ(FindWindowW(kClass, kCaption), nullptr) << "another state root is another desktop";
  }

  const HWND label = GetDlgItem(window, 11003);
  const HWND bar = GetDlgItem(window, 11001);
  ASSERT_NE(label, nullptr);
  ASSERT_NE(bar, nullptr);
  SetLastError(0);
  EXPECT_EQ(GetDlgItem(window, 4711), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_TRUE(SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Printing page 3")));
  WCHAR text[64] = {};
  EXPECT_EQ(SendMessageW(label, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text)), 15);
  EXPECT_EQ(kq::WString(text), u"Printing page 3");
  WCHAR shortBuffer[5] = {};
  SendMessageW(label, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(shortBuffer));
  EXPECT_EQ(kq::WString(shortBuffer), u"Prin");
  EXPECT_TRUE(PostMessageW(bar, PBM_SETPOS, 70, 0));
  EXPECT_EQ(SendMessageW(window, kDone, 0, 0), 77);

  said.clear();
  while (std::fgets(line, sizeof line, other)) said += line;
  EXPECT_EQ(pclose(other), 0) << said;
  EXPECT_NE(said.find("text=Printing page 3 pos=70"), std::string::npos) << said;

  // The process is gone: its window with it.
  EXPECT_FALSE(IsWindow(window));
  SetLastError(0);
  EXPECT_EQ(SendMessageW(window, kDone, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostMessageW(bar, PBM_SETPOS, 1, 0));
  EXPECT_EQ(FindWindowW(kClass, kCaption), nullptr);
  SetLastError(0);
  EXPECT_EQ(FindWindowW(kClass, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

}  // namespace
