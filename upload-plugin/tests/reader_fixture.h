// The reader application with libSarnoth.so loaded, on a fresh machine, as the tests drive it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/reader_host.h"
#include "win/shellapi.h"
#include "win/simulated_user.h"

namespace sarnoth_test {

inline const std::filesystem::path kPlugin = std::filesystem::path(KQ_BINARY_DIR) / "lib" / "libSarnoth.so";

inline const std::vector<std::string> kFile{"&File"};
inline const std::vector<std::string> kSubmenu{"&File", "Vendrel"};
inline const std::vector<std::string> kSave{"&File", "Vendrel", "Save to Vendrel Account..."};
inline const std::vector<std::string> kSend{"&File", "Vendrel", "Send using Vendrel Account..."};

class ReaderFixture : public ::testing::Test {
 protected:
  ReaderFixture() { machine_->Service<kq::MachineShell>().SetOpenHandler(std::nullopt); }

  // Starts the reader and loads the plug-in into it.
  kq::reader::ReaderApp& Start(kq::reader::ReaderOptions options = {}) {
    reader_ = std::make_unique<kq::reader::ReaderApp>(options);
    std::string error;
    EXPECT_TRUE(reader_->LoadPlugin(kPlugin, error)) << error;
    return *reader_;
  }

  std::vector<kq::ShellCall> Pages() const { return machine_->Service<kq::MachineShell>().Calls(); }
  long Threads() { return kq::RunningThreadCount(*machine_); }

  // Waits (bounded) until no thread of the plug-in runs any more.
  bool WaitForThreads(long count, std::chrono::seconds bound = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (Threads() != count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  kq::SimulatedUser person_{*machine_};
  std::unique_ptr<kq::reader::ReaderApp> reader_;
};

}  // namespace sarnoth_test
