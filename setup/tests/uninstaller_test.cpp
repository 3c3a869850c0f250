#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "installer.h"
#include "setup_fixture.h"
#include "uninstaller.h"

namespace {

using setup_testing::kUpdatesKey;

class HaskaroutTest : public setup_testing::SetupFixture {
 protected:
  HaskaroutTest() {
    MakeFolder("C:\\Target");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\Mozilla Firefox", "Plugins", "C:\\Firefox");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\Mozilla Thunderbird\\bin", "Plugins", "C:\\Thunderbird");
    SetString(HKEY_CURRENT_USER, "Software\\Opera Software", "Plugin Path", "C:\\Opera");
    haskarin::CApplication installer;
    installer.Parse("-p C:\\Target");
    installer.m_programFolder = setup_testing::kProgramFolder;
    EXPECT_EQ(installer.Install(), haskarin::kInstalledAll);
    // The installer leaves Thunderbird alone; its own copy of the library is there all the same.
    MakeFolder("C:\\Thunderbird");
    WriteFile("C:\\Thunderbird\\npOrmel.dll", "plug-in library");
  }

  static bool Uninstall(const std::string& line) {
    haskarout::CApplication application;
    if (!application.Parse(line)) return false;
    application.Uninstall();
    return true;
  }
};

TEST_F(HaskaroutTest, RemovesTheControlTheLibraryCopiesAndTheRecordedPaths) {
  ASSERT_TRUE(ControlRegistered());
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, kUpdatesKey));
  EXPECT_TRUE(Uninstall("-p C:\\Target"));
  EXPECT_FALSE(ControlRegistered());
  EXPECT_FALSE(Exists("C:\\Target\\Lirriel.ocx"));
  for (const char* file : {"C:\\Target\\npOrmel.dll", "C:\\Firefox\\npOrmel.dll", "C:\\Thunderbird\\npOrmel.dll",
                           "C:\\Opera\\npOrmel.dll"})
    EXPECT_FALSE(Exists(file)) << file;
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUpdatesKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Kelvo Software\\Kelvo Quenzar\\Updates List"));
  // The folders themselves stay, and a second run finds nothing to do.
  EXPECT_TRUE(Exists("C:\\Firefox"));
  EXPECT_TRUE(Uninstall("-p C:\\Target"));
}

TEST_F(HaskaroutTest, AControlWithoutItsExportIsKept) {
  std::filesystem::copy_file(setup_testing::kControlWithout, Host("C:\\Target\\Lirriel.ocx"),
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_TRUE(Uninstall("-p C:\\Target"));
  EXPECT_TRUE(Exists("C:\\Target\\Lirriel.ocx"));
  EXPECT_TRUE(ControlRegistered());
  EXPECT_FALSE(Exists("C:\\Target\\npOrmel.dll"));
  // A file that is no library is passed over too.
  WriteFile("C:\\Target\\Lirriel.ocx", "not a library");
  EXPECT_TRUE(Uninstall("-p C:\\Target"));
  EXPECT_TRUE(Exists("C:\\Target\\Lirriel.ocx"));
}

TEST_F(HaskaroutTest, MissingBrowserFoldersAreNotTouched) {
  std::filesystem::remove_all(Host("C:\\Opera"));
  std::filesystem::remove_all(Host("C:\\Firefox"));
  EXPECT_TRUE(Uninstall("\\p C:\\Target"));
  EXPECT_FALSE(Exists("C:\\Opera"));
  EXPECT_FALSE(Exists("C:\\Firefox"));
  EXPECT_FALSE(Exists("C:\\Thunderbird\\npOrmel.dll"));
}

// The real program on this machine's state root: its exit code and that a bad line changes nothing.
TEST_F(HaskaroutTest, ProgramExitsWithOneForALineWithoutAFolder) {
  auto run = [&](const std::string& arguments) {
    const std::string command = "KQ_ROOT='" + machine_->Root().string() + "' '" + KQ_BINARY_DIR +
                                "/bin/Haskarout' " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run("p Target"), haskarout::kNoFolder);
  EXPECT_EQ(run("-p Target"), haskarout::kNoFolder);
  EXPECT_EQ(run(""), haskarout::kNoFolder);
  EXPECT_TRUE(Exists("C:\\Target\\Lirriel.ocx"));
  EXPECT_TRUE(ControlRegistered());
  EXPECT_EQ(run("'-p C:\\Target'"), haskarout::kUninstalled);
  EXPECT_FALSE(Exists("C:\\Target\\Lirriel.ocx"));
  EXPECT_FALSE(ControlRegistered());
  EXPECT_FALSE(Exists("C:\\Thunderbird\\npOrmel.dll"));
  EXPECT_EQ(run("'-p C:\\Target'"), haskarout::kUninstalled);
}

}  // namespace
