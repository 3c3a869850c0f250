#include "launcher.h"

#include <vector>

#include "win/handleapi.h"
#include "win/processthreadsapi.h"
#include "win/sysinfoapi.h"

namespace uninstall_launcher {

std::string SystemFolder() {
  std::vector<char> buffer(MAX_PATH);
  UINT length = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) length = 0;
  }
  return std::string(buffer.data(), length);
}

std::string UninstallCommandLine(const std::string& systemFolder) {
  return "\"" + systemFolder + "\\msiexec.exe\" /x " + kProductCode;
}

int LaunchUninstall() {
  const std::string line = UninstallCommandLine(SystemFolder());
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup{};
  GetStartupInfoA(&startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return 0;
}

}  // namespace uninstall_launcher
