#include <system_error>

#include "win/paths.h"

namespace kq {

namespace {

// The folders of the state root that hold the platform's objects rather than people's files.
constexpr const char* kObjectFolders[] = {"shares", "mappings", "desktop", "installer"};

// Whether `path` is `folder` or lies inside it; both are canonical.
bool Inside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

}  // namespace

bool IsMachineStateFile(const std::filesystem::path& stateRoot, const std::filesystem::path& hostPath) {
  if (stateRoot.empty() || hostPath.empty()) return false;
  std::error_code e1, e2;
  const auto path = std::filesystem::weakly_canonical(hostPath, e1);
  const auto root = std::filesystem::weakly_canonical(stateRoot, e2);
  if (e1 || e2) return false;
  if (path.parent_path() == root) return true;
  for (const char* folder : kObjectFolders)
    if (Inside(path, root / folder)) return true;
  return false;
}

bool IsMachineStateFile(WStringView windowsPath) {
  const auto host = HostPathFromWindows(windowsPath);
  return host && IsMachineStateFile(CurrentMachine().Root(), *host);
}

}  // namespace kq
