#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "scoped_env.h"
#include "win/sysinfoapi.h"
#include "win/timezoneapi.h"

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second = 0, WORD ms = 0) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  t.wMilliseconds = ms;
  return t;
}

std::string Text(const SYSTEMTIME& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
  return text;
}

class MachineTime : public ::testing::Test {
 protected:
  kq::MachineClock& Clock() { return machine_->Service<kq::MachineClock>(); }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

// Each row: a zone, a UTC time and the local time the tz database gives for it.
struct ZoneCase {
  const char* zone;
  SYSTEMTIME utc;
  SYSTEMTIME local;  // wDayOfWeek included
};

SYSTEMTIME WithDay(SYSTEMTIME t, WORD dayOfWeek) {
  t.wDayOfWeek = dayOfWeek;
  return t;
}

TEST_F(MachineTime, LocalTimeFollowsTheZoneOfTheMachine) {
  const ZoneCase cases[] = {
      // Two hours ahead across the year change.
      {"Europe/Helsinki", At(2023, 12, 31, 23, 30), WithDay(At(2024, 1, 1, 1, 30), 1)},
      // Five hours behind on 1 March: the last day of February, in a leap year and in a common one.
      {"America/New_York", At(2024, 3, 1, 0, 30), WithDay(At(2024, 2, 29, 19, 30), 4)},
      {"America/New_York", At(2023, 3, 1, 0, 30), WithDay(At(2023, 2, 28, 19, 30), 2)},
      // Half-hour and quarter-hour zones, ahead and behind.
      {"Asia/Kolkata", At(2024, 6, 15, 20, 0), WithDay(At(2024, 6, 16, 1, 30), 0)},
      {"Asia/Kathmandu", At(2024, 6, 15, 12, 0), WithDay(At(2024, 6, 15, 17, 45), 6)},
      {"America/St_Johns", At(2024, 1, 1, 2, 0), WithDay(At(2023, 12, 31, 22, 30), 0)},
      {"Australia/Adelaide", At(2024, 1, 10, 0, 0), WithDay(At(2024, 1, 10, 10, 30), 3)},
      // Daylight time, north and south.
      {"America/New_York", At(2024, 7, 4, 12, 0), WithDay(At(2024, 7, 4, 8, 0), 4)},
      {"Europe/Berlin", At(2024, 1, 15, 12, 0), WithDay(At(2024, 1, 15, 13, 0), 1)},
      {"Europe/Berlin", At(2024, 7, 15, 12, 0), WithDay(At(2024, 7, 15, 14, 0), 1)},
      {"Australia/Sydney", At(2024, 1, 15, 12, 0), WithDay(At(2024, 1, 15, 23, 0), 1)},
      {"Australia/Sydney", At(2024, 7, 15, 12, 0), WithDay(At(2024, 7, 15, 22, 0), 1)},
      // The spring change in Berlin happens at 01:00 UTC.
      {"Europe/Berlin", At(2024, 3, 31, 0, 59, 59), WithDay(At(2024, 3, 31, 1, 59, 59), 0)},
      {"Europe/Berlin", At(2024, 3, 31, 1, 0, 0), WithDay(At(2024, 3, 31, 3, 0, 0), 0)},
      // The extremes of the world's offsets.
      {"Pacific/Kiritimati", At(2023, 12, 31, 10, 0), WithDay(At(2024, 1, 1, 0, 0), 1)},
      {"Pacific/Pago_Pago", At(2024, 1, 1, 10, 59), WithDay(At(2023, 12, 31, 23, 59), 0)},
      {"UTC", At(2024, 2, 29, 12, 34, 56), WithDay(At(2024, 2, 29, 12, 34, 56), 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + Text(c.utc));
    ASSERT_TRUE(Clock().SetTimeZone(c.zone));
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &c.utc, &local));
    EXPECT_EQ(Text(local), Text(c.local));

    // The same through the machine's clock.
    ASSERT_TRUE(Clock().SetFixedTime(c.utc));
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(Text(now), Text(c.local));
  }
}

TEST_F(MachineTime, MillisecondsPassThrough) {
  ASSERT_TRUE(Clock().SetTimeZone("Asia/Kolkata"));
  const SYSTEMTIME utc = At(2024, 5, 5, 5, 5, 5, 789);
  SYSTEMTIME local{};
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
  EXPECT_EQ(local.wMilliseconds, 789);
  EXPECT_EQ(local.wMinute, 35);
}

TEST_F(MachineTime, FixedClockAnswersGetSystemTime) {
  ASSERT_TRUE(Clock().SetFixedTime(At(2031, 12, 31, 23, 59, 58, 250)));
  SYSTEMTIME now{};
  GetSystemTime(&now);
  EXPECT_EQ(Text(now), Text(WithDay(At(2031, 12, 31, 23, 59, 58, 250), 3)));

  EXPECT_FALSE(Clock().SetFixedTime(At(2031, 2, 29, 0, 0)));  // not a leap year: the clock stays
  GetSystemTime(&now);
  EXPECT_EQ(now.wYear, 2031);

  Clock().ClearFixedTime();
  GetSystemTime(&now);
  const std::time_t host = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&host, &parts);
  EXPECT_EQ(now.wYear, parts.tm_year + 1900);
  EXPECT_EQ(now.wDayOfWeek, parts.tm_wday);
}

TEST_F(MachineTime, UnknownZonesAreRefused) {
  ASSERT_TRUE(Clock().SetTimeZone("Asia/Kolkata"));
  for (const char* name : {"", "Mars/Olympus_Mons", "../../etc/passwd", "Asia"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Clock().SetTimeZone(name));
    EXPECT_EQ(Clock().TimeZone(), "Asia/Kolkata");
  }
}

TEST_F(MachineTime, BadArgumentsAreRefused) {
  const SYSTEMTIME bad[] = {At(2023, 2, 29, 0, 0), At(2024, 13, 1, 0, 0), At(2024, 4, 31, 0, 0),
                            At(2024, 1, 1, 24, 0), At(2024, 1, 1, 0, 60), At(2024, 1, 1, 0, 0, 60),
                            At(2024, 1, 1, 0, 0, 0, 1000), At(1600, 12, 31, 0, 0), At(2024, 0, 1, 0, 0)};
  SYSTEMTIME local{};
  for (const auto& utc : bad) {
    SCOPED_TRACE(Text(utc));
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  const SYSTEMTIME good = At(2024, 1, 1, 0, 0);
  SetLastError(0);
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(nullptr, nullptr, &local));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(nullptr, &good, nullptr));
}

TEST(MachineTimeZones, TwoMachinesKeepTheirOwnZones) {
  kq::TemporaryMachine india, chile;
  ASSERT_TRUE(india->Service<kq::MachineClock>().SetTimeZone("Asia/Kolkata"));
  ASSERT_TRUE(chile->Service<kq::MachineClock>().SetTimeZone("America/Santiago"));
  const SYSTEMTIME utc = At(2024, 1, 1, 12, 0);
  SYSTEMTIME local{};
  {
    kq::MachineScope scope(india.Get());
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(Text(local), Text(WithDay(At(2024, 1, 1, 17, 30), 1)));
  }
  {
    kq::MachineScope scope(chile.Get());
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(Text(local), Text(WithDay(At(2024, 1, 1, 9, 0), 1)));  // summer time, -3
  }
}

using kq::testing::ScopedEnv;

TEST(MachineTimeZones, ANewMachineTakesTheHostZone) {
  for (const char* tz : {"Asia/Tokyo", ":Asia/Tokyo", "/usr/share/zoneinfo/Asia/Tokyo"}) {
    SCOPED_TRACE(tz);
    ScopedEnv env("TZ", tz);
    kq::TemporaryMachine machine;
    EXPECT_EQ(machine->Service<kq::MachineClock>().TimeZone(), "Asia/Tokyo");
  }
  // A zone the database does not know is passed over for the host's configuration, which always gives a zone.
  ScopedEnv env("TZ", "Nowhere/Land");
  const std::string configured = kq::MachineClock::ConfiguredTimeZone();
  EXPECT_NE(configured, "Nowhere/Land");
  kq::TemporaryMachine machine;
  EXPECT_EQ(machine->Service<kq::MachineClock>().TimeZone(), configured);
  EXPECT_TRUE(machine->Service<kq::MachineClock>().SetTimeZone(configured));
}

// A zone given by rules must agree with the tz database wherever the rules are the zone's current ones.
struct RuleCase {
  const char* zone;
  TIME_ZONE_INFORMATION rules;
};

TIME_ZONE_INFORMATION Rules(LONG bias, LONG daylightBias, SYSTEMTIME toDaylight, SYSTEMTIME toStandard) {
  TIME_ZONE_INFORMATION z{};
  z.Bias = bias;
  z.DaylightBias = daylightBias;
  z.DaylightDate = toDaylight;
  z.StandardDate = toStandard;
  return z;
}

// The wDay-th (5 = last) weekday of a month at a local hour, recurring every year.
SYSTEMTIME Recurring(WORD month, WORD week, WORD dayOfWeek, WORD hour) {
  SYSTEMTIME t{};
  t.wMonth = month;
  t.wDay = week;
  t.wDayOfWeek = dayOfWeek;
  t.wHour = hour;
  return t;
}

TEST_F(MachineTime, RuleZonesAgreeWithTheDatabase) {
  const RuleCase cases[] = {
      {"America/New_York", Rules(300, -60, Recurring(3, 2, 0, 2), Recurring(11, 1, 0, 2))},
      {"Europe/Berlin", Rules(-60, -60, Recurring(3, 5, 0, 2), Recurring(10, 5, 0, 3))},
      {"Australia/Sydney", Rules(-600, -60, Recurring(10, 1, 0, 2), Recurring(4, 1, 0, 3))},
      {"Asia/Kolkata", Rules(-330, 0, SYSTEMTIME{}, SYSTEMTIME{})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zone);
    ASSERT_TRUE(Clock().SetTimeZone(c.zone));
    // Every 97 minutes through 2024 and 2025, which lands on all hours and many minutes.
    int checked = 0;
    for (long minutes = 0; minutes < 2L * 366 * 24 * 60; minutes += 97) {
      std::tm parts{};
      const std::time_t instant = 1704067200 + minutes * 60;  // 2024-01-01T00:00:00Z
      gmtime_r(&instant, &parts);
      const SYSTEMTIME utc = At(static_cast<WORD>(parts.tm_year + 1900), static_cast<WORD>(parts.tm_mon + 1),
               static_cast<WORD>(parts.tm_mday), static_cast<WORD>(parts.tm_hour), static_cast<WORD>(parts.tm_min));
      SYSTEMTIME fromRules{}, fromDatabase{};
      ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&c.rules, &utc, &fromRules)) << Text(utc);
      ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &fromDatabase));
      ASSERT_EQ(Text(fromRules), Text(fromDatabase)) << Text(utc);
      ++checked;
    }
    EXPECT_GT(checked, 10000);
  }
}

TEST_F(MachineTime, RuleZoneChangesAtTheSecond) {
  const auto berlin = Rules(-60, -60, Recurring(3, 5, 0, 2), Recurring(10, 5, 0, 3));
  const struct {
    SYSTEMTIME utc;
    SYSTEMTIME local;
  } cases[] = {
      {At(2024, 3, 31, 0, 59, 59), At(2024, 3, 31, 1, 59, 59)},
      {At(2024, 3, 31, 1, 0, 0), At(2024, 3, 31, 3, 0, 0)},
      {At(2024, 10, 27, 0, 59, 59), At(2024, 10, 27, 2, 59, 59)},
      {At(2024, 10, 27, 1, 0, 0), At(2024, 10, 27, 2, 0, 0)},
  };
  for (const auto& c : cases) {
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&berlin, &c.utc, &local));
    EXPECT_EQ(Text(local), Text(WithDay(c.local, 0))) << Text(c.utc);
  }
}

TEST_F(MachineTime, AbsoluteRulesApplyToTheirYearOnly) {
  SYSTEMTIME toDaylight = At(2024, 4, 1, 0, 0);
  SYSTEMTIME toStandard = At(2024, 9, 1, 0, 0);
  const auto zone = Rules(0, -60, toDaylight, toStandard);
  SYSTEMTIME local{};
  const SYSTEMTIME in2024 = At(2024, 6, 1, 12, 0), in2025 = At(2025, 6, 1, 12, 0);
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&zone, &in2024, &local));
  EXPECT_EQ(local.wHour, 13);
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&zone, &in2025, &local));
  EXPECT_EQ(local.wHour, 12);
}

TEST_F(MachineTime, InvalidRulesAreRefused) {
  const SYSTEMTIME utc = At(2024, 6, 1, 12, 0);
  const TIME_ZONE_INFORMATION bad[] = {
      Rules(0, -60, Recurring(3, 6, 0, 2), Recurring(10, 5, 0, 3)),   // week 6
      Rules(0, -60, Recurring(3, 5, 7, 2), Recurring(10, 5, 0, 3)),   // day of week 7
      Rules(0, -60, Recurring(3, 5, 0, 24), Recurring(10, 5, 0, 3)),  // hour 24
      Rules(0, -60, Recurring(13, 5, 0, 2), Recurring(10, 5, 0, 3)),  // month 13
  };
  for (const auto& zone : bad) {
    SYSTEMTIME local{};
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&zone, &utc, &local));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}

}  // namespace
