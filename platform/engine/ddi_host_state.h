// The DDI host's per-machine records: the driver libraries bound on the machine and the driver behind each
// enabled device, so drawing calls and engine callbacks find the entries of a surface's device.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "win/ddihost.h"

namespace kq::ddihost {

// The guard around every driver entry: a C++ exception that escapes the driver is the entry's failure, never the
// host's. The thread's last error is cleared first so a failed entry that set none can be told apart.
template <class R, class F, class... A>
R CallEntry(R failed, F entry, A... args) {
  try {
    return entry(args...);
  } catch (...) {
    SetLastError(ERROR_GEN_FAILURE);
    return failed;
  }
}

template <class F, class... A>
void CallVoidEntry(F entry, A... args) {
  try {
    entry(args...);
  } catch (...) {
    SetLastError(ERROR_GEN_FAILURE);
  }
}

// After a failed entry: ERROR_GEN_FAILURE unless the driver left an error of its own.
inline void NoteEntryFailure() {
  if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
}

class HostState {
 public:
  explicit HostState(Machine&) {}
  static HostState& Current() { return CurrentMachine().Service<HostState>(); }

  // Held while a library is bound, so two threads binding one library on a machine enable it once.
  std::mutex& LoadMutex() { return loadMutex_; }
  std::shared_ptr<DriverLibrary> FindLibrary(const std::filesystem::path& key);
  void AddLibrary(const std::filesystem::path& key, const std::shared_ptr<DriverLibrary>& library);
  void DropExpiredLibrary(const std::filesystem::path& key);

  void AddDevice(HDEV hdev, const std::shared_ptr<DriverLibrary>& library);
  void DropDevice(HDEV hdev);
  std::shared_ptr<DriverLibrary> DeviceDriver(HDEV hdev);

 private:
  std::mutex loadMutex_;
  std::mutex mutex_;
  std::map<std::filesystem::path, std::weak_ptr<DriverLibrary>> libraries_;
  std::unordered_map<ULONG_PTR, std::weak_ptr<DriverLibrary>> devices_;
};

}  // namespace kq::ddihost
