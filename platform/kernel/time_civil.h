// Conversions between SYSTEMTIME and civil times, shared by the kernel's time sources.
#pragma once

#include <cctz/civil_time.h>

#include "win/sysinfoapi.h"
#include "win/timezoneapi.h"

namespace kq::detail {

inline bool IsValidSystemTime(const SYSTEMTIME& t) {
  if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1) return false;
  if (t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 || t.wMilliseconds > 999) return false;
  // The civil day normalises the 31st of a 30-day month into the next month; a valid day keeps its month.
  const cctz::civil_day day(t.wYear, t.wMonth, t.wDay);
  return day.month() == t.wMonth && day.day() == t.wDay;
}

inline cctz::civil_second CivilFromSystemTime(const SYSTEMTIME& t) {
  return cctz::civil_second(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

inline WORD DayOfWeek(const cctz::civil_day& day) {
  switch (cctz::get_weekday(day)) {
    case cctz::weekday::sunday: return 0;
    case cctz::weekday::monday: return 1;
    case cctz::weekday::tuesday: return 2;
    case cctz::weekday::wednesday: return 3;
    case cctz::weekday::thursday: return 4;
    case cctz::weekday::friday: return 5;
    case cctz::weekday::saturday: return 6;
  }
  return 0;
}

inline SYSTEMTIME SystemTimeFromCivil(const cctz::civil_second& c, WORD milliseconds) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(c.year());
  t.wMonth = static_cast<WORD>(c.month());
  t.wDay = static_cast<WORD>(c.day());
  t.wDayOfWeek = DayOfWeek(cctz::civil_day(c));
  t.wHour = static_cast<WORD>(c.hour());
  t.wMinute = static_cast<WORD>(c.minute());
  t.wSecond = static_cast<WORD>(c.second());
  t.wMilliseconds = milliseconds;
  return t;
}

// `utc` in a zone given by its rules; false when the rules are not valid.
bool RuleZoneToLocal(const TIME_ZONE_INFORMATION& zone, const SYSTEMTIME& utc, SYSTEMTIME& local);

}  // namespace kq::detail
