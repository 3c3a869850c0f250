#include <gtest/gtest.h>

#include <atomic>

#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

constexpr DWORD kBound = 5000;  // ms; every wait in these tests is bounded

class Threads : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

struct Probe {
  HANDLE release = nullptr;
  kq::Machine* machine = nullptr;
  DWORD lastErrorAtStart = 0xDEAD;
  DWORD id = 0;
};

DWORD ProbeThread(LPVOID p) {
  auto* probe = static_cast<Probe*>(p);
  probe->lastErrorAtStart = GetLastError();
  probe->machine = &kq::CurrentMachine();
  probe->id = GetCurrentThreadId();
  if (probe->release) WaitForSingleObject(probe->release, kBound);
  return 42;
}

TEST_F(Threads, RunOnTheCreatorsMachineWithAClearLastError) {
  Probe probe;
  probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ProbeThread, &probe, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(kq::RunningThreadCount(*machine), 1);

  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

  SetEvent(probe.release);
  ASSERT_EQ(WaitForSingleObject(thread, kBound), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(probe.lastErrorAtStart, ERROR_SUCCESS);
  EXPECT_EQ(probe.machine, machine.Get().get());
  EXPECT_EQ(probe.id, id);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(kq::RunningThreadCount(*machine), 0);
  // A thread handle stays signalled.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_TRUE(CloseHandle(probe.release));
}

TEST_F(Threads, ClosingTheHandleAtOnceLetsTheThreadRunOn) {
  Probe probe;
  probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  struct Args {
    HANDLE release, done;
  } args{probe.release, done};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* a = static_cast<Args*>(p);
        WaitForSingleObject(a->release, kBound);
        SetEvent(a->done);
        return 0;
      },
      &args, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  SetEvent(probe.release);
  EXPECT_EQ(WaitForSingleObject(done, kBound), WAIT_OBJECT_0);
  CloseHandle(done);
  CloseHandle(probe.release);
}

TEST_F(Threads, ExitHooksRunBeforeTheHandleIsSignalled) {
  struct State {
    std::atomic<bool> hookRan{false};
  } state;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* s = static_cast<State*>(p);
        kq::AtThreadExit([s] { s->hookRan = true; });
        return 0;
      },
      &state, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, kBound), WAIT_OBJECT_0);
  EXPECT_TRUE(state.hookRan);
  CloseHandle(thread);
}

TEST_F(Threads, BadArgumentsAreRefused) {
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateThread(nullptr, 0, ProbeThread, nullptr, CREATE_SUSPENDED, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(kq::RunningThreadCount(*machine), 0);

  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(reinterpret_cast<HANDLE>(0x7777), &code));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // An event is not a thread.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(GetExitCodeThread(event, &code));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
}

TEST_F(Threads, CountsArePerMachine) {
  kq::TemporaryMachine other;
  Probe probe;
  probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, ProbeThread, &probe, 0, nullptr);
  EXPECT_EQ(kq::RunningThreadCount(*machine), 1);
  EXPECT_EQ(kq::RunningThreadCount(*other), 0);
  SetEvent(probe.release);
  ASSERT_EQ(WaitForSingleObject(thread, kBound), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(probe.release);
}

}  // namespace
