#include <gtest/gtest.h>

#include <array>
#include <atomic>

#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

constexpr DWORD kBound = 5000;

class Waits : public ::testing::Test {
 protected:
  void TearDown() override {
    for (HANDLE h : handles_) CloseHandle(h);
  }
  HANDLE Event(bool manual, bool signalled) {
    HANDLE h = CreateEventW(nullptr, manual, signalled, nullptr);
    handles_.push_back(h);
    return h;
  }
  HANDLE Thread(LPTHREAD_START_ROUTINE start, void* arg) {
    HANDLE h = CreateThread(nullptr, 0, start, arg, 0, nullptr);
    handles_.push_back(h);
    return h;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  std::vector<HANDLE> handles_;
};

TEST_F(Waits, AutomaticResetReleasesOneWaitPerSignal) {
  HANDLE e = Event(false, true);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(SetEvent(e));
  EXPECT_TRUE(SetEvent(e));  // signalling twice still releases one wait
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST_F(Waits, ManualResetStaysSignalledUntilReset) {
  HANDLE e = Event(true, false);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  SetEvent(e);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

// Two threads wait on one automatic event; each signal lets exactly one through.
struct Gate {
  HANDLE event;
  HANDLE passed;  // automatic: one signal per thread through
  std::atomic<int> through{0};
};

DWORD PassGate(LPVOID p) {
  auto* gate = static_cast<Gate*>(p);
  if (WaitForSingleObject(gate->event, kBound) != WAIT_OBJECT_0) return 1;
  ++gate->through;
  SetEvent(gate->passed);
  return 0;
}

TEST_F(Waits, AnAutomaticSignalWakesOneOfSeveralWaiters) {
  Gate gate{Event(false, false), Event(false, false)};
  HANDLE a = Thread(PassGate, &gate);
  HANDLE b = Thread(PassGate, &gate);
  SetEvent(gate.event);
  ASSERT_EQ(WaitForSingleObject(gate.passed, kBound), WAIT_OBJECT_0);
  EXPECT_EQ(gate.through.load(), 1);
  SetEvent(gate.event);
  ASSERT_EQ(WaitForSingleObject(gate.passed, kBound), WAIT_OBJECT_0);
  const std::array<HANDLE, 2> threads{a, b};
  ASSERT_EQ(WaitForMultipleObjects(2, threads.data(), TRUE, kBound), WAIT_OBJECT_0);
  EXPECT_EQ(gate.through.load(), 2);
  for (HANDLE t : threads) {
    DWORD code = 9;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, 0u);
  }
}

TEST_F(Waits, WaitForAnyReportsTheFirstSignalledIndexAndTakesOnlyIt) {
  HANDLE a = Event(false, false), b = Event(false, true), c = Event(false, true);
  const std::array<HANDLE, 3> all{a, b, c};
  EXPECT_EQ(WaitForMultipleObjects(3, all.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(c, 0), WAIT_OBJECT_0);  // c was not taken by the first wait
  EXPECT_EQ(WaitForMultipleObjects(3, all.data(), FALSE, 0), WAIT_TIMEOUT);
}

TEST_F(Waits, WaitForAllTakesNothingUntilEveryObjectIsSignalled) {
  HANDLE a = Event(false, true), b = Event(false, false);
  const std::array<HANDLE, 2> both{a, b};
  EXPECT_EQ(WaitForMultipleObjects(2, both.data(), TRUE, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a partial wait for all must not consume a";
  SetEvent(a);

  struct Args {
    HANDLE b;
  } args{b};
  HANDLE setter = Thread(
      [](LPVOID p) -> DWORD {
        SetEvent(static_cast<Args*>(p)->b);
        return 0;
      },
      &args);
  EXPECT_EQ(WaitForMultipleObjects(2, both.data(), TRUE, kBound), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(setter, kBound), WAIT_OBJECT_0);
}

TEST_F(Waits, BadArgumentsFail) {
  HANDLE e = Event(true, true);
  struct Plain : kq::KernelObject {};
  HANDLE plain = kq::InsertHandle(std::make_shared<Plain>());
  handles_.push_back(plain);
  std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, e);
  const HANDLE twice[] = {e, e};
  const HANDLE withBad[] = {e, reinterpret_cast<HANDLE>(0x5555)};

  struct Case {
    const char* what;
    DWORD count;
    const HANDLE* handles;
    DWORD error;
  } cases[] = {
      {"no handles", 0, twice, ERROR_INVALID_PARAMETER},
      {"too many handles", MAXIMUM_WAIT_OBJECTS + 1, many.data(), ERROR_INVALID_PARAMETER},
      {"the same object twice", 2, twice, ERROR_INVALID_PARAMETER},
      {"a handle that is not open", 2, withBad, ERROR_INVALID_HANDLE},
      {"an object that cannot be waited for", 1, &plain, ERROR_INVALID_HANDLE},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, FALSE, 0), WAIT_FAILED) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  EXPECT_FALSE(SetEvent(plain));
  EXPECT_FALSE(ResetEvent(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, u"Named"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

}  // namespace
