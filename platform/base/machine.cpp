#include "win/machine.h"

#include <cstdlib>
#include <random>
#include <system_error>

namespace kq {

namespace {
thread_local std::shared_ptr<Machine> tBound;
std::atomic<std::uint64_t> gNextSerial{1};

const std::shared_ptr<Machine>& DefaultMachine() {
  static std::once_flag once;
  static std::shared_ptr<Machine> machine;
  std::call_once(once, [] { machine = std::make_shared<Machine>(MachineConfig{Machine::RootFromEnvironment()}); });
  return machine;
}
}  // namespace

Machine::Machine(MachineConfig config) : config_(std::move(config)), serial_(gNextSerial.fetch_add(1)) {
  std::error_code ec;
  std::filesystem::create_directories(config_.root, ec);
}

Machine::~Machine() {
  serial_ = 0;
  services_.clear();
  while (!order_.empty()) order_.pop_back();
}

std::filesystem::path Machine::RootFromEnvironment() {
  if (const char* root = std::getenv("KQ_ROOT"); root && *root) return root;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
    return std::filesystem::path(state) / "kelvo-quenzar";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".local/state/kelvo-quenzar";
}

UINT Machine::AnsiCodePage() const {
  std::lock_guard lock(configMutex_);
  return config_.ansiCodePage;
}

void Machine::SetAnsiCodePage(UINT codePage) {
  std::lock_guard lock(configMutex_);
  config_.ansiCodePage = codePage;
}

Machine& CurrentMachine() { return tBound ? *tBound : *DefaultMachine(); }

std::shared_ptr<Machine> CurrentMachineShared() { return tBound ? tBound : DefaultMachine(); }

MachineScope::MachineScope(std::shared_ptr<Machine> machine) : previous_(std::move(tBound)) {
  tBound = std::move(machine);
}

MachineScope::~MachineScope() { tBound = std::move(previous_); }

TemporaryMachine::TemporaryMachine() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    root_ = base / ("kq-machine-" + std::to_string(rd()) + std::to_string(rd()));
    std::error_code ec;
    if (std::filesystem::create_directory(root_, ec)) break;
  }
  machine_ = std::make_shared<Machine>(MachineConfig{root_});
}

TemporaryMachine::~TemporaryMachine() {
  machine_.reset();
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

}  // namespace kq
