// Time zone conversion of system times.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/sysinfoapi.h"

// A zone described by its rules. Biases are minutes that are added to local time to give UTC. A zone with daylight
// time names its two changes in StandardDate and DaylightDate (local time of the change): with wYear 0 they recur
// every year on the wDay-th (1 to 4, 5 = last) wDayOfWeek of wMonth; with a year they happen only on that date.
// wMonth 0 means no daylight time.
struct TIME_ZONE_INFORMATION {
  LONG Bias;
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
static_assert(sizeof(TIME_ZONE_INFORMATION) == 172);
static_assert(offsetof(TIME_ZONE_INFORMATION, StandardDate) == 68);
static_assert(offsetof(TIME_ZONE_INFORMATION, DaylightBias) == 168);
using LPTIME_ZONE_INFORMATION = TIME_ZONE_INFORMATION*;
using PTIME_ZONE_INFORMATION = TIME_ZONE_INFORMATION*;

// `utc` in the given zone; a null zone is the machine's current zone, from the tz database. FALSE with
// ERROR_INVALID_PARAMETER when a pointer is null, `utc` is not a valid date and time or the zone's rules are not
// valid.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc, LPSYSTEMTIME local);
