#include <array>

#include "driver_fixture.h"
#include "telodrv/worker_dialogs.h"

namespace {

using drvtest::DriverTest;
using Kind = kq::JournalEntry::Kind;

class WorkerDialogs : public DriverTest {};

TEST_F(WorkerDialogs, BoxesBearTheDriversCaptionsWhateverTheCallerPasses) {
  person.AnswerMessageBox(IDNO);
  person.AnswerMessageBox(IDCANCEL);
  EXPECT_EQ(MessageBoxOnWorkerThreadW(nullptr, u"Wide question?", u"Some caption", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxOnWorkerThreadA(nullptr, "Narrow question?", "Other caption", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxOnWorkerThreadW(nullptr, u"Unanswered", nullptr, MB_OK | MB_SETFOREGROUND), IDOK);
  const auto boxes = JournalOf(Kind::MessageBox);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, u"Kelvo Quenzar Zedarod");
  EXPECT_EQ(boxes[0].text, u"Wide question?");
  EXPECT_EQ(boxes[1].caption, u"Kelvo Quenzar Printer");
  EXPECT_EQ(boxes[1].text, u"Narrow question?");
  EXPECT_EQ(boxes[2].caption, u"Kelvo Quenzar Zedarod");
  EXPECT_EQ(boxes[2].style, MB_OK | MB_SETFOREGROUND);
  EXPECT_FALSE(boxes[2].scripted);
}

TEST_F(WorkerDialogs, BoxesRunOnAThreadOfTheirOwnWhileTheCallerWaits) {
  const long threadsBefore = kq::RunningThreadCount(*machine);
  // A box that the window system refuses fails on its own thread: the caller's last error stays its own.
  const HWND notAWindow = reinterpret_cast<HWND>(0x7777);
  SetLastError(ERROR_FILE_EXISTS);
  EXPECT_EQ(MessageBoxOnWorkerThreadW(notAWindow, u"text", nullptr, MB_OK), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(MessageBoxW(notAWindow, u"text", nullptr, MB_OK), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE) << "the same box on the caller's thread";
  // Each call has ended its thread before it returns.
  EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore);
}

TEST_F(WorkerDialogs, SaveAsRunsOnAThreadOfItsOwnWithTheHook) {
  std::array<WCHAR, MAX_PATH> file{};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = reinterpret_cast<HWND>(0x7777);  // cleared: the dialog has no owner
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = u"Title";
  MakeFolder(u"C:\\Out");
  person.AnswerSaveAs(u"C:\\Out\\a.pdf");
  const long threadsBefore = kq::RunningThreadCount(*machine);
  EXPECT_EQ(SaveAsOnWorkerThread(&dialog), TRUE) << JournalText();
  EXPECT_EQ(kq::WString(file.data()), u"C:\\Out\\a.pdf");
  EXPECT_EQ(dialog.hwndOwner, nullptr);
  EXPECT_EQ(dialog.Flags & (OFN_EXPLORER | OFN_ENABLEHOOK), OFN_EXPLORER | OFN_ENABLEHOOK);
  EXPECT_EQ(dialog.lpfnHook, &SaveAsHookProc);
  EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore);
}

TEST_F(WorkerDialogs, TheHookBringsTheDialogsFrameToTheFront) {
  HWND frame = CreateWindowExW(0, WC_DIALOG, u"Frame", WS_POPUP | WS_CAPTION, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
  ASSERT_NE(frame, nullptr);
  HWND child = CreateWindowExW(0, WC_STATIC, u"", WS_CHILD, 0, 0, 10, 10, frame, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(SaveAsHookProc(child, WM_INITDIALOG, 0, 0), 0u);
  EXPECT_TRUE(IsWindowVisible(frame));
  EXPECT_NE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(SaveAsHookProc(child, WM_COMMAND, IDOK, 0), 0u);
  DestroyWindow(frame);
}

TEST_F(WorkerDialogs, CopyWideBoundedAlwaysTerminatesWithinTheCount) {
  struct Case {
    const char16_t* src;
    std::size_t count;
    const char16_t* want;  // nullptr: nothing written
  } const cases[] = {
      {u"abc", 0, nullptr}, {u"abc", 1, u""}, {u"abc", 3, u"ab"}, {u"abc", 4, u"abc"},
      {u"abc", 8, u"abc"},  {u"", 4, u""},    {nullptr, 4, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "count " << c.count);
    std::array<WCHAR, 10> dst;
    dst.fill(u'#');
    CopyWideBounded(dst.data(), c.src, c.count);
    if (!c.want) {
      EXPECT_EQ(dst[0], u'#');
      continue;
    }
    EXPECT_EQ(kq::WString(dst.data()), c.want);
    EXPECT_EQ(dst[c.count - 1], 0);
    for (std::size_t i = c.count; i < dst.size(); ++i) EXPECT_EQ(dst[i], u'#') << "nothing beyond the count";
  }
}

}  // namespace
