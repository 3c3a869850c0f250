#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "launcher.h"
#include "win/installer_host.h"
#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace {

constexpr char kGolden[] = "\"C:\\Windows\\System32\\msiexec.exe\" /x {31753CDD-A7DA-4667-BEFC-B3EA3BDF366E}";

// Sets KQ_ROOT for the scope, so the programs this test starts work on its machine.
class RootForChildren {
 public:
  explicit RootForChildren(const std::filesystem::path& root) {
    if (const char* old = std::getenv("KQ_ROOT")) old_ = old;
    setenv("KQ_ROOT", root.c_str(), 1);
  }
  ~RootForChildren() {
    if (old_) {
      setenv("KQ_ROOT", old_->c_str(), 1);
    } else {
      unsetenv("KQ_ROOT");
    }
  }

 private:
  std::optional<std::string> old_;
};

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() : scope_(machine_.Get()), root_(machine_->Root()) {}

  // The requests the Windows Installer stand-in recorded, waiting a bounded time for the first.
  std::vector<std::string> AwaitRequests() {
    for (int i = 0; i < 200; ++i) {
      auto requests = kq::WindowsInstallerRequests(*machine_);
      if (!requests.empty()) return requests;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
  RootForChildren root_;
};

TEST_F(LauncherTest, CommandLineIsTheInstallerInTheSystemFolderWithTheProductCode) {
  EXPECT_EQ(uninstall_launcher::SystemFolder(), "C:\\Windows\\System32");
  EXPECT_EQ(uninstall_launcher::UninstallCommandLine(uninstall_launcher::SystemFolder()), kGolden);
  const std::string longFolder = "C:\\" + std::string(300, 'f');
  EXPECT_EQ(uninstall_launcher::UninstallCommandLine(longFolder).size(), longFolder.size() + 56);
}

TEST_F(LauncherTest, ExitsWithZeroWhenTheInstallerCannotBeStarted) {
  EXPECT_EQ(uninstall_launcher::LaunchUninstall(), 0);
  const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(kq::Utf8FromWide(starts[0].commandLine), kGolden);
  EXPECT_TRUE(starts[0].applicationName.empty());
  EXPECT_EQ(starts[0].creationFlags, CREATE_NEW_CONSOLE);
  EXPECT_EQ(starts[0].error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(LauncherTest, StartsTheInstallerWhichRecordsTheRemovalRequest) {
  ASSERT_EQ(kq::InstallWindowsInstaller(*machine_), 0u);
  EXPECT_EQ(uninstall_launcher::LaunchUninstall(), 0);
  const auto starts = machine_->Service<kq::MachineProcesses>().Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_NE(starts[0].processId, 0u);
  EXPECT_EQ(starts[0].creationFlags, CREATE_NEW_CONSOLE);
  EXPECT_EQ(AwaitRequests(), std::vector<std::string>{"/x {31753CDD-A7DA-4667-BEFC-B3EA3BDF366E}"});
}

TEST_F(LauncherTest, TheProgramReturnsAtOnceAndTheInstallerRunsOn) {
  const std::string command = std::string("'") + KQ_BINARY_DIR + "/bin/uninstall' 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(AwaitRequests().size(), 1u);
}

// Once the printer is installed, the product is registered: the uninstall program's request names it.
TEST_F(LauncherTest, AfterThePrinterIsInstalledTheInstallerWouldRemoveTheProduct) {
  ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
  ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS) << "installing again changes nothing";
  const auto log = machine_->Root() / "installer.log";
  const std::string command = std::string("'") + KQ_BINARY_DIR + "/bin/uninstall' 2>'" + log.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_EQ(AwaitRequests().size(), 1u);
  std::string said;
  for (int i = 0; i < 200 && said.find("would remove") == std::string::npos; ++i) {
    std::ifstream in(log);
    said.assign(std::istreambuf_iterator<char>(in), {});
    if (said.find("would remove") == std::string::npos) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(said.find("Windows Installer: would remove the product \"Kelvo Quenzar Printer\" "
                      "{31753CDD-A7DA-4667-BEFC-B3EA3BDF366E}"),
            std::string::npos)
      << said;
  EXPECT_EQ(kq::Utf8FromWide(kq::kProductCode), uninstall_launcher::kProductCode);
}

TEST_F(LauncherTest, InstallerStandInSaysWhatItWouldRemove) {
  const std::vector<std::string> request{"/x", uninstall_launcher::kProductCode};
  std::string journal;
  EXPECT_EQ(kq::RunWindowsInstaller(*machine_, request, journal), 1605u);
  EXPECT_NE(journal.find("is not installed"), std::string::npos) << journal;

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                            "{31753CDD-A7DA-4667-BEFC-B3EA3BDF366E}",
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            0);
  const char name[] = "Kelvo Quenzar";
  RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
  RegCloseKey(key);
  journal.clear();
  EXPECT_EQ(kq::RunWindowsInstaller(*machine_, request, journal), 0u);
  EXPECT_NE(journal.find("would remove the product \"Kelvo Quenzar\" {31753CDD"), std::string::npos) << journal;

  journal.clear();
  EXPECT_EQ(kq::RunWindowsInstaller(*machine_, {"/i", "package.msi"}, journal), 1639u);
  EXPECT_EQ(kq::WindowsInstallerRequests(*machine_).size(), 3u);
}

}  // namespace
