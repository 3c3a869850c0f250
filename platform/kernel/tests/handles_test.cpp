#include <gtest/gtest.h>

#include "win/handleapi.h"

namespace {

struct Probe : kq::KernelObject {
  explicit Probe(bool& gone) : gone_(gone) {}
  ~Probe() override { gone_ = true; }
  bool& gone_;
};

struct Other : kq::KernelObject {};

TEST(Handles, CloseDropsTheReferenceOnce) {
  bool gone = false;
  const std::size_t before = kq::OpenHandleCount();
  HANDLE h = kq::InsertHandle(std::make_shared<Probe>(gone));
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(kq::OpenHandleCount(), before + 1);
  EXPECT_NE(kq::ObjectFromHandle<Probe>(h), nullptr);
  EXPECT_EQ(kq::ObjectFromHandle<Other>(h), nullptr);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_TRUE(gone);
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(kq::OpenHandleCount(), before);
}

TEST(Handles, InvalidHandlesAreRefused) {
  for (HANDLE h : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x1234)}) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(kq::LookupHandle(h), nullptr);
  }
}

}  // namespace
