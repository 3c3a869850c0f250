#include "pdf/background_flate.h"

#include <system_error>

BackgroundFlate::~BackgroundFlate() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  cv_.notify_one();
  worker_.join();
}

bool BackgroundFlate::Start(std::string&& data) {
  if (started_) return false;
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      return false;
    }
  }
  {
    std::lock_guard lock(mutex_);
    input_ = std::move(data);
    output_.reset();
    pending_ = true;
    done_ = false;
  }
  cv_.notify_one();
  started_ = true;
  return true;
}

std::optional<std::string> BackgroundFlate::Take(std::string* data) {
  if (!started_) return std::nullopt;
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [&] { return done_; });
  started_ = false;
  done_ = false;
  if (data) *data = std::move(input_);
  input_ = std::string();
  return std::move(output_);
}

void BackgroundFlate::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    cv_.wait(lock, [&] { return pending_ || quit_; });
    if (quit_) return;
    pending_ = false;
    lock.unlock();
    std::optional<std::string> out;
    try {
      out = encoder_.Encode(input_.data(), input_.size());
    } catch (...) {
      out.reset();  // as a failed compression: the writer reports it
    }
    lock.lock();
    output_ = std::move(out);
    done_ = true;
    cv_.notify_all();
  }
}
