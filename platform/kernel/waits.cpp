#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <optional>
#include <thread>

#include "win/synchapi.h"

namespace kq {

namespace detail {
// One waiting thread. The objects it waits for hold it in their waiter lists while it waits, and wake it when
// they become signalled; the thread then tries its objects again.
struct WaitBlock {
  std::mutex mutex;
  std::condition_variable cv;
  bool woken = false;

  void Wake() {
    std::lock_guard lock(mutex);
    woken = true;
    cv.notify_all();
  }
};
}  // namespace detail

void WaitableObject::Signal() {
  // Waiters are woken under the object's lock: a waiter unregisters (and its block goes) only under that lock.
  // Locks are always taken object first, then block.
  std::lock_guard lock(mutex_);
  signalled_ = true;
  for (auto* waiter : waiters_) waiter->Wake();
}

void WaitableObject::Unsignal() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool WaitableObject::IsSignalled() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool all, DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> deadline;
  if (milliseconds != INFINITE) deadline = Clock::now() + std::chrono::milliseconds(milliseconds);

  // Objects in address order, so that waits for all lock them in one order.
  std::vector<WaitableObject*> ordered;
  for (const auto& object : objects) ordered.push_back(object.get());
  std::sort(ordered.begin(), ordered.end());

  detail::WaitBlock block;
  for (auto* object : ordered) {
    std::lock_guard lock(object->mutex_);
    object->waiters_.push_back(&block);
  }

  // Under the objects' locks: takes what the wait asks for, or nothing.
  auto tryTake = [&]() -> std::optional<DWORD> {
    if (!all) {
      for (std::size_t i = 0; i < objects.size(); ++i) {
        auto& object = *objects[i];
        std::lock_guard lock(object.mutex_);
        if (object.signalled_) {
          if (object.reset_ == WaitableObject::Reset::Automatic) object.signalled_ = false;
          return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
      }
      return std::nullopt;
    }
    std::vector<std::unique_lock<std::mutex>> locks;
    for (auto* object : ordered) locks.emplace_back(object->mutex_);
    for (auto* object : ordered)
      if (!object->signalled_) return std::nullopt;
    for (auto* object : ordered)
      if (object->reset_ == WaitableObject::Reset::Automatic) object->signalled_ = false;
    return WAIT_OBJECT_0;
  };

  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    if (auto taken = tryTake()) {
      result = *taken;
      break;
    }
    std::unique_lock lock(block.mutex);
    if (deadline) {
      if (!block.cv.wait_until(lock, *deadline, [&] { return block.woken; })) {
        lock.unlock();
        if (auto taken = tryTake()) result = *taken;
        break;
      }
    } else {
      block.cv.wait(lock, [&] { return block.woken; });
    }
    block.woken = false;
  }

  for (auto* object : ordered) {
    std::lock_guard lock(object->mutex_);
    auto& waiters = object->waiters_;
    waiters.erase(std::remove(waiters.begin(), waiters.end(), &block), waiters.end());
  }
  return result;
}

}  // namespace kq

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<kq::WaitableObject>> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto object = kq::ObjectFromHandle<kq::WaitableObject>(handles[i]);
    if (!object) return WAIT_FAILED;  // ERROR_INVALID_HANDLE is set
    for (const auto& seen : objects) {
      if (seen == object) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
      }
    }
    objects.push_back(std::move(object));
  }
  return kq::WaitForObjects(objects, waitAll != FALSE, milliseconds);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
