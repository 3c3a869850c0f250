// The tests' side of the fake drivers (fake_driver.cpp): the library's path, its call log, and settings records
// that carry a fake's per-device configuration.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "win/base.h"

namespace kq::testing {

inline std::filesystem::path FakeDriverPath(const std::string& variant = "normal") {
  return std::filesystem::path(KQ_BINARY_DIR) / "tests" / ("libkq_fake_driver_" + variant + ".so");
}

// Keeps a fake loaded for the test's life, so its log outlives the host's own binding of it.
class FakeDriver {
 public:
  explicit FakeDriver(const std::string& variant = "normal") : path_(FakeDriverPath(variant)) {
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle_, nullptr) << dlerror();
    if (!handle_) return;
    using LogFn = std::vector<std::string>* (*)();
    auto log = reinterpret_cast<LogFn>(dlsym(handle_, "FakeDriverLog"));
    EXPECT_NE(log, nullptr);
    if (log) log_ = log();
    Take();
  }
  ~FakeDriver() {
    if (handle_) dlclose(handle_);
  }
  FakeDriver(const FakeDriver&) = delete;
  FakeDriver& operator=(const FakeDriver&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // The calls logged since the last Take.
  std::vector<std::string> Take() {
    if (!log_) return {};
    std::vector<std::string> taken;
    taken.swap(*log_);
    return taken;
  }

 private:
  std::filesystem::path path_;
  void* handle_ = nullptr;
  std::vector<std::string>* log_ = nullptr;
};

// A settings record: a public part of 220 bytes and `config` as its private part.
inline std::vector<BYTE> Devmode(const std::string& config) {
  constexpr WORD kPublic = 220;
  std::vector<BYTE> record(kPublic + config.size(), 0);
  const WORD extra = static_cast<WORD>(config.size());
  record[68] = kPublic & 0xFF;
  record[69] = kPublic >> 8;
  record[70] = extra & 0xFF;
  record[71] = extra >> 8;
  std::memcpy(record.data() + kPublic, config.data(), config.size());
  return record;
}

}  // namespace kq::testing
