// Binding a driver library: finding its file, loading it, asking it whether it runs in user mode and taking its
// function table.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <array>
#include <system_error>

#include "ddi_host_state.h"

namespace kq {

namespace {

// Far above the engine's highest DDI index; entries beyond it are ignored.
constexpr ULONG kTableSlots = 128;
// A table longer than this is not a table.
constexpr ULONG kMaxTableEntries = 1024;

constexpr std::array kRequiredEntries = {
    std::pair{INDEX_DrvEnablePDEV, "DrvEnablePDEV"},       std::pair{INDEX_DrvCompletePDEV, "DrvCompletePDEV"},
    std::pair{INDEX_DrvDisablePDEV, "DrvDisablePDEV"},     std::pair{INDEX_DrvEnableSurface, "DrvEnableSurface"},
    std::pair{INDEX_DrvDisableSurface, "DrvDisableSurface"}, std::pair{INDEX_DrvStartDoc, "DrvStartDoc"},
    std::pair{INDEX_DrvEndDoc, "DrvEndDoc"},               std::pair{INDEX_DrvStartPage, "DrvStartPage"},
    std::pair{INDEX_DrvSendPage, "DrvSendPage"},
};

std::nullptr_t Fail(DdiFailure* failure, DWORD code, std::string message) {
  if (failure) *failure = DdiFailure{code, std::move(message)};
  SetLastError(code);
  return nullptr;
}

std::string Hex(ULONG value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

void AddFolder(std::vector<std::filesystem::path>& folders, const std::filesystem::path& folder) {
  if (folder.empty() || std::find(folders.begin(), folders.end(), folder) != folders.end()) return;
  folders.push_back(folder);
}

}  // namespace

struct DriverLibrary::Impl {
  std::shared_ptr<Machine> machine;
  std::filesystem::path path;  // canonical: the machine's key for it
  void* handle = nullptr;
  ULONG version = 0;
  std::array<PFN, kTableSlots> table{};
};

std::vector<std::filesystem::path> DriverSearchFolders() {
  std::vector<std::filesystem::path> folders;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DriverSearchFolders), &info) != 0 && info.dli_fname) {
    std::error_code ec;
    AddFolder(folders, std::filesystem::weakly_canonical(info.dli_fname, ec).parent_path());
  }
  std::error_code ec;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) AddFolder(folders, program.parent_path());
  return folders;
}

std::optional<std::filesystem::path> FindDriverLibrary(const std::filesystem::path& nameOrPath) {
  std::error_code ec;
  if (nameOrPath.empty()) return std::nullopt;
  if (nameOrPath.has_parent_path()) {
    if (!std::filesystem::is_regular_file(nameOrPath, ec)) return std::nullopt;
    return std::filesystem::absolute(nameOrPath, ec);
  }
  for (const auto& folder : DriverSearchFolders()) {
    const auto candidate = folder / nameOrPath;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return std::nullopt;
}

DriverLibrary::DriverLibrary(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

DriverLibrary::~DriverLibrary() {
  MachineScope scope(impl_->machine);
  if (auto disable = Entry<PFN_DrvDisableDriver>(INDEX_DrvDisableDriver)) {
    ddihost::CallVoidEntry(disable);
  }
  dlclose(impl_->handle);
  ddihost::HostState::Current().DropExpiredLibrary(impl_->path);
}

std::shared_ptr<DriverLibrary> DriverLibrary::Load(const std::filesystem::path& nameOrPath, DdiFailure* failure) {
  const auto found = FindDriverLibrary(nameOrPath);
  if (!found) {
    std::string where;
    if (!nameOrPath.has_parent_path()) {
      for (const auto& folder : DriverSearchFolders()) where += (where.empty() ? " in " : ", ") + folder.string();
    }
    return Fail(failure, ERROR_MOD_NOT_FOUND, "driver library " + nameOrPath.string() + " not found" + where);
  }
  std::error_code ec;
  auto key = std::filesystem::weakly_canonical(*found, ec);
  if (ec) key = *found;

  auto& state = ddihost::HostState::Current();
  std::lock_guard loading(state.LoadMutex());
  if (auto bound = state.FindLibrary(key)) return bound;

  auto impl = std::make_unique<Impl>();
  impl->machine = CurrentMachineShared();
  impl->path = key;
  dlerror();
  impl->handle = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!impl->handle) {
    const char* why = dlerror();
    return Fail(failure, ERROR_BAD_EXE_FORMAT,
                "driver library " + key.string() + " cannot be loaded: " + (why ? why : "unknown reason"));
  }
  auto unload = [&impl] { dlclose(impl->handle); };

  auto query = reinterpret_cast<PFN_DrvQueryDriverInfo>(dlsym(impl->handle, "DrvQueryDriverInfo"));
  auto enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(impl->handle, "DrvEnableDriver"));
  if (!query || !enable) {
    unload();
    return Fail(failure, ERROR_PROC_NOT_FOUND,
                "driver library " + key.string() + " does not export " +
                    (!query ? "DrvQueryDriverInfo" : "DrvEnableDriver"));
  }

  DWORD mode = 0;
  DWORD needed = 0;
  if (!ddihost::CallEntry(FALSE, query, DRVQUERY_USERMODE, static_cast<PVOID>(&mode),
                          static_cast<DWORD>(sizeof mode), &needed) ||
      mode != 1) {
    unload();
    return Fail(failure, ERROR_NOT_SUPPORTED, "driver library " + key.string() + " is not a user-mode driver");
  }

  DRVENABLEDATA data{};
  SetLastError(ERROR_SUCCESS);
  if (!ddihost::CallEntry(FALSE, enable, kEngineVersion, static_cast<ULONG>(sizeof data), &data)) {
    const DWORD driverError = GetLastError();
    unload();
    return Fail(failure, ERROR_NOT_SUPPORTED,
                "driver library " + key.string() + " refused the engine version " + Hex(kEngineVersion) +
                    " in DrvEnableDriver (its error " + std::to_string(driverError) + ")");
  }

  std::string problem;
  if (data.iDriverVersion < DDI_DRIVER_VERSION_NT4) {
    problem = "reports the DDI version " + Hex(data.iDriverVersion) + ", older than the engine accepts";
  } else if (data.c == 0 || data.c > kMaxTableEntries || !data.pdrvfn) {
    problem = "gave no usable function table";
  } else {
    impl->version = data.iDriverVersion;
    for (ULONG i = 0; i < data.c; ++i) {
      const DRVFN& fn = data.pdrvfn[i];
      if (fn.iFunc < kTableSlots && fn.pfn) impl->table[fn.iFunc] = fn.pfn;
    }
    for (const auto& [index, name] : kRequiredEntries) {
      if (!impl->table[index]) {
        problem = std::string("has no ") + name + " in its function table";
        break;
      }
    }
  }
  if (!problem.empty()) {
    if (auto disable = reinterpret_cast<PFN_DrvDisableDriver>(
            reinterpret_cast<void (*)()>(impl->table[INDEX_DrvDisableDriver]))) {
      ddihost::CallVoidEntry(disable);
    }
    unload();
    return Fail(failure, ERROR_BAD_FORMAT, "driver library " + key.string() + " " + problem);
  }

  std::shared_ptr<DriverLibrary> library(new DriverLibrary(std::move(impl)));
  state.AddLibrary(key, library);
  return library;
}

const std::filesystem::path& DriverLibrary::Path() const { return impl_->path; }
ULONG DriverLibrary::DriverVersion() const { return impl_->version; }
const std::shared_ptr<Machine>& DriverLibrary::OwnMachine() const { return impl_->machine; }

PFN DriverLibrary::Function(ULONG index) const { return index < kTableSlots ? impl_->table[index] : nullptr; }

namespace ddihost {

std::shared_ptr<DriverLibrary> HostState::FindLibrary(const std::filesystem::path& key) {
  std::lock_guard lock(mutex_);
  auto it = libraries_.find(key);
  return it == libraries_.end() ? nullptr : it->second.lock();
}

void HostState::AddLibrary(const std::filesystem::path& key, const std::shared_ptr<DriverLibrary>& library) {
  std::lock_guard lock(mutex_);
  libraries_[key] = library;
}

void HostState::DropExpiredLibrary(const std::filesystem::path& key) {
  std::lock_guard lock(mutex_);
  auto it = libraries_.find(key);
  if (it != libraries_.end() && it->second.expired()) libraries_.erase(it);
}

void HostState::AddDevice(HDEV hdev, const std::shared_ptr<DriverLibrary>& library) {
  std::lock_guard lock(mutex_);
  devices_[reinterpret_cast<ULONG_PTR>(hdev)] = library;
}

void HostState::DropDevice(HDEV hdev) {
  std::lock_guard lock(mutex_);
  devices_.erase(reinterpret_cast<ULONG_PTR>(hdev));
}

std::shared_ptr<DriverLibrary> HostState::DeviceDriver(HDEV hdev) {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(reinterpret_cast<ULONG_PTR>(hdev));
  return it == devices_.end() ? nullptr : it->second.lock();
}

}  // namespace ddihost

}  // namespace kq
