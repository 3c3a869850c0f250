// Shared pieces of the window-system tests: a fresh machine bound to the test's thread, its simulated person, and
// platform threads that run a lambda. Every wait is bounded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/simulated_user.h"
#include "win/synchapi.h"
#include "win/user.h"

namespace kqtest {

inline constexpr DWORD kBoundMs = 5000;
inline constexpr std::chrono::milliseconds kBound{kBoundMs};

// A lambda on a thread of CreateThread, bound to the creator's machine.
class PlatformThread {
 public:
  explicit PlatformThread(std::function<DWORD()> body) : body_(std::make_unique<std::function<DWORD()>>(std::move(body))) {
    handle_ = CreateThread(
        nullptr, 0, [](LPVOID p) -> DWORD { return (*static_cast<std::function<DWORD()>*>(p))(); }, body_.get(), 0,
        &id_);
  }
  ~PlatformThread() {
    if (handle_) {
      // A thread that did not end in time is left running (its body stays alive) rather than hanging the test.
      if (WaitForSingleObject(handle_, kBoundMs) != WAIT_OBJECT_0) (void)body_.release();
      CloseHandle(handle_);
    }
  }
  PlatformThread(const PlatformThread&) = delete;
  PlatformThread& operator=(const PlatformThread&) = delete;

  bool Join() { return WaitForSingleObject(handle_, kBoundMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeThread(handle_, &code);
    return code;
  }
  HANDLE Handle() const { return handle_; }
  DWORD Id() const { return id_; }

 private:
  std::unique_ptr<std::function<DWORD()>> body_;
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

// A manual-reset event owned by the test.
class Event {
 public:
  Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Set() { SetEvent(handle_); }
  bool Wait() { return WaitForSingleObject(handle_, kBoundMs) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

class UserTest : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  kq::SimulatedUser person{*machine};

  // The journal's lines, for messages of failed expectations.
  std::string JournalText() const {
    std::string all;
    for (const auto& entry : person.Journal()) all += entry.line + "\n";
    return all;
  }
  std::vector<kq::JournalEntry> JournalOf(kq::JournalEntry::Kind kind) const {
    std::vector<kq::JournalEntry> found;
    for (auto& entry : person.Journal())
      if (entry.kind == kind) found.push_back(entry);
    return found;
  }
};

// Runs the thread's message loop until WM_QUIT (or an error) and answers the quit code.
inline DWORD RunMessageLoop(HWND dialog = nullptr) {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 0xFFFFFFFF;
    if (dialog && IsDialogMessageW(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<DWORD>(msg.wParam);
}

}  // namespace kqtest
