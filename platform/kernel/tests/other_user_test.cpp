// Named objects belong to their user: what another user made, or can write, in the state root's object folders is
// never opened or trusted, and another user can neither plant a mapping or a share lock where this user's processes
// would find it nor hold a name so that this user's cannot be made.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "other_user.h"
#include "win/fileapi.h"
#include "win/handleapi.h"
#include "win/machine.h"
#include "win/memoryapi.h"
#include "win/paths.h"

namespace {

using kq::testing::OtherUser;
using kq::testing::ReadyAndWait;

constexpr WCHAR kBlock[] = u"Kelvo hand-over block";
constexpr DWORD kBlockSize = 4096;

std::shared_ptr<kq::Machine> OtherUsersView() {
  const char* root = std::getenv(kq::testing::kOtherUserRoot);
  if (!root) ADD_FAILURE() << "no state root given";
  return std::make_shared<kq::Machine>(kq::MachineConfig{root ? root : "/nonexistent"});
}

// Disabled: the other user's sides, each run by a test below as nobody.
TEST(OtherUserSide, DISABLED_PlantsABlock) {
  kq::MachineScope scope(OtherUsersView());
  const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, kBlock);
  if (mapping) {
    if (auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)))
      std::strcpy(view, "planted");
  }
  ReadyAndWait(mapping ? "made" : "refused");
}

TEST(OtherUserSide, DISABLED_HoldsAFileWithoutSharing) {
  kq::MachineScope scope(OtherUsersView());
  const HANDLE file = CreateFileW(u"C:\\shared.pdf", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ReadyAndWait(file != INVALID_HANDLE_VALUE ? "held" : "refused");
}

class NamedObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    // The state root as a careless one may be: others may pass through it.
    std::filesystem::permissions(machine->Root(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::group_read |
                                                      std::filesystem::perms::group_exec |
                                                      std::filesystem::perms::others_read |
                                                      std::filesystem::perms::others_exec);
  }
  static HANDLE CreateBlock() {
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, kBlock);
  }
  // A new block of this user's: made afresh (not another's handed back) and zero.
  static void ExpectAFreshBlock() {
    SetLastError(1234);
    const HANDLE mine = CreateBlock();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "another user's block is not handed back as existing";
    const auto* view = static_cast<const char*>(MapViewOfFile(mine, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[0], 0);
    UnmapViewOfFile(view);
    CloseHandle(mine);
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
};

TEST_F(NamedObjects, AnotherUsersBlockIsNeitherOpenedNorInTheWay) {
  if (const std::string why = kq::testing::WhyNoOtherUser(); !why.empty()) GTEST_SKIP() << why;
  OtherUser other("OtherUserSide.DISABLED_PlantsABlock", machine->Root());
  ASSERT_TRUE(other.Ready()) << other.Said();
  SetLastError(0);
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kBlock), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ExpectAFreshBlock();
}

// What lies in the mapping folder under a name is trusted only when it is a file of this user's that nobody else
// can write; anything else is removed and the name is free.
TEST_F(NamedObjects, OnlyAMappingThatIsTheUsersAloneIsOpened) {
  const auto folder = machine->Root() / "mappings";
  const auto name = folder / "Kelvo%20hand-over%20block";
  struct Case {
    const char* what;
    bool needsRoot;
    void (*plant)(const std::filesystem::path& object);
  } const cases[] = {
      {"a file others can write", false,
       [](const std::filesystem::path& object) {
         std::ofstream(object) << std::string(kBlockSize, 'x');
         chmod(object.c_str(), 0666);
       }},
      {"a link to a file", false,
       [](const std::filesystem::path& object) {
         const auto target = object.parent_path().parent_path() / "target";
         std::ofstream(target) << std::string(kBlockSize, 'x');
         std::filesystem::create_symlink(target, object);
       }},
      {"a FIFO", false, [](const std::filesystem::path& object) { mkfifo(object.c_str(), 0600); }},
      {"another user's file", true,
       [](const std::filesystem::path& object) {
         std::ofstream(object) << std::string(kBlockSize, 'x');
         (void)!chown(object.c_str(), 65534, 65534);
         chmod(object.c_str(), 0600);
       }},
  };
  CloseHandle(CreateBlock());  // the folder exists from here on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && geteuid() != 0) continue;
    c.plant(name);
    SetLastError(0);
    const HANDLE opened = OpenFileMappingW(FILE_MAP_READ, FALSE, kBlock);
    EXPECT_EQ(opened, nullptr);
    if (opened) CloseHandle(opened);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(name))) << "what was there is gone";
    c.plant(name);
    ExpectAFreshBlock();
  }
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u) << "the folder is the user's alone";
}

// A share lock another user made in a shares folder that others could write (a root made by an old version or with
// a loose umask) does not keep this user's processes out.
TEST_F(NamedObjects, AnotherUsersShareLockIsNotInTheWay) {
  if (const std::string why = kq::testing::WhyNoOtherUser(); !why.empty()) GTEST_SKIP() << why;
  const auto shares = machine->Root() / "shares";
  const auto drive = *kq::DriveFolder(*machine, u'C');
  std::filesystem::create_directories(shares);
  std::filesystem::create_directories(drive);
  chmod(shares.c_str(), 0777);
  chmod(drive.c_str(), 0755);
  std::ofstream(drive / "shared.pdf") << "x";
  chmod((drive / "shared.pdf").c_str(), 0666);

  OtherUser other("OtherUserSide.DISABLED_HoldsAFileWithoutSharing", machine->Root());
  ASSERT_TRUE(other.Ready()) << other.Said();
  const HANDLE mine = CreateFileW(u"C:\\shared.pdf", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(mine, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(mine);
  struct stat info {};
  ASSERT_EQ(stat(shares.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u) << "the folder is the user's alone";
}

}  // namespace
