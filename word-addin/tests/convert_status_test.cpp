// The add-in's progress dialog on its own thread: its template, the reports it takes, and the ways it ends.
#include "dovecap/convert_status.h"

#include <gtest/gtest.h>

#include <chrono>

#include "win/commctrl.h"
#include "win/handleapi.h"
#include "win/machine.h"
#include "win/simulated_user.h"
#include "win/synchapi.h"

namespace {

constexpr DWORD kBoundMs = 5000;
constexpr std::chrono::milliseconds kBound{kBoundMs};

class ConvertStatus : public ::testing::Test {
 protected:
  void TearDown() override {
    EndConvertStatus();
    if (thread) {
      EXPECT_EQ(WaitForSingleObject(thread, kBoundMs), WAIT_OBJECT_0);
      CloseHandle(thread);
    }
  }
  HWND Start() {
    thread = StartConvertStatus();
    return WaitForConvertStatus(kBoundMs);
  }
  bool ThreadEnds() { return WaitForSingleObject(thread, kBoundMs) == WAIT_OBJECT_0; }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  kq::SimulatedUser& person = machine->Service<kq::SimulatedUser>();
  HANDLE thread = nullptr;
};

TEST_F(ConvertStatus, TheTemplateIsTheAddinModulesResource) {
  const kq::DialogTemplate* found = kq::FindDialogTemplate(DovecapModule(), MAKEINTRESOURCEW(201));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found, &ConvertStatusTemplate());
  EXPECT_EQ(found->cx, 190);
  EXPECT_EQ(found->cy, 33);
  EXPECT_EQ(kq::WString(found->caption), u"Kelvo PDF Zedarod - converting status.");
  EXPECT_EQ(kq::WString(found->fontFace), u"Arial");
  EXPECT_EQ(found->pointSize, 10);
  struct Control {
    kq::WString className, text;
    WORD id;
    SHORT x, y, cx, cy;
    bool operator==(const Control&) const = default;
  };
  std::vector<Control> controls;
  for (const auto& c : found->controls)
    controls.push_back({c.className, c.text ? c.text : u"", c.id, c.x, c.y, c.cx, c.cy});
  EXPECT_EQ(controls, (std::vector<Control>{{u"Static", u"Converting...", 11003, 3, 3, 180, 8},
                                            {u"msctls_progress32", u"", 11001, 3, 13, 185, 6},
                                            {u"Button", u"Hide", 202, 162, 21, 25, 9}}));
}

TEST_F(ConvertStatus, TheRunningDialogBearsTheCaptionTheDriverLooksFor) {
  const HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(CurrentConvertStatus(), dialog);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(person.Text(dialog), u"Kelvo Quenzar Zedarod - converting status.");
  EXPECT_EQ(FindWindowW(WC_DIALOG, u"Kelvo Quenzar Zedarod - converting status."), dialog);
  EXPECT_EQ(person.ControlText(dialog, IDC_CONVERT_TEXT), u"Converting...");
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_CONVERT_BAR, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_CONVERT_BAR, PBM_GETRANGE, TRUE, 0), 0);
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(dialog, &frame));
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
  EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
}

TEST_F(ConvertStatus, ReportsSetTheTextAndOnlyPositionsFromOneToAHundred) {
  const HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ReportConvertStatus(u"Converting bookmarks...", 0);
  EXPECT_EQ(person.ControlText(dialog, IDC_CONVERT_TEXT), u"Converting bookmarks...");
  ReportConvertStatus(nullptr, 30);
  EXPECT_TRUE(person.WaitUntil([&] { return person.ProgressPosition(dialog, IDC_CONVERT_BAR) == 30; }, kBound));
  EXPECT_EQ(person.ControlText(dialog, IDC_CONVERT_TEXT), u"Converting bookmarks...") << "no text, no change";
  ReportConvertStatus(nullptr, 101);
  ReportConvertStatus(nullptr, -1);
  ReportConvertStatus(nullptr, 45);
  EXPECT_TRUE(person.WaitUntil([&] { return person.ProgressPosition(dialog, IDC_CONVERT_BAR) == 45; }, kBound))
      << "101 and -1 were passed over";
}

TEST_F(ConvertStatus, HideEscapeAndTheEndMessageEachEndTheLoop) {
  enum class Way { Hide, Escape, CloseBox, EndMessage };
  for (Way way : {Way::Hide, Way::Escape, Way::CloseBox, Way::EndMessage}) {
    SCOPED_TRACE(static_cast<int>(way));
    const HWND dialog = Start();
    ASSERT_NE(dialog, nullptr);
    switch (way) {
      case Way::Hide: ASSERT_TRUE(person.Press(dialog, u"Hide")); break;
      case Way::Escape: ASSERT_TRUE(person.PressKey(dialog, VK_ESCAPE)); break;
      case Way::CloseBox: ASSERT_TRUE(person.Close(dialog)); break;
      case Way::EndMessage: SendMessageW(dialog, kConvertStatusDone, 0, 0); break;
    }
    ASSERT_TRUE(ThreadEnds());
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(ConvertStatusWindow().load(), nullptr) << "the thread clears the handle";
    // Later reports reach no window, and nothing lands in this thread's queue.
    ReportConvertStatus(u"Converting links...", 65);
    EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE | QS_SENDMESSAGE), 0u);
    CloseHandle(thread);
    thread = nullptr;
  }
}

TEST_F(ConvertStatus, AFailedCreationCountsAsNoWindow) {
  kq::UnregisterModuleResources(DovecapModule());
  thread = StartConvertStatus();
  ASSERT_TRUE(ThreadEnds());
  static const kq::DialogResource again[] = {{IDD_CONVERT_STATUS, &ConvertStatusTemplate()}};
  kq::RegisterModuleResources(DovecapModule(), {again});
  EXPECT_EQ(ConvertStatusWindow().load(), kConvertStatusFailed);
  EXPECT_EQ(WaitForConvertStatus(0), nullptr);
  EXPECT_EQ(CurrentConvertStatus(), nullptr);
  ReportConvertStatus(u"Converting...", 10);
  EndConvertStatus();
  EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE | QS_SENDMESSAGE), 0u) << "nothing went to a window -1";
  EXPECT_EQ(ConvertStatusWindow().load(), nullptr);
}

}  // namespace
