#include "telodrv/os_version.h"

#include "win/sysinfoapi.h"

std::uint32_t OsVersionNumber = 0;

void InitOsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  OsVersionNumber = GetVersionExW(&info) ? info.dwMajorVersion * 100 + info.dwMinorVersion : 0;
}
