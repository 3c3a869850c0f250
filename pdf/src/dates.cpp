// PDF and XMP dates: the local time of a UTC time and the offset between the two.
#include "pdf/dates.h"

#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "win/timezoneapi.h"

namespace {

struct LocalDate {
  SYSTEMTIME local;
  char sign;  // 'Z', '+' or '-'
  int hours;
  int minutes;
};

LocalDate LocalDateOf(const SYSTEMTIME& utc) {
  LocalDate date{utc, 'Z', 0, 0};
  // A time the zone cannot convert is written as UTC, which it then is.
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &date.local)) date.local = utc;
  const SYSTEMTIME& local = date.local;
  int offset = (local.wHour - utc.wHour) * 60 + local.wMinute - utc.wMinute;
  const auto localDay = std::tie(local.wYear, local.wMonth, local.wDay);
  const auto utcDay = std::tie(utc.wYear, utc.wMonth, utc.wDay);
  if (localDay > utcDay) offset += 1440;
  if (localDay < utcDay) offset -= 1440;
  if (offset != 0) date.sign = offset > 0 ? '+' : '-';
  offset = std::abs(offset);
  date.hours = offset / 60;
  date.minutes = offset % 60;
  return date;
}

}  // namespace

std::string PdfDateString(const SYSTEMTIME& utc) {
  const LocalDate d = LocalDateOf(utc);
  char text[64];
  std::snprintf(text, sizeof text, "(D:%04d%02d%02d%02d%02d%02d%c%02d'%02d')", d.local.wYear, d.local.wMonth,
                d.local.wDay, d.local.wHour, d.local.wMinute, d.local.wSecond, d.sign, d.hours, d.minutes);
  return text;
}

std::string XmpDateString(const SYSTEMTIME& utc) {
  const LocalDate d = LocalDateOf(utc);
  char text[64];
  if (d.sign == 'Z') {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", d.local.wYear, d.local.wMonth, d.local.wDay,
                  d.local.wHour, d.local.wMinute, d.local.wSecond);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", d.local.wYear, d.local.wMonth,
                  d.local.wDay, d.local.wHour, d.local.wMinute, d.local.wSecond, d.sign, d.hours, d.minutes);
  }
  return text;
}
