// Runs the state probe as a separate process on a given state root, for the cross-process tests.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace kq::testing {

class ProbeProcess {
 public:
  // Starts the probe with KQ_ROOT = root; its stdin is a pipe that Go() writes to and closes.
  ProbeProcess(const std::filesystem::path& root, std::vector<std::string> args) {
    std::signal(SIGPIPE, SIG_IGN);  // a probe that is already gone must not take the test with it
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);

    args.insert(args.begin(), KQ_STATE_PROBE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("KQ_ROOT=", 0) != 0) env.emplace_back(*e);
    env.push_back("KQ_ROOT=" + root.string());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    if (posix_spawn(&pid_, KQ_STATE_PROBE, &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    close(out[1]);
    stdin_ = fds[1];
    stdout_ = out[0];
  }
  ~ProbeProcess() {
    Go();
    Wait();
  }
  ProbeProcess(const ProbeProcess&) = delete;
  ProbeProcess& operator=(const ProbeProcess&) = delete;

  void Go() {
    if (stdin_ < 0) return;
    const char go = 'g';
    if (write(stdin_, &go, 1) < 0) {
    }
    close(stdin_);
    stdin_ = -1;
  }

  // Waits for the exit and returns its code (-1 when the probe did not start or did not exit normally).
  int Wait() {
    if (pid_ <= 0) return -1;
    if (stdout_ >= 0) {
      char buffer[512];
      ssize_t n;
      while ((n = read(stdout_, buffer, sizeof buffer)) > 0) output_.append(buffer, static_cast<std::size_t>(n));
      close(stdout_);
      stdout_ = -1;
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) status = -1;
    pid_ = 0;
    code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return code_;
  }

  const std::string& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int code_ = -1;
  std::string output_;
};

// Runs one probe to its end; returns its exit code and, in `output`, what it printed.
inline int RunProbe(const std::filesystem::path& root, std::vector<std::string> args, std::string* output = nullptr) {
  ProbeProcess probe(root, std::move(args));
  probe.Go();
  const int code = probe.Wait();
  if (output) *output = probe.Output();
  return code;
}

}  // namespace kq::testing
