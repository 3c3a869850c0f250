// The shell's folder browser answered by the simulated person, and its allocator.
#include <gtest/gtest.h>

#include "win/machine.h"
#include "win/sheet_person.h"
#include "win/shlobj.h"
#include "win/simulated_user.h"

namespace {

class FolderBrowser : public ::testing::Test {
 protected:
  std::optional<kq::WString> Browse(WCHAR* displayName = nullptr) {
    BROWSEINFOW info{};
    info.pszDisplayName = displayName;
    info.lpszTitle = u"Browse for Folder";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST list = SHBrowseForFolderW(&info);
    if (!list) return std::nullopt;
    WCHAR path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(list, path);
    allocator->Free(list);
    return ok ? std::optional<kq::WString>(path) : std::optional<kq::WString>(u"<too long>");
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  kq::SheetPerson& person = machine_->Service<kq::SheetPerson>();
  LPMALLOC allocator = [] {
    LPMALLOC m = nullptr;
    SHGetMalloc(&m);
    return m;
  }();
};

TEST_F(FolderBrowser, ThePersonChoosesCancelsOrLeavesIt) {
  ASSERT_NE(allocator, nullptr);
  EXPECT_NE(SHGetMalloc(nullptr), 0);
  person.AnswerFolderBrowser(u"Z:\\home\\ann\\pdfs");
  person.CancelFolderBrowser();
  person.AnswerFolderBrowser(u"C:\\" + kq::WString(300, u'x'));
  WCHAR name[MAX_PATH] = {};
  EXPECT_EQ(Browse(name), u"Z:\\home\\ann\\pdfs");
  EXPECT_EQ(kq::WString(name), u"pdfs");
  EXPECT_EQ(Browse(), std::nullopt) << "cancelled";
  EXPECT_EQ(Browse(), u"<too long>") << "a path longer than MAX_PATH does not fit";
  EXPECT_EQ(Browse(), std::nullopt) << "nobody answers: the person cancels";
  EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
  EXPECT_FALSE(SHGetPathFromIDListW(nullptr, nullptr));

  std::vector<std::string> lines;
  for (const auto& entry : machine_->Service<kq::SimulatedUser>().Journal())
    if (entry.line.rfind("folder browser", 0) == 0) lines.push_back(entry.line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "folder browser \"Browse for Folder\" -> \"Z:\\home\\ann\\pdfs\" (scripted)");
  EXPECT_EQ(lines[1], "folder browser \"Browse for Folder\" -> cancelled (scripted)");
  EXPECT_EQ(lines[3], "folder browser \"Browse for Folder\" -> cancelled (default)");
}

}  // namespace
