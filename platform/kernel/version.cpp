#include <atomic>

#include "win/machine.h"
#include "win/sysinfoapi.h"

namespace kq {

namespace {

struct SystemVersion {
  explicit SystemVersion(Machine&) {}
  std::atomic<DWORD> version{501};
};

// Build numbers of the releases the system tells apart; others report 0.
DWORD BuildNumber(DWORD version) {
  switch (version) {
    case 500: return 2195;
    case 501: return 2600;
    case 502: return 3790;
    case 600: return 6002;
    case 601: return 7601;
    case 602: return 9200;
    case 603: return 9600;
    default: return 0;
  }
}

}  // namespace

DWORD WindowsVersion(Machine& machine) { return machine.Service<SystemVersion>().version.load(); }

void SetWindowsVersion(Machine& machine, DWORD version) { machine.Service<SystemVersion>().version.store(version); }

}  // namespace kq

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = info->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const DWORD version = kq::WindowsVersion(kq::CurrentMachine());
  info->dwMajorVersion = version / 100;
  info->dwMinorVersion = version % 100;
  info->dwBuildNumber = kq::BuildNumber(version);
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->szCSDVersion[0] = 0;
  if (size == sizeof(OSVERSIONINFOEXW)) {
    auto* ex = reinterpret_cast<OSVERSIONINFOEXW*>(info);
    ex->wServicePackMajor = 0;
    ex->wServicePackMinor = 0;
    ex->wSuiteMask = 0;
    ex->wProductType = VER_NT_WORKSTATION;
    ex->wReserved = 0;
  }
  return TRUE;
}
