#include "telodrv/os_version.h"

#include "win/sysinfoapi.h"

DWORD OsVersionNumber = 0;

void InitOsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExW(&info)) OsVersionNumber = info.dwMajorVersion * 100 + info.dwMinorVersion;
}
