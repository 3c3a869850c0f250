// The Windows Installer stand-in's program, started as C:\Windows\System32\msiexec.exe.
#include <iostream>
#include <string>
#include <vector>

#include "win/installer_host.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string journal;
  const DWORD code = kq::RunWindowsInstaller(kq::CurrentMachine(), arguments, journal);
  std::cerr << journal;
  return static_cast<int>(code);
}
