// Windows of another process on the same state root: found by class and caption, their controls looked up, texts
// and numbers sent and posted to them. The other process is this test program again, playing a window of its own.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../../kernel/tests/other_user.h"
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

// The other user's sides, run as nobody on this test's state root. They speak to a port of this user's by hand:
// its address is the user's id, the state root's name space and the port's listed name, and a request or an answer
// is a record of fixed fields.
constexpr const char* kPortVariable = "KQ_TEST_PORT_NAME";

struct PortRequest {
  std::uint32_t op = 1;  // find a top-level window
  std::uint32_t message = 0;
  std::uint64_t window = 0, wParam = 0;
  std::int64_t lParam = 0;
  std::uint32_t firstUnits = 0xFFFFFFFF, secondUnits = 0xFFFFFFFF;  // no class, no caption
};
struct PortAnswer {
  std::int64_t result = 0;
  std::uint32_t error = 0, textUnits = 0;
};

// The address of this user's (root's) port `port` on the state root the other user was given.
sockaddr_un RootsPortAddress(const std::string& port, socklen_t& length) {
  const std::string name = "kq.desktop.0." + kq::CurrentMachine().NameSpace() + "." + port;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(), std::min(name.size(), sizeof address.sun_path - 1));
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return address;
}

// The ports the other user was told of: names separated by commas.
std::vector<std::string> GivenPorts() {
  std::vector<std::string> ports;
  const char* given = std::getenv(kPortVariable);
  std::string rest = given ? given : "";
  for (std::size_t comma; (comma = rest.find(',')) != std::string::npos; rest.erase(0, comma + 1))
    ports.push_back(rest.substr(0, comma));
  ports.push_back(rest);
  return ports;
}

std::shared_ptr<kq::Machine> OtherUsersView() {
  const char* root = std::getenv(kq::testing::kOtherUserRoot);
  return std::make_shared<kq::Machine>(kq::MachineConfig{root ? root : "/nonexistent"});
}

// Asks root's port for its first window.
TEST(WindowPortsOtherUser, DISABLED_KnocksOnAPort) {
  kq::MachineScope scope(OtherUsersView());
  socklen_t length = 0;
  const sockaddr_un address = RootsPortAddress(GivenPorts().front(), length);
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  const PortRequest request;
  PortAnswer answer;
  const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                        send(fd, &request, sizeof request, MSG_NOSIGNAL) == sizeof request &&
                        recv(fd, &answer, sizeof answer, 0) == sizeof answer;
  kq::testing::ReadyAndWait(answered ? "answered" : "refused");
}

// Takes root's names for ports and answers every request on them with a window.
TEST(WindowPortsOtherUser, DISABLED_SquatsPorts) {
  kq::MachineScope scope(OtherUsersView());
  std::vector<pollfd> listeners;
  for (const std::string& port : GivenPorts()) {
    socklen_t length = 0;
    const sockaddr_un address = RootsPortAddress(port, length);
    const int listener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), length), 0) << port;
    ASSERT_EQ(listen(listener, 4), 0);
    listeners.push_back({listener, POLLIN, 0});
  }
  std::printf("squatting ready pid=%d\n", static_cast<int>(getpid()));
  std::fflush(stdout);
  while (poll(listeners.data(), listeners.size(), -1) >= 0) {
    for (const pollfd& listener : listeners) {
      if (!listener.revents) continue;
      const int client = accept(listener.fd, nullptr, nullptr);
      PortRequest request;
      if (client >= 0 && recv(client, &request, sizeof request, 0) > 0) {
        const PortAnswer forged{0x1234, 0, 0};
        send(client, &forged, sizeof forged, MSG_NOSIGNAL);
      }
      if (client >= 0) close(client);
    }
  }
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

// A port answers only its own user's processes, and a port another user holds under this user's name is never
// believed, even when it is listed where this user looks.
TEST_F(WindowPorts, AnotherUsersProcessAndThisUsersPortNeverMeet) {
  if (const std::string why = kq::testing::WhyNoOtherUser(); !why.empty()) GTEST_SKIP() << why;
  chmod(machine->Root().c_str(), 0755);
  const auto desktop = machine->Root() / "desktop";
  WNDCLASSW cls{0, OtherProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, kClass};
  ASSERT_NE(RegisterClassW(&cls), 0);
  const HWND mine = CreateWindowExW(0, kClass, kCaption, WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(mine, nullptr);
  std::string port;
  for (const auto& entry : std::filesystem::directory_iterator(desktop)) port = entry.path().filename().string();
  ASSERT_FALSE(port.empty()) << "this process's port is listed";
  {
    kq::testing::OtherUser knocking("WindowPortsOtherUser.DISABLED_KnocksOnAPort", machine->Root(),
                                    std::string(kPortVariable) + "='" + port + "'");
    ASSERT_TRUE(knocking.Ready()) << knocking.Said();
    EXPECT_NE(knocking.Said().find("refused ready"), std::string::npos) << knocking.Said();
  }
  DestroyWindow(mine);

  // A port of this user's that is gone, still listed, and its name taken by the other user.
  std::ofstream(desktop / "1.1");
  kq::testing::OtherUser squatting("WindowPortsOtherUser.DISABLED_SquatsPorts", machine->Root(),
                                   std::string(kPortVariable) + "='1.1'");
  ASSERT_TRUE(squatting.Ready()) << squatting.Said();
  EXPECT_EQ(FindWindowW(nullptr, nullptr), nullptr);
}

// Another user holding the names this process's port would take first does not keep its windows from the user's
// other processes: the port takes a name of its own. (The first names are known when this test is the first of its
// process to open a port, as under ctest.)
TEST_F(WindowPorts, AnotherUserHoldingPortNamesKeepsNoWindowUnreachable) {
  if (const std::string why = kq::testing::WhyNoOtherUser(); !why.empty()) GTEST_SKIP() << why;
  chmod(machine->Root().c_str(), 0755);
  std::string names;
  for (int serial = 1; serial <= 8; ++serial)
    names += (serial > 1 ? "," : "") + std::to_string(getpid()) + "." + std::to_string(serial);
  kq::testing::OtherUser squatting("WindowPortsOtherUser.DISABLED_SquatsPorts", machine->Root(),
                                   std::string(kPortVariable) + "='" + names + "'");
  ASSERT_TRUE(squatting.Ready()) << squatting.Said();

  WNDCLASSW cls{0, OtherProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, kClass};
  ASSERT_NE(RegisterClassW(&cls), 0);
  const HWND mine = CreateWindowExW(0, kClass, kCaption, WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(mine, nullptr);
  // Another process of this user's finds it.
  const auto root = machine->Root();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    kq::MachineScope childScope(std::make_shared<kq::Machine>(kq::MachineConfig{root}));
    _exit(FindWindowW(kClass, kCaption) ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the window is reachable";
  DestroyWindow(mine);
}

}  // namespace
