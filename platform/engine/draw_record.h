// The record of a machine's Eng... drawing calls.
#pragma once

#include <deque>
#include <mutex>

#include "win/enginedraw.h"

namespace kq::engine {

class DrawRecord {
 public:
  explicit DrawRecord(Machine&) {}
  void Add(EngineCall call);
  std::vector<EngineCall> Calls();
  void Clear();

 private:
  std::mutex mutex_;
  std::deque<EngineCall> calls_;
};

// Records a call when it goes out of scope, with the result it was given.
class RecordCall {
 public:
  explicit RecordCall(const char* name) : name_(name) {}
  ~RecordCall();
  RecordCall(const RecordCall&) = delete;
  RecordCall& operator=(const RecordCall&) = delete;

  void Bounds(const RECTL& bounds) { bounds_ = bounds; }
  // The call's result, for `return call.Result(...)`.
  BOOL Result(BOOL result) { return result_ = result; }
  // FALSE with `error` as the thread's last error.
  BOOL Fail(DWORD error) {
    SetLastError(error);
    return result_ = FALSE;
  }

 private:
  const char* name_;
  RECTL bounds_{0, 0, 0, 0};
  BOOL result_ = FALSE;
};

}  // namespace kq::engine
