#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include <limits>

#include "pdf/tokens.h"
#include "win/machine.h"

namespace {

using namespace std::string_literals;

struct NumberCase {
  double value;
  const char* text;
};

TEST(Tokens, RealToString) {
  const NumberCase cases[] = {
      {1.5, "1.5"},       {100.0, "100"},    {0.0001, "0"},       {-0.0001, "-0"},     {12.3456, "12.346"},
      {1e20, "100000000000000000000"},       {0.502, "0.502"},     {-2.25, "-2.25"},    {0.0, "0"},
      {612, "612"},       {-0.0, "-0"},      {0.0005, "0.001"},    {841.92, "841.92"},
      {std::nan(""), "0"}, {HUGE_VAL, "0"}, {-HUGE_VAL, "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(RealToString(c.value), c.text);
  }
  // The largest doubles come out whole, with no fixed buffer to overflow.
  const std::string huge = RealToString(-std::numeric_limits<double>::max());
  EXPECT_EQ(huge.size(), 310u);
  EXPECT_EQ(huge.substr(0, 5), "-1797");
}

// Against the C library's "%.3f", trimmed: values near the halves of a thousandth, where a product by 1000 could
// round the wrong way, and values spread over the magnitudes a page's content holds.
TEST(Tokens, RealToStringRoundsAsPercentThreeF) {
  const auto expected = [](double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string trimmed = text;
    while (trimmed.back() == '0') trimmed.pop_back();
    if (trimmed.back() == '.') trimmed.pop_back();
    return trimmed;
  };
  std::vector<double> values = {0.0015, 1.0005, 2.675, 1.2345, 999999.9995, 1e6 - 0.0005, 1e6, 4503599627.3705};
  for (int i = -20000; i <= 20000; ++i) {
    const double half = (i + 0.5) / 1000;
    values.insert(values.end(), {half, std::nextafter(half, 0.0), std::nextafter(half, 1e9), half * 997.0});
  }
  std::uint64_t state = 88172645463325252u;
  for (int i = 0; i < 20000; ++i) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    values.push_back(std::ldexp(static_cast<double>(state >> 11), -53) * std::pow(10.0, i % 9) * (i % 2 ? -1 : 1));
  }
  for (double value : values) ASSERT_EQ(RealToString(value), expected(value)) << std::hexfloat << value;
}

TEST(Tokens, FormatGIsPercentGWithoutExponents) {
  const NumberCase cases[] = {
      // Where "%g" has no exponent, its text unchanged.
      {0.24, "0.24"}, {190.08, "190.08"}, {612, "612"}, {-0.24, "-0.24"}, {0, "0"}, {123456, "123456"},
      {0.0001, "0.0001"}, {1.0 / 3, "0.333333"}, {2.5e-3, "0.0025"},
      // Where it would write an exponent, the same six digits in plain decimal.
      {1234567, "1234570"}, {1e6, "1000000"}, {999999.5, "1000000"}, {1e-5, "0.00001"},
      {0.000012345678, "0.0000123457"}, {-1.5e-7, "-0.00000015"}, {1e20, "100000000000000000000"},
      {std::nan(""), "0"}, {HUGE_VAL, "0"}, {-HUGE_VAL, "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatG(c.value), c.text);
  }
  EXPECT_EQ(FormatG(1e300), "1" + std::string(300, '0'));
  EXPECT_EQ(FormatG(-1e-300), "-0." + std::string(299, '0') + "1");
}

TEST(Tokens, IntToString) {
  EXPECT_EQ(IntToString(0), "0");
  EXPECT_EQ(IntToString(-17), "-17");
  EXPECT_EQ(IntToString(INT_MIN), "-2147483648");
}

TEST(Tokens, EscapePdfName) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"Times New Roman", "Times#20New#20Roman"},
      {"/Times New Roman", "/Times#20New#20Roman"},
      {"A#B", "A#23B"},
      {"/Arial,Bold", "/Arial,Bold"},
      {"/A(B)", "/A#28B#29"},
      {"/a/b", "/a#2Fb"},
      {"<>[]{}%", "#3C#3E#5B#5D#7B#7D#25"},
      {std::string("\x00\x09\x7F\x80\xFF", 5), "#00#09#7F#80#FF"},
      {"/", "/"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(EscapePdfName(c.in), c.out);
  }
}

class Literals : public ::testing::Test {
 protected:
  Literals() : scope_(machine_.Get()) {}
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
};

TEST_F(Literals, WideToPdfLiteral) {
  struct Case {
    kq::WString in;
    std::string out;
  };
  const Case cases[] = {
      {u"abc", "(abc)"},
      {u"", "()"},
      {u"a(b)c\\", "(a\\(b\\)c\\\\)"},
      {u"caf\u00E9 \u20AC", "(caf\xE9 \x80)"},
      {u"\u4E2D\U0001F600", "(?" "?)"},  // what the code page lacks; a surrogate pair is one character
      {kq::WString(300, u'a'), "(" + std::string(255, 'a') + ")"},
      {kq::WString(255, u'a') + u"\u00E9", "(" + std::string(255, 'a') + ")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    EXPECT_EQ(WideToPdfLiteral(c.in), c.out);
  }
  // The limit holds for the converted bytes; the escapes come on top.
  std::string parentheses = "(";
  for (int i = 0; i < 255; ++i) parentheses += "\\(";
  EXPECT_EQ(WideToPdfLiteral(kq::WString(300, u'(')), parentheses + ")");
  // A very long text costs no more than a short one.
  EXPECT_EQ(WideToPdfLiteral(kq::WString(1'000'000, u'x')).size(), 257u);
}

TEST_F(Literals, TheLimitNeverSplitsADoubleByteCharacter) {
  machine_->SetAnsiCodePage(932);
  const kq::WString kanji = u"\u65E5";  // two bytes in code page 932
  const std::string kanjiBytes = "\x93\xFA";
  EXPECT_EQ(WideToPdfLiteral(kq::WString(253, u'a') + kanji), "(" + std::string(253, 'a') + kanjiBytes + ")");
  EXPECT_EQ(WideToPdfLiteral(kq::WString(254, u'a') + kanji + u"b"), "(" + std::string(254, 'a') + ")");
  std::string many;
  for (int i = 0; i < 127; ++i) many += kanjiBytes;
  EXPECT_EQ(WideToPdfLiteral(kq::WString(200, u'\u65E5')), "(" + many + ")");
}

TEST_F(Literals, WholeStringsKeepEveryCharacterInTheCodePageOrAsUtf16) {
  struct Case {
    UINT codePage;
    kq::WString in;
    std::string bytes;
  };
  const Case cases[] = {
      {1252, u"intro", "intro"},
      {1252, u"caf\u00E9", "caf\xE9"},
      {1252, kq::WString(300, u'a'), std::string(300, 'a')},  // no length limit
      {1252, u"\u65E5x", "\xFE\xFF\x65\xE5\0x"s},
      {1252, u"\u00FE\u00FF", "\xFE\xFF\0\xFE\0\xFF"s},  // would open as a byte-order mark
      {932, u"\u65E5x", "\x93\xFAx"},                     // the code page holds it: its bytes, as before
      {932, u"\u00E9", "\xFE\xFF\0\xE9"s},                // 932 has no é: no best-fit "e"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    machine_->SetAnsiCodePage(c.codePage);
    EXPECT_EQ(PdfStringBytes(c.in), c.bytes);
  }
  EXPECT_EQ(PdfLiteralFromBytes("a(b)\\\r\n"), "(a\\(b\\)\\\\\\015\\012)");
  EXPECT_EQ(PdfUriBytes(u"http://x/\u00E9 \u65E5\x01%41"), "http://x/%C3%A9 %E6%97%A5%01%41");
}

}  // namespace
