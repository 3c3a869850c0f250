#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

#include "win/base.h"
#include "win/machine.h"

namespace {

struct Counter {
  explicit Counter(kq::Machine&) {}
  int value = 0;
};

TEST(Machine, ScopesBindPerThreadAndNest) {
  kq::TemporaryMachine a, b;
  {
    kq::MachineScope sa(a.Get());
    EXPECT_EQ(&kq::CurrentMachine(), a.Get().get());
    {
      kq::MachineScope sb(b.Get());
      EXPECT_EQ(&kq::CurrentMachine(), b.Get().get());
      std::thread([&] { EXPECT_NE(&kq::CurrentMachine(), b.Get().get()); }).join();
    }
    EXPECT_EQ(&kq::CurrentMachine(), a.Get().get());
  }
}

TEST(Machine, ServicesArePerMachine) {
  kq::TemporaryMachine a, b;
  a->Service<Counter>().value = 7;
  EXPECT_EQ(a->Service<Counter>().value, 7);
  EXPECT_EQ(b->Service<Counter>().value, 0);
  EXPECT_TRUE(std::filesystem::is_directory(a->Root()));
}

TEST(Machine, AServiceIsFoundOnTheMachineAskedEvenWhereAnotherLivedBefore) {
  // Machines made and destroyed in turn tend to reuse each other's addresses.
  for (int round = 0; round < 20; ++round) {
    auto a = std::make_unique<kq::TemporaryMachine>();
    EXPECT_EQ((*a)->Service<Counter>().value, 0) << "round " << round;
    (*a)->Service<Counter>().value = round + 1;
    EXPECT_EQ((*a)->Service<Counter>().value, round + 1);
  }
  kq::TemporaryMachine a, b;
  a->Service<Counter>().value = 1;
  b->Service<Counter>().value = 2;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(a->Service<Counter>().value, 1);
    EXPECT_EQ(b->Service<Counter>().value, 2);
  }
  std::thread([&] { EXPECT_EQ(&a->Service<Counter>(), &a->Service<Counter>()); }).join();
  EXPECT_NE(a->Serial(), b->Serial());
}

TEST(Machine, RootFollowsTheEnvironment) {
  const char* saved = std::getenv("KQ_ROOT");
  const std::string keep = saved ? saved : "";
  setenv("KQ_ROOT", "/tmp/kq-root-test", 1);
  EXPECT_EQ(kq::Machine::RootFromEnvironment(), "/tmp/kq-root-test");
  unsetenv("KQ_ROOT");
  setenv("XDG_STATE_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(kq::Machine::RootFromEnvironment(), "/tmp/xdg/kelvo-quenzar");
  unsetenv("XDG_STATE_HOME");
  if (saved) setenv("KQ_ROOT", keep.c_str(), 1);
}

TEST(LastError, IsPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  std::thread([] {
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    SetLastError(ERROR_MORE_DATA);
  }).join();
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
