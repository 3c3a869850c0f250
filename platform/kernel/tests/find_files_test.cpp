#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "win/findfile.h"
#include "win/machine.h"
#include "win/paths.h"

namespace {

class FindFilesTest : public ::testing::Test {
 protected:
  FindFilesTest() : scope_(machine_.Get()) {
    const auto docs = machine_->Root() / "drive_c" / "Docs";
    std::filesystem::create_directories(docs / "Sub.pdf");
    for (const char* name : {"b.pdf", "A.PDF", "notes.txt"}) std::ofstream(docs / name) << "1234";
  }
  std::vector<std::string> Names(const char16_t* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      names.push_back(kq::Utf8FromWide(data.cFileName));
    } while (FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
  }
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
};

TEST_F(FindFilesTest, MatchesTheLastPartWithWildcardsIgnoringCase) {
  EXPECT_EQ(Names(u"C:\\Docs\\*.pdf"), (std::vector<std::string>{"A.PDF", "Sub.pdf", "b.pdf"}));
  EXPECT_EQ(Names(u"C:\\Docs\\?.pdf"), (std::vector<std::string>{"A.PDF", "b.pdf"}));
  EXPECT_EQ(Names(u"C:\\Docs\\NOTES.TXT"), std::vector<std::string>{"notes.txt"});
  EXPECT_TRUE(Names(u"C:\\Docs\\missing.pdf").empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(Names(u"C:\\Nowhere\\*.pdf").empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  WIN32_FIND_DATAA narrow;
  HANDLE find = FindFirstFileA("C:\\Docs\\b.pdf", &narrow);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(narrow.cFileName, "b.pdf");
  EXPECT_EQ(narrow.nFileSizeLow, 4u);
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindClose(find));
}

TEST_F(FindFilesTest, ShortPathsAreThePathsThemselves) {
  char buffer[64] = {};
  EXPECT_EQ(GetShortPathNameA("C:\\Docs\\b.pdf", buffer, sizeof buffer), 13u);
  EXPECT_STREQ(buffer, "C:\\Docs\\b.pdf");
  EXPECT_EQ(GetShortPathNameA("C:\\Docs\\b.pdf", buffer, 13), 14u);
  EXPECT_EQ(GetShortPathNameA("C:\\Docs\\missing.pdf", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
