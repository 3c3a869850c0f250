// kqbrowsers: installs browsers on the stand-in machine as far as the browser plug-in setup sees them, their
// plug-in folders in the registry, as the browsers' own setups leave them:
//
//   kqbrowsers                        lists the plug-in folders registered
//   kqbrowsers --firefox FOLDER       a Mozilla-family browser: value "Plugins" of HKEY_LOCAL_MACHINE
//                                     "SOFTWARE\Mozilla\Mozilla Firefox\Extensions"
//   kqbrowsers --opera FOLDER         Opera: HKEY_CURRENT_USER "Software\Opera Software", value "Plugin Path"
//   kqbrowsers --remove               takes both away
//
// A FOLDER is a POSIX path (a Z: path) or a Windows path. The state root is KQ_ROOT (or the XDG default).
#include <iostream>
#include <string>
#include <vector>

#include "win/machine.h"
#include "win/paths.h"
#include "win/registry.h"

namespace {

constexpr char kUsage[] =
    "usage: kqbrowsers [--firefox FOLDER] [--opera FOLDER] | --remove\n"
    "  Registers browsers' plug-in folders on the stand-in machine (without options: lists them).\n";
constexpr char kFirefoxKey[] = "SOFTWARE\\Mozilla\\Mozilla Firefox\\Extensions";
constexpr char kMozillaKey[] = "SOFTWARE\\Mozilla";
constexpr char kOperaKey[] = "Software\\Opera Software";

// The folder as the browsers' setups write it: a Windows path in the ANSI code page, with its zero.
bool SetFolder(HKEY root, const char* keyPath, const char* name, const std::string& typed) {
  bool exact = true;
  const std::string folder = kq::AnsiFromTyped(typed, &exact);
  if (!exact) {
    std::cerr << "kqbrowsers: " << typed << ": the machine's code page cannot hold this folder's name\n";
    return false;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const bool set = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                  static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (set) std::cout << "kqbrowsers: " << name << " = " << folder << "\n";
  return set;
}

void Show(HKEY root, const char* keyPath, const char* name, const char* browser) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  std::vector<char> data(1024, '\0');
  DWORD size = static_cast<DWORD>(data.size() - 1);
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS)
    std::cout << browser << ": " << data.data() << "\n";
  RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  if (argc == 1) {
    Show(HKEY_LOCAL_MACHINE, kFirefoxKey, "Plugins", "firefox");
    Show(HKEY_CURRENT_USER, kOperaKey, "Plugin Path", "opera");
    return 0;
  }
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
    } else if (arg == "--remove") {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, kq::WideFromUtf8(kMozillaKey).c_str());
      RegDeleteTreeW(HKEY_CURRENT_USER, kq::WideFromUtf8(kOperaKey).c_str());
    } else if ((arg == "--firefox" || arg == "--opera") && i + 1 < argc) {
      const std::string folder = argv[++i];
      ok = (arg == "--firefox" ? SetFolder(HKEY_LOCAL_MACHINE, kFirefoxKey, "Plugins", folder)
                               : SetFolder(HKEY_CURRENT_USER, kOperaKey, "Plugin Path", folder)) &&
           ok;
    } else {
      std::cerr << "kqbrowsers: " << (arg.starts_with("--") ? "a bad option " : "unknown argument ") << arg << "\n"
                << kUsage;
      return 2;
    }
  }
  return ok ? 0 : 1;
}
