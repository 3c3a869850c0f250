#include <gtest/gtest.h>

#include "installer.h"
#include "setup_fixture.h"

namespace {

using setup_testing::kProgramFolder;
using setup_testing::kUpdatesKey;

class HaskarinTest : public setup_testing::SetupFixture {
 protected:
  int Install(const std::string& line = "-p C:\\Target") {
    haskarin::CApplication application;
    application.Parse(line);
    application.m_programFolder = kProgramFolder;
    return application.Install();
  }
  static void AddPlugins(const std::string& key, const std::string& folder) {
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\" + key, "Plugins", folder);
  }
  static void SetOpera(const std::string& folder, bool withZero = true) {
    SetString(HKEY_CURRENT_USER, "Software\\Opera Software", "Plugin Path", folder, withZero);
  }
  void ExpectInstalledIn(const std::string& folder) {
    EXPECT_EQ(ReadFile(folder + "\\npOrmel.dll"), "plug-in library") << folder;
  }
};

TEST_F(HaskarinTest, ExitCodesSayWhichBrowsersGotTheLibrary) {
  struct Case {
    bool mozilla;
    bool opera;
    int code;
  };
  for (const Case c : {Case{true, true, 0}, Case{true, false, 8}, Case{false, true, 1}}) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Mozilla");
    RegDeleteTreeW(HKEY_CURRENT_USER, u"Software\\Opera Software");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, u"CLSID");
    std::filesystem::remove_all(Host("C:\\Target"));
    MakeFolder("C:\\Target");
    MakeFolder("C:\\Firefox\\plugins");
    MakeFolder("C:\\Opera");
    if (c.mozilla) AddPlugins("Mozilla Firefox\\1.0\\Extensions", "C:\\Firefox\\plugins");
    if (c.opera) SetOpera("C:\\Opera\\plugins");
    EXPECT_EQ(Install(), c.code);
    ExpectInstalledIn("C:\\Target");
    EXPECT_EQ(Exists("C:\\Firefox\\plugins\\npOrmel.dll"), c.mozilla);
    std::filesystem::remove(Host("C:\\Firefox\\plugins\\npOrmel.dll"));
    if (c.opera) ExpectInstalledIn("C:\\Opera\\plugins");
    EXPECT_TRUE(Exists("C:\\Target\\Lirriel.ocx"));
    EXPECT_TRUE(ControlRegistered());
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kUpdatesKey, "SetupPath2"), "C:\\Target\\Lirriel.ocx");
  }
}

TEST_F(HaskarinTest, NoBrowserFolderCopiesAndRegistersNothing) {
  MakeFolder("C:\\Target");
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\Mozilla Firefox", "Version", "1.0");
  EXPECT_EQ(Install(), haskarin::kNoBrowserFolder);
  EXPECT_FALSE(Exists("C:\\Target\\npOrmel.dll"));
  EXPECT_FALSE(Exists("C:\\Target\\Lirriel.ocx"));
  EXPECT_FALSE(ControlRegistered());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUpdatesKey));
}

TEST_F(HaskarinTest, TargetCopiesThatFailGiveSeven) {
  MakeFolder("C:\\Target");
  SetOpera("C:\\Opera");
  // A quoted folder keeps its quotes and names no folder.
  EXPECT_EQ(Install("-p \"C:\\Target\""), haskarin::kTargetCopyFailed);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUpdatesKey));
  EXPECT_EQ(Install("-p C:\\Missing\\Target"), haskarin::kTargetCopyFailed);
  // The control itself cannot be copied: the library went in, the control is not registered.
  std::filesystem::remove(Host(std::string(kProgramFolder) + "\\Lirriel.ocx"));
  EXPECT_EQ(Install(), haskarin::kTargetCopyFailed);
  ExpectInstalledIn("C:\\Target");
  EXPECT_FALSE(ControlRegistered());
}

TEST_F(HaskarinTest, AControlThatDoesNotLoadOrCannotRegisterGivesFive) {
  MakeFolder("C:\\Target");
  SetOpera("C:\\Opera");
  PutControl(setup_testing::kControlWithout);
  EXPECT_EQ(Install(), haskarin::kControlNotLoadable);
  WriteFile(std::string(kProgramFolder) + "\\Lirriel.ocx", "not a library");
  EXPECT_EQ(Install(), haskarin::kControlNotLoadable);
  EXPECT_EQ(ReadFile("C:\\Target\\Lirriel.ocx"), "not a library");
  EXPECT_FALSE(ControlRegistered());
  EXPECT_FALSE(Value(HKEY_CURRENT_USER, kUpdatesKey, "SetupPath2"));
}

TEST_F(HaskarinTest, WithoutATargetTheFilesKeepTheirBareNames) {
  SetOpera("C:\\Opera");
  MakeFolder("C:\\Here");
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path(Host("C:\\Here"));
  Install("");
  std::filesystem::current_path(here);
  // Both files are copied under their bare names into the current folder; which "Lirriel.ocx" the bare name then
  // loads is the loader's search.
  ExpectInstalledIn("C:\\Here");
  EXPECT_TRUE(Exists("C:\\Here\\Lirriel.ocx"));
}

TEST_F(HaskarinTest, MozillaWalkTakesDeeperValuesFirstAndStopsAtThunderbird) {
  AddPlugins("Mozilla Firefox", "C:\\own");
  AddPlugins("Mozilla Firefox\\3.6\\extensions", "C:\\deep");
  AddPlugins("Mozilla Firefox\\bin", "C:\\bin");
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\Mozilla Firefox\\lower", "plugins", "C:\\wrong-case");
  AddPlugins("Mozilla Thunderbird\\bin", "C:\\thunderbird");
  AddPlugins("SeaMonkey", "C:\\seamonkey");
  // A "Plugins" text written without its zero still ends where it should.
  SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mozilla\\Mozilla Firefox\\3.6", "Plugins", "C:\\x", false);

  auto folders = [](bool stop) {
    std::vector<std::string> names;
    for (const auto& record : FindMozillaPluginFolders(stop)) names.push_back(record.folder);
    return names;
  };
  EXPECT_EQ(folders(true), (std::vector<std::string>{"C:\\deep", "C:\\x", "C:\\bin", "C:\\own"}));
  EXPECT_EQ(folders(false), (std::vector<std::string>{"C:\\deep", "C:\\x", "C:\\bin", "C:\\own", "C:\\thunderbird",
                                                      "C:\\seamonkey"}));

  MakeFolder("C:\\Target");
  EXPECT_EQ(Install(), haskarin::kInstalledMozilla);
  for (const char* folder : {"C:\\deep", "C:\\x", "C:\\bin", "C:\\own"}) ExpectInstalledIn(folder);
  EXPECT_FALSE(Exists("C:\\thunderbird"));
  EXPECT_FALSE(Exists("C:\\seamonkey"));
}

TEST_F(HaskarinTest, OperaFolderIsCreatedAndOverlongPathsAreRefused) {
  MakeFolder("C:\\Target");
  SetOpera("C:\\Opera\\Program\\Plugins");
  MakeFolder("C:\\Opera\\Program");
  EXPECT_EQ(Install(), haskarin::kInstalledOpera);
  ExpectInstalledIn("C:\\Opera\\Program\\Plugins");

  const std::string folder127 = "C:\\" + std::string(124, 'o');
  SetOpera(folder127, false);
  EXPECT_EQ(GetOperaPluginFolder(), folder127);
  SetOpera(folder127 + "o", false);  // 128 bytes and no zero: too long
  EXPECT_EQ(GetOperaPluginFolder(), "");
  SetOpera(folder127 + "oo");
  EXPECT_EQ(GetOperaPluginFolder(), "");
  SetOpera("");
  EXPECT_EQ(GetOperaPluginFolder(), "");
  EXPECT_EQ(Install(), haskarin::kNoBrowserFolder);
}

TEST_F(HaskarinTest, UpdatesListValuesHoldThePathsWithoutTheirZero) {
  MakeFolder("C:\\Target");
  MakeFolder("C:\\Firefox");
  AddPlugins("Mozilla Firefox", "C:\\Firefox\\plugins");
  // The last folder of the walk cannot be made: its bare path is recorded.
  AddPlugins("Mozilla Firefox\\a", "C:\\Missing\\plugins");
  EXPECT_EQ(Install(), haskarin::kInstalledMozilla);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kUpdatesKey, "SetupPath1"), "C:\\Firefox\\plugins\\npOrmel.dll");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kUpdatesKey, "SetupPath2"), "C:\\Target\\Lirriel.ocx");

  RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Mozilla\\Mozilla Firefox");
  AddPlugins("Mozilla Firefox", "C:\\Missing\\plugins");
  AddPlugins("Mozilla Firefox\\a", "C:\\Firefox\\plugins");
  EXPECT_EQ(Install(), haskarin::kInstalledMozilla);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kUpdatesKey, "SetupPath1"), "C:\\Missing\\plugins");

  // The stored sizes: the text's length in the narrow form, twice that in the wide one, and REG_SZ.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kq::WideFromUtf8(kUpdatesKey).c_str(), 0, KEY_READ, &key), 0);
  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"SetupPath2", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 2 * std::string("C:\\Target\\Lirriel.ocx").size());
  RegCloseKey(key);
}

}  // namespace
