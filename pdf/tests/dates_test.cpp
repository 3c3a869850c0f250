#include <gtest/gtest.h>

#include "pdf/dates.h"
#include "win/machine.h"

namespace {

SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

TEST(Dates, AreLocalWithTheirOffsetFromUtc) {
  struct Case {
    const char* zone;
    SYSTEMTIME utc;
    const char* pdf;
    const char* xmp;
  } const cases[] = {
      {"UTC", Utc(2024, 3, 5, 14, 7, 9), "(D:20240305140709Z00'00')", "2024-03-05T14:07:09Z"},
      // Two hours ahead across the year's end.
      {"Etc/GMT-2", Utc(2023, 12, 31, 23, 30, 0), "(D:20240101013000+02'00')", "2024-01-01T01:30:00+02:00"},
      // Five hours behind, back into February, in a common and in a leap year.
      {"Etc/GMT+5", Utc(2023, 3, 1, 0, 30, 0), "(D:20230228193000-05'00')", "2023-02-28T19:30:00-05:00"},
      {"Etc/GMT+5", Utc(2024, 3, 1, 0, 30, 0), "(D:20240229193000-05'00')", "2024-02-29T19:30:00-05:00"},
      // Half-hour and quarter-hour zones, ahead and behind, with and without daylight time.
      {"Asia/Kolkata", Utc(2024, 6, 15, 20, 0, 59), "(D:20240616013059+05'30')", "2024-06-16T01:30:59+05:30"},
      {"America/St_Johns", Utc(2024, 1, 1, 2, 0, 0), "(D:20231231223000-03'30')", "2023-12-31T22:30:00-03:30"},
      {"America/St_Johns", Utc(2024, 7, 1, 12, 0, 0), "(D:20240701093000-02'30')", "2024-07-01T09:30:00-02:30"},
      {"Australia/Adelaide", Utc(2024, 1, 10, 14, 0, 0), "(D:20240111003000+10'30')", "2024-01-11T00:30:00+10:30"},
      {"Asia/Kathmandu", Utc(2024, 5, 1, 12, 0, 0), "(D:20240501174500+05'45')", "2024-05-01T17:45:00+05:45"},
      // Twelve and more hours apart: the date alone says which way.
      {"Pacific/Kiritimati", Utc(2024, 2, 28, 12, 0, 0), "(D:20240229020000+14'00')", "2024-02-29T02:00:00+14:00"},
      {"Etc/GMT+12", Utc(2024, 1, 1, 11, 59, 0), "(D:20231231235900-12'00')", "2023-12-31T23:59:00-12:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.pdf);
    kq::TemporaryMachine machine;
    kq::MachineScope scope(machine.Get());
    ASSERT_TRUE(machine->Service<kq::MachineClock>().SetTimeZone(c.zone));
    EXPECT_EQ(PdfDateString(c.utc), c.pdf);
    EXPECT_EQ(XmpDateString(c.utc), c.xmp);
  }
}

}  // namespace
