#include "setup_common.h"

#include <cstring>

#include "win/fileapi.h"
#include "win/paths.h"
#include "win/sysinfoapi.h"

namespace {

// Opera's "Plugin Path" is read into this many bytes; a text that fills them without a zero is too long.
constexpr DWORD kOperaPathBytes = 128;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A registry key closed when the scope ends.
class OpenedKey {
 public:
  OpenedKey() = default;
  ~OpenedKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  bool Open(HKEY parent, const char* name, REGSAM access) {
    return RegOpenKeyExA(parent, name, 0, access, &key_) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

struct KeyCounts {
  DWORD maxSubKeyChars = 0;
  DWORD maxValueNameChars = 0;
  DWORD maxValueBytes = 0;
};

KeyCounts CountsOf(HKEY key) {
  KeyCounts counts;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &counts.maxSubKeyChars, nullptr, nullptr,
                   &counts.maxValueNameChars, &counts.maxValueBytes, nullptr, nullptr);
  return counts;
}

// The name of subkey `index`, or false at the first one that cannot be read.
bool SubKeyName(HKEY key, DWORD index, std::vector<char>& name) {
  std::fill(name.begin(), name.end(), '\0');
  DWORD chars = static_cast<DWORD>(name.size());
  return RegEnumKeyExA(key, index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::string CommandLineText(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += kq::AnsiFromTyped(argv[i]);
  }
  return line;
}

std::size_t FindSwitch(std::string_view line, std::string_view switchText) {
  for (std::size_t at = line.find(switchText); at != std::string_view::npos; at = line.find(switchText, at + 1))
    if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') return at;
  return std::string_view::npos;
}

std::string GetProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length < MAX_PATH ? length : 0);
  const auto cut = folder.rfind('\\');
  return cut == std::string::npos ? folder : folder.substr(0, cut);
}

std::string AppendBackslash(std::string path) {
  if (!path.empty() && !IsSeparator(path.back())) path += '\\';
  return path;
}

std::string TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void FindPluginsValues(HKEY key, PluginFolderList& folders) {
  const KeyCounts counts = CountsOf(key);
  std::vector<char> subKeyName(counts.maxSubKeyChars + 1);
  for (DWORD index = 0; SubKeyName(key, index, subKeyName); ++index) {
    OpenedKey subKey;
    if (!subKey.Open(key, subKeyName.data(), KEY_ALL_ACCESS)) break;
    FindPluginsValues(subKey.get(), folders);
  }
  // Zero-filled and one byte longer than the longest data, so a text stored without its zero still ends.
  std::vector<char> valueName(counts.maxValueNameChars + 1);
  std::vector<BYTE> data(counts.maxValueBytes + 1);
  for (DWORD index = 0;; ++index) {
    std::fill(valueName.begin(), valueName.end(), '\0');
    std::fill(data.begin(), data.end(), BYTE{0});
    DWORD nameChars = static_cast<DWORD>(valueName.size());
    DWORD dataBytes = counts.maxValueBytes;
    DWORD type = 0;
    if (RegEnumValueA(key, index, valueName.data(), &nameChars, nullptr, &type, data.data(), &dataBytes) !=
        ERROR_SUCCESS)
      break;
    if (std::strcmp(valueName.data(), kPluginsValue) == 0)
      folders.push_back({std::string(reinterpret_cast<const char*>(data.data()))});
  }
}

PluginFolderList FindMozillaPluginFolders(bool stopAtThunderbird) {
  PluginFolderList folders;
  OpenedKey mozilla;
  if (!mozilla.Open(HKEY_LOCAL_MACHINE, kMozillaKey, KEY_ALL_ACCESS)) return folders;
  std::vector<char> name(CountsOf(mozilla.get()).maxSubKeyChars + 1);
  for (DWORD index = 0; SubKeyName(mozilla.get(), index, name); ++index) {
    if (stopAtThunderbird && std::strcmp(name.data(), kThunderbirdSubkey) == 0) break;
    OpenedKey browser;
    if (!browser.Open(mozilla.get(), name.data(), KEY_ALL_ACCESS)) break;
    FindPluginsValues(browser.get(), folders);
  }
  return folders;
}

std::string GetOperaPluginFolder() {
  OpenedKey opera;
  if (!opera.Open(HKEY_CURRENT_USER, kOperaKey, KEY_READ)) return {};
  char path[kOperaPathBytes + 1] = {};
  DWORD bytes = kOperaPathBytes;
  DWORD type = 0;
  if (RegQueryValueExA(opera.get(), kOperaPluginPathValue, nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes) !=
      ERROR_SUCCESS)
    return {};
  if (bytes == kOperaPathBytes && path[kOperaPathBytes - 1] != '\0') return {};
  return path;
}
