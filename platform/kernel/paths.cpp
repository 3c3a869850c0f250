#include <dirent.h>
#include <sys/stat.h>

#include <map>
#include <mutex>
#include <vector>

#include "file_internal.h"
#include "win/paths.h"

namespace kq {

namespace {

// The machine's drive table, made with C: and Z: on first use.
class DriveTable {
 public:
  explicit DriveTable(Machine& machine) {
    const auto c = machine.Root() / "drive_c";
    std::error_code ec;
    std::filesystem::create_directories(c, ec);
    drives_[u'C'] = c;
    drives_[u'Z'] = "/";
  }

  void Map(WCHAR letter, std::filesystem::path folder) {
    std::lock_guard lock(mutex_);
    drives_[letter] = std::move(folder);
  }
  void Unmap(WCHAR letter) {
    std::lock_guard lock(mutex_);
    drives_.erase(letter);
  }
  std::optional<std::filesystem::path> Find(WCHAR letter) {
    std::lock_guard lock(mutex_);
    auto it = drives_.find(letter);
    if (it == drives_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::mutex mutex_;
  std::map<WCHAR, std::filesystem::path> drives_;
};

WCHAR UpperLetter(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }
bool IsLetter(WCHAR c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool IsReservedInName(WCHAR c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

// Splits `rest` at either separator into `names`, resolving "." and ".." (never above the root).
DWORD AppendNames(WStringView rest, std::vector<WString>& names) {
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const WStringView name = rest.substr(start, end - start);
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != u".") {
      for (WCHAR c : name)
        if (IsReservedInName(c)) return ERROR_INVALID_NAME;
      names.emplace_back(name);
    }
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

// The names of the process's current folder, which is a Z: path.
void CurrentFolderNames(std::vector<WString>& names) {
  std::error_code ec;
  const auto cwd = std::filesystem::current_path(ec);
  if (ec) return;
  for (const auto& part : cwd.relative_path()) {
    const auto text = part.string();
    if (!text.empty()) names.push_back(WideFromUtf8(text));
  }
}

// Drive letter and names of a Windows path.
DWORD ParseWindowsPath(WStringView path, WCHAR& drive, std::vector<WString>& names) {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == u'?' && IsSeparator(path[3])) {
    // "\\?\C:\..." is the plain path without the length limit; its network form is not served.
    path.remove_prefix(4);
    if (!(path.size() >= 2 && IsLetter(path[0]) && path[1] == u':')) return ERROR_BAD_NETPATH;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // Devices ("\\.\") and network shares have no place on the host.
    return path.size() >= 3 && path[2] == u'.' ? ERROR_PATH_NOT_FOUND : ERROR_BAD_NETPATH;
  }
  if (path.size() >= 2 && path[1] == u':') {
    if (!IsLetter(path[0])) return ERROR_INVALID_NAME;
    drive = UpperLetter(path[0]);
    // A drive-relative path ("C:name") is taken from the drive's root: drives keep no current folder here.
    return AppendNames(path.substr(2), names);
  }
  drive = u'Z';
  if (!IsSeparator(path[0])) CurrentFolderNames(names);
  return AppendNames(path, names);
}

// The entry of `folder` whose name equals `name` ignoring ASCII case, if any.
std::optional<std::string> FindIgnoringCase(const std::filesystem::path& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return std::nullopt;
  const WString wanted = WideFromUtf8(name);
  std::optional<std::string> found;
  while (dirent* entry = readdir(dir)) {
    if (EqualsIgnoreAsciiCase(WideFromUtf8(entry->d_name), wanted)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

void MapDrive(Machine& machine, WCHAR letter, std::filesystem::path hostFolder) {
  machine.Service<DriveTable>().Map(UpperLetter(letter), std::move(hostFolder));
}

void UnmapDrive(Machine& machine, WCHAR letter) { machine.Service<DriveTable>().Unmap(UpperLetter(letter)); }

std::optional<std::filesystem::path> DriveFolder(Machine& machine, WCHAR letter) {
  return machine.Service<DriveTable>().Find(UpperLetter(letter));
}

DWORD ResolveWindowsPath(WStringView windowsPath, std::filesystem::path& host) {
  WCHAR drive = 0;
  std::vector<WString> names;
  if (const DWORD error = ParseWindowsPath(windowsPath, drive, names)) return error;
  auto root = DriveFolder(CurrentMachine(), drive);
  if (!root) return ERROR_PATH_NOT_FOUND;
  host = std::move(*root);
  bool exists = true;
  for (const auto& wide : names) {
    const std::string name = Utf8FromWide(wide);
    if (exists) {
      struct stat st;
      if (lstat((host / name).c_str(), &st) == 0) {
        host /= name;
        continue;
      }
      if (auto other = FindIgnoringCase(host, name)) {
        host /= *other;
        continue;
      }
      exists = false;  // nothing below a missing name can exist
    }
    host /= name;
  }
  return ERROR_SUCCESS;
}

std::optional<std::filesystem::path> HostPathFromWindows(WStringView windowsPath, DWORD* error) {
  std::filesystem::path host;
  const DWORD result = ResolveWindowsPath(windowsPath, host);
  if (error) *error = result;
  if (result) return std::nullopt;
  return host;
}

std::string AnsiFromTyped(std::string_view typed, bool* exact) {
  const WString wide = !typed.empty() && typed[0] == '/' ? WindowsPathFromPosix(typed) : WideFromUtf8(typed);
  if (exact) *exact = true;
  if (wide.empty()) return {};
  const int count = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), count, nullptr, 0, "?", &lossy);
  std::string ansi(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), count, ansi.data(), bytes, "?", &lossy);
  if (exact) *exact = bytes > 0 && !lossy;
  return ansi;
}

WString WindowsPathFromPosix(std::string_view posixPath) {
  std::filesystem::path path(posixPath);
  if (path.is_relative()) {
    std::error_code ec;
    path = std::filesystem::current_path(ec) / path;
  }
  WString out = u"Z:";
  for (const auto& part : path.lexically_normal().relative_path()) {
    const auto text = part.string();
    if (text.empty()) continue;
    out += u'\\';
    out += WideFromUtf8(text);
  }
  if (out.size() == 2) out += u'\\';
  return out;
}

}  // namespace kq
