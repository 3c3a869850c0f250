#include <gtest/gtest.h>

#include "installer.h"
#include "uninstaller.h"

namespace {

struct InstallerLine {
  const char* line;
  const char* target;
  const char* w;
};

TEST(HaskarinParse, TakesTheTargetAndTheSecondValueFromTheSwitches) {
  const InstallerLine cases[] = {
      {"-p C:\\Target", "C:\\Target", ""},
      {"-p   C:\\Target   -w x", "C:\\Target", "x"},
      {"-pC:\\Target", "C:\\Target", ""},
      // The p value runs to the end of the line when the w switch comes first.
      {"-w x -p C:\\Target", "C:\\Target", "x -p C:\\Target"},
      {"\\p C:\\Target \\w 3", "C:\\Target", "3"},
      {"-p C:\\Program Files\\Kelvo", "C:\\Program Files\\Kelvo", ""},
      {"-p \"C:\\Target\"", "\"C:\\Target\"", ""},
      // Without a p switch nothing is taken, not even the w value.
      {"-w x", "", ""},
      {"", "", ""},
      {"-P C:\\Target", "", ""},
      {"-p    ", "", ""},
      // A switch counts only at the start or after a blank: folders keep their "\w", "\p" and "-w".
      {"-p C:\\Kelvo\\web", "C:\\Kelvo\\web", ""},
      {"-p C:\\my-work", "C:\\my-work", ""},
      {"C:\\Kelvo\\pdf", "", ""},
      {"\\p C:\\Kelvo\\pdf \\w 1", "C:\\Kelvo\\pdf", "1"},
      {"-p C:\\my -work", "C:\\my", "ork"},
  };
  for (const auto& c : cases) {
    haskarin::CApplication application;
    application.Parse(c.line);
    EXPECT_EQ(application.m_pValue, c.target) << c.line;
    EXPECT_EQ(application.m_wValue, c.w) << c.line;
    EXPECT_FALSE(application.m_programFolder.empty());
    EXPECT_EQ(application.m_programFolder.back() == '\\', false);
  }
}

struct UninstallerLine {
  const char* line;
  bool parsed;
  const char* folder;
};

TEST(HaskaroutParse, TakesTheFolderAfterTheFirstSwitch) {
  const UninstallerLine cases[] = {
      {"-p C:\\Target", true, "C:\\Target\\"},
      {"-p C:\\Target\\", true, "C:\\Target\\"},
      {"-x   C:\\Target   ", true, "C:\\Target\\"},
      {"\\p C:\\Target", true, "C:\\Target\\"},
      {"-p Target", false, ""},
      {"-p", false, ""},
      {"-p    ", false, ""},
      {"", false, ""},
      {"p Target", false, ""},
      // A "-" or "\" inside a folder is no switch.
      {"p C:\\Target", false, ""},
      {"\\p C:\\my-work", true, "C:\\my-work\\"},
      // With no "-" at a switch's place, the first "\" is the switch; a "-" after a blank wins over it.
      {"\\p C:\\a -b C:\\Other", true, "C:\\Other\\"},
      {"-p /tmp/target", true, "/tmp/target\\"},
  };
  for (const auto& c : cases) {
    haskarout::CApplication application;
    EXPECT_EQ(application.Parse(c.line), c.parsed) << c.line;
    EXPECT_EQ(application.m_targetFolder, c.folder) << c.line;
  }
}

TEST(SetupHelpers, AppendBackslashAndTrimBlanks) {
  EXPECT_EQ(AppendBackslash("C:\\Target"), "C:\\Target\\");
  EXPECT_EQ(AppendBackslash("C:\\Target\\"), "C:\\Target\\");
  EXPECT_EQ(AppendBackslash("/tmp/target/"), "/tmp/target/");
  EXPECT_EQ(AppendBackslash("Target"), "Target\\");
  EXPECT_EQ(AppendBackslash(""), "");
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(FindSwitch("x-p -p", "-p"), 4u);
  EXPECT_EQ(FindSwitch("a\t-p", "-p"), 2u);
  EXPECT_EQ(FindSwitch("x-p", "-p"), std::string_view::npos);
}

}  // namespace
