// uninstall, the product uninstall launcher: starts the Windows Installer in the system folder with the request to
// remove the product, and does not wait for it.
#pragma once

#include <string>

namespace uninstall_launcher {

inline constexpr char kProductCode[] = "{31753CDD-A7DA-4667-BEFC-B3EA3BDF366E}";

// The system folder, however long it is.
std::string SystemFolder();

// "\"<system folder>\msiexec.exe\" /x <product code>".
std::string UninstallCommandLine(const std::string& systemFolder);

// Starts the Windows Installer in a new console; the exit code, always 0, even when it cannot be started.
int LaunchUninstall();

}  // namespace uninstall_launcher
