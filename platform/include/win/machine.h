// The stand-in machine: one state root and the services that live on it (registry and spooler store, window
// system, engine settings). Platform calls act on the machine bound to the calling thread; a thread without a
// binding uses the process's default machine, made from the environment (KQ_ROOT) on first use. Tests bind a
// machine of their own, so two machines can run side by side in one process.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "win/base.h"

namespace kq {

struct MachineConfig {
  std::filesystem::path root;  // the state root; created when missing
  UINT ansiCodePage = 1252;
};

class Machine {
 public:
  explicit Machine(MachineConfig config);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // KQ_ROOT, else $XDG_STATE_HOME/kelvo-quenzar, else ~/.local/state/kelvo-quenzar.
  static std::filesystem::path RootFromEnvironment();

  const std::filesystem::path& Root() const { return config_.root; }
  // A short name of the state root (16 hexadecimal digits) under which the machine's objects that other processes
  // reach are named, so that two state roots never meet: shared memory, window ports.
  std::string NameSpace() const;
  // A number no other machine of this process has had, 0 once the machine is being destroyed; for caches that
  // must tell a machine from one made later at the same address.
  std::uint64_t Serial() const { return serial_.load(std::memory_order_relaxed); }
  UINT AnsiCodePage() const;
  void SetAnsiCodePage(UINT codePage);

  // A per-machine service of another room, made on first use as T(Machine&) and kept until the machine goes.
  // Services are destroyed in the reverse order of their creation.
  template <class T>
  T& Service() {
    // Each thread remembers the last machine it found T on: engine accessors a driver calls per pixel come here,
    // and the lookup below hashes the type's name. Serials are never reused, so a machine made where a destroyed
    // one lived is looked up afresh; a machine being destroyed has serial 0 and is never remembered.
    struct Last {
      std::uint64_t serial = 0;
      T* service = nullptr;
    };
    thread_local Last last;
    const std::uint64_t serial = Serial();
    if (serial != 0 && last.serial == serial) return *last.service;
    std::lock_guard lock(servicesMutex_);
    T* found = nullptr;
    if (auto it = services_.find(std::type_index(typeid(T))); it != services_.end()) {
      found = static_cast<T*>(it->second.get());
    } else {
      auto made = std::make_shared<T>(*this);
      found = made.get();
      services_.emplace(std::type_index(typeid(T)), made);
      order_.push_back(std::move(made));
    }
    if (serial != 0) last = {serial, found};
    return *found;
  }

 private:
  MachineConfig config_;
  std::atomic<std::uint64_t> serial_;
  mutable std::mutex configMutex_;
  std::recursive_mutex servicesMutex_;
  std::unordered_map<std::type_index, std::shared_ptr<void>> services_;
  std::vector<std::shared_ptr<void>> order_;
};

// The machine platform calls on this thread act on.
Machine& CurrentMachine();
std::shared_ptr<Machine> CurrentMachineShared();

// Binds a machine to the calling thread for the scope's lifetime (scopes nest). Threads started through the
// platform inherit their creator's binding.
class MachineScope {
 public:
  explicit MachineScope(std::shared_ptr<Machine> machine);
  ~MachineScope();
  MachineScope(const MachineScope&) = delete;
  MachineScope& operator=(const MachineScope&) = delete;

 private:
  std::shared_ptr<Machine> previous_;
};

// A fresh machine on a new temporary state root, removed with the machine; for tests and tools that must not
// touch a real state root.
class TemporaryMachine {
 public:
  TemporaryMachine();
  ~TemporaryMachine();
  const std::shared_ptr<Machine>& Get() const { return machine_; }
  Machine& operator*() const { return *machine_; }
  Machine* operator->() const { return machine_.get(); }

 private:
  std::filesystem::path root_;
  std::shared_ptr<Machine> machine_;
};

}  // namespace kq
