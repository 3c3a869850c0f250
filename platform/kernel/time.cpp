#include <cctz/time_zone.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "time_civil.h"
#include "win/sysinfoapi.h"
#include "win/timezoneapi.h"

namespace kq {

namespace {

bool ZoneExists(const std::string& name, cctz::time_zone* zone) {
  if (name.empty()) return false;
  cctz::time_zone loaded;
  if (!cctz::load_time_zone(name, &loaded)) return false;
  if (zone) *zone = loaded;
  return true;
}

// A zone file path inside the tz database names its zone by the rest of the path.
std::string ZoneNameFromPath(const std::string& path) {
  static constexpr std::string_view kMarker = "zoneinfo/";
  const auto at = path.rfind(kMarker);
  return at == std::string::npos ? std::string() : path.substr(at + kMarker.size());
}

std::string Trimmed(std::string text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

MachineClock::MachineClock(Machine&) : zone_(ConfiguredTimeZone()) {}

std::string MachineClock::ConfiguredTimeZone() {
  if (const char* tz = std::getenv("TZ"); tz && *tz) {
    std::string name = tz[0] == ':' ? tz + 1 : tz;
    if (!name.empty() && name[0] == '/') name = ZoneNameFromPath(name);
    if (ZoneExists(name, nullptr)) return name;
  }
  if (std::ifstream file("/etc/timezone"); file) {
    std::string line;
    std::getline(file, line);
    line = Trimmed(line);
    if (ZoneExists(line, nullptr)) return line;
  }
  std::error_code ec;
  const auto target = std::filesystem::read_symlink("/etc/localtime", ec);
  if (!ec) {
    const std::string name = ZoneNameFromPath(target.string());
    if (ZoneExists(name, nullptr)) return name;
  }
  return "UTC";
}

std::string MachineClock::TimeZone() const {
  std::lock_guard lock(mutex_);
  return zone_;
}

bool MachineClock::SetTimeZone(const std::string& name) {
  if (!ZoneExists(name, nullptr)) return false;
  std::lock_guard lock(mutex_);
  zone_ = name;
  return true;
}

bool MachineClock::SetFixedTime(const SYSTEMTIME& utc) {
  if (!detail::IsValidSystemTime(utc)) return false;
  SYSTEMTIME fixed = utc;
  fixed.wDayOfWeek = detail::DayOfWeek(cctz::civil_day(detail::CivilFromSystemTime(utc)));
  std::lock_guard lock(mutex_);
  fixed_ = fixed;
  return true;
}

void MachineClock::ClearFixedTime() {
  std::lock_guard lock(mutex_);
  fixed_.reset();
}

SYSTEMTIME MachineClock::NowUtc() const {
  {
    std::lock_guard lock(mutex_);
    if (fixed_) return *fixed_;
  }
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto seconds = floor<std::chrono::seconds>(now);
  const auto ms = duration_cast<milliseconds>(now - seconds).count();
  return detail::SystemTimeFromCivil(cctz::convert(seconds, cctz::utc_time_zone()), static_cast<WORD>(ms));
}

bool MachineClock::ToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const {
  if (!detail::IsValidSystemTime(utc)) return false;
  cctz::time_zone zone = cctz::utc_time_zone();
  // The zone was checked when it was set; should its file vanish since, UTC is the safe answer.
  ZoneExists(TimeZone(), &zone);
  const auto instant = cctz::convert(detail::CivilFromSystemTime(utc), cctz::utc_time_zone());
  local = detail::SystemTimeFromCivil(cctz::convert(instant, zone), utc.wMilliseconds);
  return true;
}

}  // namespace kq

void GetSystemTime(LPSYSTEMTIME time) {
  if (!time) return;
  *time = kq::CurrentMachine().Service<kq::MachineClock>().NowUtc();
}

void GetLocalTime(LPSYSTEMTIME time) {
  if (!time) return;
  const auto& clock = kq::CurrentMachine().Service<kq::MachineClock>();
  clock.ToLocal(clock.NowUtc(), *time);
}

BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc, LPSYSTEMTIME local) {
  if (!utc || !local || !kq::detail::IsValidSystemTime(*utc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SYSTEMTIME result{};
  const bool ok = zone ? kq::detail::RuleZoneToLocal(*zone, *utc, result)
                       : kq::CurrentMachine().Service<kq::MachineClock>().ToLocal(*utc, result);
  if (!ok) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *local = result;
  return TRUE;
}
