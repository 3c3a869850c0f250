#include <gtest/gtest.h>

#include "win/base.h"

namespace {

TEST(FormatWide, Conversions) {
  EXPECT_EQ(kq::FormatWideString(u"%d|%u|%s|%%|%c", -5, 4000000000u, u"w\u00E9", u'Z'), u"-5|4000000000|w\u00E9|%|Z");
  EXPECT_EQ(kq::FormatWideString(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)");
  EXPECT_EQ(kq::FormatWideString(u"100%"), u"100%");
  EXPECT_EQ(kq::FormatWideString(u"%x"), u"%x");
}

TEST(FormatWide, BufferSizeHolds) {
  WCHAR buf[6];
  EXPECT_EQ(kq::FormatWide(buf, 6, u"%s-%d", u"ab", 12), 5);
  EXPECT_EQ(kq::WString(buf), u"ab-12");
  EXPECT_EQ(kq::FormatWide(buf, 6, u"%s-%d", u"ab", 123), -1);
  EXPECT_EQ(kq::WString(buf), u"ab-12");
  EXPECT_EQ(kq::FormatWide(buf, 0, u"x"), -1);
}

}  // namespace
