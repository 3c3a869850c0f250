// The Windows Installer stand-in: records its requests in the state root and answers removal requests from the
// products registered for uninstalling.
#include <dlfcn.h>

#include <fstream>
#include <optional>
#include <system_error>

#include "win/installer_host.h"
#include "win/registry.h"

namespace kq {

namespace {

constexpr DWORD kUnknownProduct = 1605;
constexpr DWORD kInvalidCommandLine = 1639;

std::filesystem::path RequestsFile(Machine& machine) { return machine.Root() / "installer" / "requests.log"; }

// The kqmsiexec program beside the platform library: <build>/lib/libplatform.so gives <build>/bin/kqmsiexec.
std::optional<std::filesystem::path> HostProgram() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&InstallWindowsInstaller), &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  const auto library = std::filesystem::canonical(info.dli_fname, ec);
  if (ec) return {};
  return library.parent_path().parent_path() / "bin" / "kqmsiexec";
}

// The registered name of a product on the calling thread's machine, or nothing when it is not registered.
std::optional<std::string> ProductName(const std::string& code) {
  const WString key = WideFromUtf8("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code);
  HKEY product = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &product) != ERROR_SUCCESS) return {};
  WCHAR name[260] = {};
  DWORD size = sizeof name - sizeof(WCHAR);
  DWORD type = 0;
  const LSTATUS read = RegQueryValueExW(product, u"DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(product);
  if (read != ERROR_SUCCESS || type != REG_SZ) return std::string();
  return Utf8FromWide(WStringView(name));
}

bool IsRemoveSwitch(const std::string& argument) {
  return argument == "/x" || argument == "/X" || argument == "-x" || argument == "/uninstall";
}

}  // namespace

DWORD InstallWindowsInstaller(Machine& machine) {
  const auto program = HostProgram();
  std::error_code ec;
  if (!program || !std::filesystem::exists(*program, ec)) return ERROR_FILE_NOT_FOUND;
  const auto folder = machine.Root() / "drive_c" / "Windows" / "System32";
  std::filesystem::create_directories(folder, ec);
  if (ec) return ERROR_PATH_NOT_FOUND;
  const auto target = folder / "msiexec.exe";
  if (std::filesystem::exists(std::filesystem::symlink_status(target, ec))) return ERROR_SUCCESS;
  std::filesystem::create_symlink(*program, target, ec);
  return ec ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

std::vector<std::string> WindowsInstallerRequests(Machine& machine) {
  std::vector<std::string> lines;
  std::ifstream in(RequestsFile(machine));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

DWORD RunWindowsInstaller(Machine& machine, const std::vector<std::string>& arguments, std::string& journal) {
  std::string line;
  for (const auto& argument : arguments) line += (line.empty() ? "" : " ") + argument;
  std::error_code ec;
  std::filesystem::create_directories(RequestsFile(machine).parent_path(), ec);
  std::ofstream(RequestsFile(machine), std::ios::app) << line << '\n';
  journal += "Windows Installer: msiexec.exe " + line + "\n";

  if (arguments.size() != 2 || !IsRemoveSwitch(arguments[0])) {
    journal += "Windows Installer: the command line is not a request this installer understands\n";
    return kInvalidCommandLine;
  }
  const std::string& code = arguments[1];
  const auto name = ProductName(code);
  if (!name) {
    journal += "Windows Installer: the product " + code + " is not installed; nothing would be removed\n";
    return kUnknownProduct;
  }
  journal += "Windows Installer: would remove the product \"" + *name + "\" " + code + "\n";
  return ERROR_SUCCESS;
}

}  // namespace kq
