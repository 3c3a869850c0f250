#include <gtest/gtest.h>

#include <cstdlib>

#include "sarnoth/service.h"
#include "win/processthreadsapi.h"

namespace {

// Sets the service's address for one test.
class ServiceSetting {
 public:
  explicit ServiceSetting(const char* value) {
    if (const char* old = std::getenv(sarnoth::kServiceSetting)) saved_ = old;
    if (value)
      setenv(sarnoth::kServiceSetting, value, 1);
    else
      unsetenv(sarnoth::kServiceSetting);
  }
  ~ServiceSetting() {
    if (saved_)
      setenv(sarnoth::kServiceSetting, saved_->c_str(), 1);
    else
      unsetenv(sarnoth::kServiceSetting);
  }

 private:
  std::optional<std::string> saved_;
};

TEST(ToolCommandLine, GoldenForBlanksSemicolonsAndAmpersands) {
  ServiceSetting setting(nullptr);
  const std::string tool = sarnoth::ToolPathBeside("Z:\\opt\\Kelvo Reader\\plug_ins\\libSarnoth.so");
  EXPECT_EQ(tool, "Z:\\opt\\Kelvo Reader\\plug_ins\\curl\\curl.exe");
  const auto line = sarnoth::ToolCommandLine(tool, "Z:\\home\\ann\\My docs\\Q1; draft & notes.pdf",
                                             "Q1; draft & notes.pdf",
                                             sarnoth::ServiceAddress(true, "/uploadfromdesktop.asp"));
  ASSERT_TRUE(line);
  EXPECT_EQ(*line,
            R"("Z:\opt\Kelvo Reader\plug_ins\curl\curl.exe" --fail -F )"
            R"("file=@\"Z:\\home\\ann\\My docs\\Q1; draft & notes.pdf\";filename=\"Q1; draft & notes.pdf\"" )"
            R"("https://www.vendrel.com/uploadfromdesktop.asp")");
}

TEST(ToolCommandLine, TheToolReceivesTheFormFieldInItsQuotedForm) {
  struct Case {
    const char* path;
    const char* name;
    const char* field;  // what the tool gets as the argument after -F
  } const cases[] = {
      {"C:\\a b\\x.pdf", "x.pdf", R"(file=@"C:\\a b\\x.pdf";filename="x.pdf")"},
      {"C:\\q\\say \"hi\".pdf", "say \"hi\".pdf", R"(file=@"C:\\q\\say \"hi\".pdf";filename="say \"hi\".pdf")"},
      {"\\\\server\\share\\", "", R"(file=@"\\\\server\\share\\";filename="")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const auto line = sarnoth::ToolCommandLine("C:\\t\\curl\\curl.exe", c.path, c.name, "https://h/u");
    ASSERT_TRUE(line);
    const auto arguments = kq::SplitCommandLine(kq::WideFromUtf8(*line));
    ASSERT_EQ(arguments.size(), 5u);
    EXPECT_EQ(kq::Utf8FromWide(arguments[0]), "C:\\t\\curl\\curl.exe");
    EXPECT_EQ(kq::Utf8FromWide(arguments[1]), "--fail");
    EXPECT_EQ(kq::Utf8FromWide(arguments[2]), "-F");
    EXPECT_EQ(kq::Utf8FromWide(arguments[3]), c.field);
    EXPECT_EQ(kq::Utf8FromWide(arguments[4]), "https://h/u");
  }
  EXPECT_FALSE(sarnoth::ToolCommandLine("t", std::string(sarnoth::kMaxCommandLine, 'a'), "a", "u"));
}

TEST(ServiceAddresses, TheSettingPointsElsewhere) {
  {
    ServiceSetting setting(nullptr);
    EXPECT_EQ(sarnoth::ServiceAddress(false, "/help/help.asp"), "http://www.vendrel.com/help/help.asp");
    EXPECT_EQ(sarnoth::ErrorAddress(6), "http://www.vendrel.com/desktopprintererror.asp?errorcode=6");
  }
  ServiceSetting setting("127.0.0.1:8443");
  EXPECT_EQ(sarnoth::ServiceAddress(true, "/login.asp"), "https://127.0.0.1:8443/login.asp");
}

TEST(ResultAddress, AnswersAreEncodedAndOnlyFileNamesAreTaken) {
  const std::string page = "http://h/savefromdesktop.asp";
  EXPECT_EQ(sarnoth::ResultAddress(page, "abc", "report.pdf"),
            "http://h/savefromdesktop.asp?filename=abc&originalfilename=report.pdf");
  EXPECT_EQ(sarnoth::ResultAddress(page, "a b&c=d/e%", "Q1; x&y.pdf"),
            "http://h/savefromdesktop.asp?filename=a%20b%26c%3Dd%2Fe%25&originalfilename=Q1%3B%20x%26y.pdf");
  EXPECT_EQ(sarnoth::PercentEncode("\xE9-._~"), "%E9-._~");
  for (const std::string& bad : {std::string(), std::string("a\nb"), std::string("abc\r\n"),
                                std::string(sarnoth::kMaxAnswer + 1, 'x')}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(sarnoth::ResultAddress(page, bad, "report.pdf"));
  }
  EXPECT_TRUE(sarnoth::ResultAddress(page, std::string(sarnoth::kMaxAnswer, 'x'), "report.pdf"));
}

TEST(ToolErrorCode, ReadsCurlsNumber) {
  EXPECT_EQ(sarnoth::ToolErrorCode("curl: (6) Could not resolve host: nowhere\n"), 6);
  EXPECT_EQ(sarnoth::ToolErrorCode("  % Total    % Received\r  0 0\ncurl: (7) Failed to connect\n"), 7);
  EXPECT_EQ(sarnoth::ToolErrorCode("curl: something else"), 0);
  EXPECT_EQ(sarnoth::ToolErrorCode("no tool message"), std::nullopt);
}

}  // namespace
