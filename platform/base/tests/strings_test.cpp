#include <gtest/gtest.h>

#include "win/base.h"

namespace {

TEST(Utf, RoundTripsAndReplacesInvalid) {
  const kq::WString w = u"a\u00E9\u4E2D\U0001F600";
  EXPECT_EQ(kq::WideFromUtf8(kq::Utf8FromWide(w)), w);
  struct Case {
    std::string utf8;
    kq::WString wide;
  };
  const Case cases[] = {
      {"\xC0\xAF", u"\uFFFD\uFFFD"},          // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xE4\xB8", u"\uFFFD\uFFFD"},           // cut short
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(kq::WideFromUtf8(c.utf8), c.wide) << c.utf8;
}

TEST(WideStrings, LengthCopyCompare) {
  EXPECT_EQ(lstrlenW(u"abc"), 3);
  EXPECT_EQ(lstrlenW(nullptr), 0);
  WCHAR buf[4];
  lstrcpynW(buf, u"abcdef", 4);
  EXPECT_EQ(kq::WString(buf), u"abc");
  EXPECT_EQ(lstrcmpiW(u"Kelvo", u"KELVO"), 0);
  EXPECT_LT(lstrcmpW(u"A", u"a"), 0);
  EXPECT_TRUE(kq::EqualsIgnoreAsciiCase(u"PrinterDriverData", u"printerdriverdata"));
  EXPECT_FALSE(kq::EqualsIgnoreAsciiCase(u"\u00E9", u"\u00C9"));
}

}  // namespace
