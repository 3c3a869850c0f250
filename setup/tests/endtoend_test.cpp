// The real programs with the real control, copied beside them as "Lirriel.ocx", on a fresh state root.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "setup_fixture.h"
#include "win/paths.h"

namespace {

class SetupEndToEnd : public setup_testing::SetupFixture {
 protected:
  int Run(const std::string& program, const std::string& arguments) {
    const std::string command = "KQ_ROOT='" + machine_->Root().string() + "' '" + KQ_BINARY_DIR + "/bin/" + program +
                                "' " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Default(const std::string& key) { return Value(HKEY_CLASSES_ROOT, key, "").value_or("(none)"); }
};

TEST_F(SetupEndToEnd, InstallsAndRegistersTheControlThenTakesEverythingAway) {
  MakeFolder("C:\\Target");
  MakeFolder("C:\\Firefox");
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\Mozilla Firefox\\bin", "Plugins", "C:\\Firefox\\plugins");
  SetString(HKEY_CURRENT_USER, "Software\\Opera Software", "Plugin Path", "C:\\Opera");

  ASSERT_EQ(Run("Haskarin", "'-p C:\\Target'"), 0);
  for (const char* file : {"C:\\Target\\npOrmel.dll", "C:\\Firefox\\plugins\\npOrmel.dll", "C:\\Opera\\npOrmel.dll"})
    EXPECT_NE(ReadFile(file).find("Stand-in"), std::string::npos) << file;
  EXPECT_TRUE(Exists("C:\\Target\\Lirriel.ocx"));
  // The control registered itself from the copied file.
  EXPECT_EQ(Default(setup_testing::kClassKey), "Lirriel Control");
  EXPECT_EQ(Default(setup_testing::kProgIdKey), "Lirriel Control");
  const std::string server = Default(std::string(setup_testing::kClassKey) + "\\InprocServer32");
  EXPECT_NE(server.find("Target\\Lirriel.ocx"), std::string::npos) << server;
  EXPECT_EQ(Value(HKEY_CURRENT_USER, setup_testing::kUpdatesKey, "SetupPath1"), "C:\\Firefox\\plugins\\npOrmel.dll");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, setup_testing::kUpdatesKey, "SetupPath2"), "C:\\Target\\Lirriel.ocx");

  ASSERT_EQ(Run("Haskarout", "'-p C:\\Target'"), 0);
  EXPECT_FALSE(ControlRegistered());
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{285FA90B-649B-49F3-A1A2-E216FFBD2AE7}"));
  for (const char* file : {"C:\\Target\\Lirriel.ocx", "C:\\Target\\npOrmel.dll", "C:\\Firefox\\plugins\\npOrmel.dll",
                           "C:\\Opera\\npOrmel.dll"})
    EXPECT_FALSE(Exists(file)) << file;
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, setup_testing::kUpdatesKey));
}

// Folders as a person on this machine names them: POSIX paths (Z: paths to the programs) and names beyond ASCII
// that the ANSI code page holds; a name it cannot hold is no folder the programs can copy to.
TEST_F(SetupEndToEnd, OrdinaryFoldersAndNamesFromTheCommandLine) {
  const std::filesystem::path host = machine_->Root() / "host";
  std::filesystem::create_directories(host / "target");
  std::filesystem::create_directories(host / "Zielordner \u00fc");
  ASSERT_EQ(Run("kqbrowsers", "--firefox '" + (host / "firefox").string() + "' --opera '" + (host / "opera").string() +
                                  "'"),
            0);

  ASSERT_EQ(Run("Haskarin", "-p '" + (host / "target").string() + "'"), 0);
  for (const char* file : {"target/npOrmel.dll", "target/Lirriel.ocx", "firefox/npOrmel.dll", "opera/npOrmel.dll"})
    EXPECT_TRUE(std::filesystem::exists(host / file)) << file;
  const std::string server = Default(std::string(setup_testing::kClassKey) + "\\InprocServer32");
  EXPECT_EQ(server, kq::AnsiFromTyped((host / "target" / "Lirriel.ocx").string()));
  ASSERT_EQ(Run("Haskarout", "-p '" + (host / "target").string() + "'"), 0);
  EXPECT_FALSE(ControlRegistered());
  for (const char* file : {"target/npOrmel.dll", "target/Lirriel.ocx", "firefox/npOrmel.dll", "opera/npOrmel.dll"})
    EXPECT_FALSE(std::filesystem::exists(host / file)) << file;

  // A blank and a u-umlaut, which code page 1252 holds.
  ASSERT_EQ(Run("Haskarin", "-p '" + (host / "Zielordner \u00fc").string() + "'"), 0);
  EXPECT_TRUE(std::filesystem::exists(host / "Zielordner \u00fc" / "Lirriel.ocx"));
  EXPECT_TRUE(ControlRegistered());
  ASSERT_EQ(Run("Haskarout", "-p '" + (host / "Zielordner \u00fc").string() + "'"), 0);
  EXPECT_FALSE(ControlRegistered());
  EXPECT_FALSE(std::filesystem::exists(host / "Zielordner \u00fc" / "Lirriel.ocx"));

  // Chinese, which it does not: the target copy fails, as for any folder that cannot be written.
  std::filesystem::create_directories(host / "\u76ee\u6807");
  EXPECT_EQ(Run("Haskarin", "-p '" + (host / "\u76ee\u6807").string() + "'"), 7);
  EXPECT_TRUE(std::filesystem::is_empty(host / "\u76ee\u6807"));
  EXPECT_FALSE(ControlRegistered());
}

TEST_F(SetupEndToEnd, NoBrowserFolderGivesNineAndLeavesTheControlAlone) {
  MakeFolder("C:\\Target");
  EXPECT_EQ(Run("Haskarin", "-p C:\\\\Target"), 9);
  EXPECT_FALSE(Exists("C:\\Target\\Lirriel.ocx"));
  EXPECT_FALSE(ControlRegistered());
}

}  // namespace
