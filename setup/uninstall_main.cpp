// uninstall: starts the Windows Installer's removal of the product and ends at once.
#include "launcher.h"
#include "win/installer_host.h"

int main() {
  // The stand-in machine gets its Windows Installer on first use, as the print tool installs its printer.
  kq::InstallWindowsInstaller(kq::CurrentMachine());
  return uninstall_launcher::LaunchUninstall();
}
