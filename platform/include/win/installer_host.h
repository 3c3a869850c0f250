// The Windows Installer stand-in: the program "msiexec.exe" in the machine's system folder. It records every
// command line it is started with and, asked to remove a product (/x with a product code), says what it would
// remove: the product registered by its code as a subkey of HKEY_LOCAL_MACHINE
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall", by its "DisplayName". It removes nothing.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "win/base.h"
#include "win/machine.h"

namespace kq {

// Puts the stand-in at C:\Windows\System32\msiexec.exe of the machine (a link to the host program kqmsiexec that
// lies in the programs folder beside the platform library); a program already there is kept. 0, or the
// platform's error code.
DWORD InstallWindowsInstaller(Machine& machine);

// The command lines the stand-in was started with on this machine, oldest first, its arguments joined by blanks.
std::vector<std::string> WindowsInstallerRequests(Machine& machine);

// What the stand-in does for one command line (its arguments after the program's name) on `machine`, which is the
// calling thread's machine (the products are looked up in its registry): records the line, writes
// its answer to `journal` and returns its exit code: 0 for a product it would remove, 1605 for a product that is
// not installed, 1639 for a request it does not understand.
DWORD RunWindowsInstaller(Machine& machine, const std::vector<std::string>& arguments, std::string& journal);

}  // namespace kq
