// System time, the machine's clock and time zone, the user's name, the paths of modules and the system's version
// (each machine reports a configured version, 5.1 unless set otherwise).
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "win/base.h"
#include "win/machine.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;      // 1 = January
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);
using LPSYSTEMTIME = SYSTEMTIME*;
using PSYSTEMTIME = SYSTEMTIME*;

// The current time in UTC, from the machine's clock.
void GetSystemTime(LPSYSTEMTIME time);
// The current time in the machine's time zone.
void GetLocalTime(LPSYSTEMTIME time);

// The user's name. `size` holds the buffer's size in characters; on success it becomes the name's length plus one
// (the terminating zero). A buffer that is too small fails with ERROR_INSUFFICIENT_BUFFER and `size` set to the
// size needed.
BOOL GetUserNameW(LPWSTR buffer, LPDWORD size);

// The path of a module as a Windows path: a null module is the process's executable, otherwise the module must be
// a loaded shared library (its load handle or its base address). Returns the length copied, without the zero. A
// buffer that is too small gets the path cut to size - 1 characters, terminated, and the result is `size` with
// ERROR_INSUFFICIENT_BUFFER. An unknown module answers 0 with ERROR_MOD_NOT_FOUND.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// The same in the ANSI code page; `size` counts bytes.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// The system folder, C:\Windows\System32. Returns its length without the zero; a buffer that is too small gets
// nothing and the answer is the size needed, the zero included.
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOW) == 276);
static_assert(sizeof(OSVERSIONINFOEXW) == 284);

inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
inline constexpr BYTE VER_NT_WORKSTATION = 1;

// dwOSVersionInfoSize must be the size of one of the two records; otherwise FALSE with ERROR_INSUFFICIENT_BUFFER.
BOOL GetVersionExW(LPOSVERSIONINFOW info);

namespace kq {

// The machine's clock and time zone. The zone is a tz database name ("Asia/Kolkata"); a new machine takes the
// host's configured zone, or "UTC" when none can be found. The clock runs with the host's unless a test fixes it.
class MachineClock {
 public:
  explicit MachineClock(Machine& machine);

  // The host's configured zone (TZ, /etc/timezone, the target of /etc/localtime), or "UTC".
  static std::string ConfiguredTimeZone();

  std::string TimeZone() const;
  // False, and the zone is kept, when the tz database has no zone of that name.
  bool SetTimeZone(const std::string& name);

  // Stops the clock at a UTC time; false, and nothing changes, when the time is not a valid date and time.
  bool SetFixedTime(const SYSTEMTIME& utc);
  void ClearFixedTime();

  SYSTEMTIME NowUtc() const;
  // A UTC time in the machine's zone; false when `utc` is not a valid date and time.
  bool ToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const;

 private:
  mutable std::mutex mutex_;
  std::string zone_;
  std::optional<SYSTEMTIME> fixed_;
};

// The user who is logged on to the machine; a new machine takes the host's user (USER, LOGNAME, then the account
// database).
class MachineUser {
 public:
  explicit MachineUser(Machine& machine);

  WString UserName() const;
  void SetUserName(WString name);

 private:
  mutable std::mutex mutex_;
  WString name_;
};

// The machine's version as major × 100 + minor (501 = 5.1, 600 = 6.0).
DWORD WindowsVersion(Machine& machine);
void SetWindowsVersion(Machine& machine, DWORD version);

}  // namespace kq
