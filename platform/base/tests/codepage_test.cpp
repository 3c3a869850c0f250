#include <gtest/gtest.h>

#include <string>

#include "win/base.h"
#include "win/machine.h"

namespace {

std::string ToBytes(UINT cp, kq::WStringView w, BOOL* usedDefault = nullptr) {
  const int n = WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, usedDefault);
  std::string out(static_cast<std::size_t>(n), '\0');
  EXPECT_EQ(n, WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                                   usedDefault));
  return out;
}

kq::WString ToWide(UINT cp, std::string_view b) {
  const int n = MultiByteToWideChar(cp, 0, b.data(), static_cast<int>(b.size()), nullptr, 0);
  kq::WString out(static_cast<std::size_t>(n), u'\0');
  EXPECT_EQ(n, MultiByteToWideChar(cp, 0, b.data(), static_cast<int>(b.size()), out.data(), n));
  return out;
}

struct RoundTrip {
  UINT codePage;
  kq::WString text;
  std::string bytes;
};

class CodePageRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTrip, EncodesAndDecodes) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  const auto& c = GetParam();
  EXPECT_EQ(ToBytes(c.codePage, c.text), c.bytes);
  EXPECT_EQ(ToWide(c.codePage, c.bytes), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CodePageRoundTrip,
    testing::Values(RoundTrip{1252, u"A\u20AC\u00E9\u0178", "A\x80\xE9\x9F"},
                    RoundTrip{1252, u"\u0081\u008D", "\x81\x8D"},
                    RoundTrip{CP_UTF8, u"a\u00E9\u4E2D\U0001F600", "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"},
                    RoundTrip{932, u"\u65E5\u672C", "\x93\xFA\x96\x7B"},
                    RoundTrip{936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
                    RoundTrip{949, u"\uD55C", "\xC7\xD1"},
                    RoundTrip{950, u"\u4E2D", "\xA4\xA4"},
                    RoundTrip{1251, u"\u0416", "\xC6"}),
    [](const testing::TestParamInfo<RoundTrip>& p) {
      return "cp" + std::to_string(p.param.codePage) + "_" + std::to_string(p.index);
    });

TEST(CodePage, UnmappableBecomesQuestionMarkAndIsReported) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  BOOL used = FALSE;
  EXPECT_EQ(ToBytes(CP_ACP, u"a\u4E2Db", &used), "a?b");
  EXPECT_TRUE(used);
  used = FALSE;
  EXPECT_EQ(ToBytes(CP_ACP, u"abc", &used), "abc");
  EXPECT_FALSE(used);
  // A character outside the basic plane is one default character, not two.
  EXPECT_EQ(ToBytes(1252, u"\U0001F600"), "?");
}

TEST(CodePage, AnsiCodePageIsChosenPerMachine) {
  kq::TemporaryMachine western, japanese;
  japanese->SetAnsiCodePage(932);
  {
    kq::MachineScope scope(western.Get());
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(ToBytes(CP_ACP, u"\u65E5"), "?");
  }
  {
    kq::MachineScope scope(japanese.Get());
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(ToBytes(CP_ACP, u"\u65E5"), "\x93\xFA");
  }
}

TEST(CodePage, SmallBufferFailsWithoutTruncating) {
  char out[3] = {'x', 'x', 'x'};
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abcd", 4, out, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  WCHAR wout[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wout, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, MinusOneCountsTheTerminator) {
  char out[8];
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"ab", -1, out, 8, nullptr, nullptr), 3);
  EXPECT_STREQ(out, "ab");
  WCHAR wout[8];
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", -1, wout, 8), 3);
  EXPECT_EQ(kq::WString(wout), u"ab");
}

TEST(CodePage, BadArgumentsAreInvalidParameter) {
  char out[4];
  WCHAR wout[4];
  struct Call {
    const char* what;
    int result;
  };
  const Call calls[] = {
      {"null input", WideCharToMultiByte(1252, 0, nullptr, 1, out, 4, nullptr, nullptr)},
      {"zero count", WideCharToMultiByte(1252, 0, u"a", 0, out, 4, nullptr, nullptr)},
      {"count below -1", MultiByteToWideChar(1252, 0, "a", -2, wout, 4)},
      {"unknown code page", WideCharToMultiByte(12345, 0, u"a", 1, out, 4, nullptr, nullptr)},
      {"UTF-8 with a default char", WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, 4, "?", nullptr)},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result, 0);
  }
  SetLastError(0);
  WideCharToMultiByte(1252, 0, nullptr, 1, out, 4, nullptr, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePage, InvalidInputIsReplacedOrRefused) {
  EXPECT_EQ(ToWide(CP_UTF8, "a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(ToBytes(CP_UTF8, kq::WString(1, u'\xD800')), "\xEF\xBF\xBD");
  WCHAR wout[8];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3", 2, wout, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xEF\xBF\xBD", 3, wout, 8), 1);
  // A lead byte with no trail byte in a double-byte page.
  EXPECT_EQ(ToWide(932, "a\x93"), u"a?");
}

}  // namespace
