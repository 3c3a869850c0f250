// Compresses one stream at a time on a thread of its own, at Flate level 6 with one deflate state reused: the
// writer hands a page's content over and draws the next page meanwhile. Start and Take come from one thread.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "pdf/encoders.h"

class BackgroundFlate {
 public:
  BackgroundFlate() = default;
  ~BackgroundFlate();
  BackgroundFlate(const BackgroundFlate&) = delete;
  BackgroundFlate& operator=(const BackgroundFlate&) = delete;

  // Starts compressing `data`; false (and nothing started) while an earlier one has not been taken, or when no
  // thread can be had, so the caller compresses it itself.
  bool Start(std::string&& data);
  // Whether a stream was started and not taken yet.
  bool Started() const { return started_; }
  // Waits for the stream started last: its compressed bytes (nothing when Flate failed), and `data` given back.
  std::optional<std::string> Take(std::string* data);

 private:
  void Run();

  FlateEncoder encoder_;  // used by the worker alone
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool started_ = false;  // the caller's side: a stream is out
  bool pending_ = false, done_ = false, quit_ = false;
  std::string input_;
  std::optional<std::string> output_;
};
