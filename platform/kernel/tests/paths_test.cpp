#include <gtest/gtest.h>

#include <fstream>

#include "win/machine.h"
#include "win/paths.h"

namespace {

class Paths : public ::testing::Test {
 protected:
  Paths() : scope_(machine_.Get()) {}
  std::filesystem::path DriveC() const { return machine_->Root() / "drive_c"; }
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_;
};

TEST_F(Paths, DrivesMapToHostFolders) {
  EXPECT_EQ(kq::DriveFolder(*machine_, u'c'), DriveC());
  EXPECT_EQ(kq::DriveFolder(*machine_, u'Z'), "/");
  EXPECT_FALSE(kq::DriveFolder(*machine_, u'D'));
  EXPECT_TRUE(std::filesystem::is_directory(DriveC()));
  kq::MapDrive(*machine_, u'd', machine_->Root());
  EXPECT_EQ(kq::HostPathFromWindows(u"D:\\x"), machine_->Root() / "x");
  kq::UnmapDrive(*machine_, u'D');
  DWORD error = 0;
  EXPECT_FALSE(kq::HostPathFromWindows(u"D:\\x", &error));
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
}

TEST_F(Paths, WindowsPathsResolveToHostPaths) {
  std::filesystem::create_directories(DriveC() / "Program Files" / "Kelvo");
  struct Case {
    const WCHAR* windows;
    std::filesystem::path host;
  };
  const Case cases[] = {
      {u"C:\\", DriveC()},
      {u"c:", DriveC()},
      {u"C:\\Program Files\\Kelvo\\a.pdf", DriveC() / "Program Files/Kelvo/a.pdf"},
      {u"C:/Program Files/Kelvo/a.pdf", DriveC() / "Program Files/Kelvo/a.pdf"},
      // Existing names are found ignoring ASCII case; a new name keeps its spelling.
      {u"C:\\PROGRAM FILES\\kelvo\\New.PDF", DriveC() / "Program Files/Kelvo/New.PDF"},
      {u"C:\\Program Files\\.\\x\\..\\Kelvo\\\\b", DriveC() / "Program Files/Kelvo/b"},
      {u"C:\\..\\..\\a", DriveC() / "a"},  // never above the drive's root
      {u"\\\\?\\C:\\a", DriveC() / "a"},
      {u"C:a", DriveC() / "a"},
      {u"Z:\\home\\ann\\out", "/home/ann/out"},
      {u"\\tmp\\x", "/tmp/x"},  // rooted on the current drive, which is Z:
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.windows));
    DWORD error = 1;
    EXPECT_EQ(kq::HostPathFromWindows(c.windows, &error), c.host);
    EXPECT_EQ(error, ERROR_SUCCESS);
  }
  EXPECT_EQ(kq::HostPathFromWindows(u"relative\\name"), std::filesystem::current_path() / "relative/name");
}

TEST_F(Paths, BadPathsAreRefused) {
  struct Case {
    const WCHAR* windows;
    DWORD error;
  };
  const Case cases[] = {
      {u"", ERROR_PATH_NOT_FOUND},
      {u"Q:\\a", ERROR_PATH_NOT_FOUND},
      {u"C:\\a?b", ERROR_INVALID_NAME},
      {u"C:\\a\\b:c", ERROR_INVALID_NAME},
      {u"C:\\a<b", ERROR_INVALID_NAME},
      {u"C:\\tab\there", ERROR_INVALID_NAME},
      {u"1:\\a", ERROR_INVALID_NAME},
      {u"\\\\server\\share", ERROR_BAD_NETPATH},
      {u"//server/share", ERROR_BAD_NETPATH},
      {u"\\\\?\\UNC\\server\\share", ERROR_BAD_NETPATH},
      {u"\\\\.\\COM1", ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(kq::Utf8FromWide(c.windows));
    DWORD error = 0;
    EXPECT_FALSE(kq::HostPathFromWindows(c.windows, &error));
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(Paths, PosixPathsAreZPaths) {
  struct Case {
    const char* posix;
    const WCHAR* windows;
  };
  const Case cases[] = {
      {"/home/ann/out", u"Z:\\home\\ann\\out"},
      {"/", u"Z:\\"},
      {"/home/ann/out/", u"Z:\\home\\ann\\out"},
      {"/a/./b/../c", u"Z:\\a\\c"},
      {"/tmp/caf\xC3\xA9", u"Z:\\tmp\\caf\u00E9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.posix);
    EXPECT_EQ(kq::WindowsPathFromPosix(c.posix), c.windows);
  }
  const auto relative = kq::WindowsPathFromPosix("x/y");
  EXPECT_EQ(kq::HostPathFromWindows(relative), std::filesystem::current_path() / "x/y");
  // A person's path and the name the system builds from it land in the same folder.
  const auto folder = kq::WindowsPathFromPosix(machine_->Root().string());
  EXPECT_EQ(kq::HostPathFromWindows(folder + u"\\Report.pdf"), machine_->Root() / "Report.pdf");
}

// The machine's own files are told from people's files, however a path reaches them.
TEST_F(Paths, TheMachinesOwnFilesAreKnown) {
  const auto root = machine_->Root();
  std::filesystem::create_directories(DriveC() / "docs");
  std::ofstream(root / "registry.db") << "db";
  std::filesystem::create_symlink(root / "registry.db", DriveC() / "docs" / "link.pdf");
  struct Case {
    std::filesystem::path host;
    bool state;
  } const cases[] = {
      {root / "registry.db", true},
      {root / "new.pdf", true},
      {root / "shares" / "1-2", true},
      {root / "mappings" / "x", true},
      {root / "desktop", true},
      {DriveC() / "docs" / ".." / ".." / "registry.db", true},
      {DriveC() / "docs" / "link.pdf", true},
      {DriveC() / "report.pdf", false},
      {root / "out" / "report.pdf", false},
      {root.parent_path() / "elsewhere.pdf", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(kq::IsMachineStateFile(root, c.host), c.state);
  }
  EXPECT_TRUE(kq::IsMachineStateFile(kq::WindowsPathFromPosix((root / "registry.db").string())));
  EXPECT_FALSE(kq::IsMachineStateFile(u"C:\\..\\registry.db")) << "never above the drive's folder";
  EXPECT_FALSE(kq::IsMachineStateFile(u"C:\\docs\\report.pdf"));
  EXPECT_FALSE(kq::IsMachineStateFile(u"Q:\\report.pdf")) << "no host path";
}

}  // namespace
