#include <optional>

#include "time_civil.h"

namespace kq::detail {

namespace {

bool IsValidRule(const SYSTEMTIME& rule) {
  if (rule.wMonth < 1 || rule.wMonth > 12) return false;
  if (rule.wHour > 23 || rule.wMinute > 59 || rule.wSecond > 59 || rule.wMilliseconds > 999) return false;
  if (rule.wYear != 0) return IsValidSystemTime(rule);
  return rule.wDay >= 1 && rule.wDay <= 5 && rule.wDayOfWeek <= 6;
}

// The local time of a change in `year`, or nothing when an absolute rule names another year.
std::optional<cctz::civil_second> ChangeIn(cctz::year_t year, const SYSTEMTIME& rule) {
  cctz::civil_day day;
  if (rule.wYear != 0) {
    if (rule.wYear != year) return std::nullopt;
    day = cctz::civil_day(year, rule.wMonth, rule.wDay);
  } else {
    const cctz::civil_day first(year, rule.wMonth, 1);
    day = first + (rule.wDayOfWeek - DayOfWeek(first) + 7) % 7 + 7 * (rule.wDay - 1);
    // The fifth occurrence means the last one of the month.
    while (day.month() != rule.wMonth) day -= 7;
  }
  return cctz::civil_second(day.year(), day.month(), day.day(), rule.wHour, rule.wMinute, rule.wSecond);
}

}  // namespace

bool RuleZoneToLocal(const TIME_ZONE_INFORMATION& zone, const SYSTEMTIME& utc, SYSTEMTIME& local) {
  const cctz::civil_second at = CivilFromSystemTime(utc);
  const long standardOffset = -60L * (zone.Bias + zone.StandardBias);
  const long daylightOffset = -60L * (zone.Bias + zone.DaylightBias);
  long offset = standardOffset;
  if (zone.StandardDate.wMonth != 0 && zone.DaylightDate.wMonth != 0) {
    if (!IsValidRule(zone.StandardDate) || !IsValidRule(zone.DaylightDate)) return false;
    const cctz::year_t year = (at + standardOffset).year();
    const auto toDaylight = ChangeIn(year, zone.DaylightDate);
    const auto toStandard = ChangeIn(year, zone.StandardDate);
    if (toDaylight && toStandard) {
      // Each change is given in the local time that is in force before it.
      const cctz::civil_second start = *toDaylight - standardOffset;
      const cctz::civil_second end = *toStandard - daylightOffset;
      const bool daylight = start < end ? (at >= start && at < end) : (at >= start || at < end);
      if (daylight) offset = daylightOffset;
    }
  }
  local = SystemTimeFromCivil(at + offset, utc.wMilliseconds);
  return true;
}

}  // namespace kq::detail
