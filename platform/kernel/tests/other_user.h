// Another local user, played by this test program run again as "nobody" through setpriv: it prints "ready" when it
// holds what it was asked to, and stays until it is stopped. Only root can start it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kq::testing {

inline constexpr const char* kOtherUserRoot = "KQ_TEST_OTHER_USER_ROOT";

// Why the other user cannot be played here; empty when it can.
inline std::string WhyNoOtherUser() {
  if (geteuid() != 0) return "runs as a second user (setpriv to nobody) only when the tests run as root";
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  if (std::system(("setpriv --reuid=65534 --regid=65534 --clear-groups test -x '" + self + "'").c_str()) != 0)
    return "nobody cannot run " + self;
  return {};
}

// The other user's process, running the disabled test `test` on the state root `root`; `environment` holds more
// NAME='value' settings for it.
class OtherUser {
 public:
  OtherUser(const std::string& test, const std::filesystem::path& root, const std::string& environment = {}) {
    const std::string command = "exec setpriv --reuid=65534 --regid=65534 --clear-groups env " + environment + " " +
                                std::string(kOtherUserRoot) + "='" + root.string() + "' " +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                " --gtest_also_run_disabled_tests --gtest_filter=" + test;
    pipe_ = popen(command.c_str(), "r");
    char line[256] = {};
    while (pipe_ && said_.find("ready") == std::string::npos && std::fgets(line, sizeof line, pipe_)) said_ += line;
    const auto at = said_.find("pid=");
    if (at != std::string::npos) pid_ = static_cast<pid_t>(std::atoi(said_.c_str() + at + 4));
  }
  ~OtherUser() {
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    if (pipe_) pclose(pipe_);
  }
  OtherUser(const OtherUser&) = delete;
  OtherUser& operator=(const OtherUser&) = delete;

  bool Ready() const { return pid_ > 0 && said_.find("ready") != std::string::npos; }
  // What it said up to "ready".
  const std::string& Said() const { return said_; }

 private:
  FILE* pipe_ = nullptr;
  pid_t pid_ = -1;
  std::string said_;
};

// The other user's side: says it is ready (with its process id and `what`), then waits to be stopped.
[[noreturn]] inline void ReadyAndWait(const std::string& what) {
  std::printf("%s ready pid=%d\n", what.c_str(), static_cast<int>(getpid()));
  std::fflush(stdout);
  for (;;) ::pause();
}

}  // namespace kq::testing
