#include <mutex>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "pdf/doc_writer.h"
#include "pdf/progress_protocol.h"
#include "telodrv/progress_dialog.h"
#include "win/commctrl.h"
#include "win/dialog_templates.h"
#include "win/synchapi.h"

namespace {

using drvtest::DriverTest;
using drvtest::kBound;
using Kind = kq::JournalEntry::Kind;

constexpr DWORD kBoundMs = 5000;

kq::WString PageText(int page) { return kq::FormatWideString(u"Printing page %d", page); }

// The bar's positions a job sends for its pages, then the end's 100.
std::vector<int> SentPositions(int pages, bool addinJob, std::int32_t totalPages) {
  std::vector<int> sent;
  for (int ended = 0; ended < pages; ++ended) {
    const int position = ProgressPosition(ended, addinJob, totalPages);
    if (IsShownProgressPosition(position)) sent.push_back(position);
  }
  sent.push_back(100);
  return sent;
}

TEST(ProgressPositions, OwnJobsCycleAndAddinJobsRunFromSeventy) {
  struct Case {
    std::int32_t ended;
    bool addinJob;
    std::int32_t total;
    int position;
    bool shown;
  } const cases[] = {
      {0, false, 1, 0, false},   {1, false, 1, 5, true},    {2, false, 1, 10, true},  {20, false, 1, 100, true},
      {21, false, 1, 105, false}, {22, false, 1, 0, false}, {23, false, 1, 5, true},  {0, true, 10, 70, true},
      {1, true, 10, 73, true},   {9, true, 10, 97, true},   {10, true, 10, 100, true}, {1, true, 3, 80, true},
      {0, true, 0, 70, true},    {1, true, 0, 100, true},   {2, true, -5, 130, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ended << " ended, " << (c.addinJob ? "add-in job of " : "own job ")
                                    << c.total);
    EXPECT_EQ(ProgressPosition(c.ended, c.addinJob, c.total), c.position);
    EXPECT_EQ(IsShownProgressPosition(c.position), c.shown);
  }
  static_assert(ProgressPosition(1, false, 1) == 5 && ProgressPosition(9, true, 10) == 97);
}

class Progress : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    windowsBefore = person.WindowCount();
    threadsBefore = kq::RunningThreadCount(*machine);
  }
  // Nothing of the dialog is left: no window and no thread.
  void ExpectNothingLeft(const CPDF_DocWriter& writer) {
    EXPECT_EQ(writer.progressThread, nullptr);
    EXPECT_EQ(person.WindowCount(), windowsBefore) << JournalText();
    EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore);
  }
  bool ThreadEnds(const CPDF_DocWriter& writer) {
    return writer.progressThread && WaitForSingleObject(writer.progressThread, kBoundMs) == WAIT_OBJECT_0;
  }

  std::size_t windowsBefore = 0;
  long threadsBefore = 0;
};

TEST_F(Progress, TheTemplateIsTheDriverModulesResource) {
  const kq::DialogTemplate* found = kq::FindDialogTemplate(DriverModule(), MAKEINTRESOURCEW(11001));
  ASSERT_NE(found, nullptr) << "registered under the driver module when it is loaded";
  EXPECT_EQ(found, &ProgressDialogTemplate());
  EXPECT_EQ(found->style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
            WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  EXPECT_EQ(found->style & WS_VISIBLE, 0u) << "the thread shows it";
  EXPECT_EQ(found->cx, 187);
  EXPECT_EQ(found->cy, 35);
  EXPECT_EQ(kq::WString(found->caption), u"Kelvo PDF Zedarod - converting status");
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
  EXPECT_EQ(controls, (std::vector<Control>{{u"Static", u"Converting...", 11003, 5, 3, 173, 8},
                                            {u"msctls_progress32", u"", 11001, 5, 13, 175, 6},
                                            {u"Button", u"Hide", 11005, 150, 22, 29, 9}}));
}

TEST_F(Progress, TheOwnDialogShowsEachPageAndEndsWithTheDocument) {
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.StartProgressThread());
  const HWND dialog = writer.ProgressWindow();
  ASSERT_NE(dialog, nullptr) << JournalText();
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(person.Text(dialog), u"Kelvo Quenzar Zedarod");
  EXPECT_EQ(FindWindowW(WC_DIALOG, u"Kelvo Quenzar Zedarod"), dialog);
  EXPECT_EQ(person.ControlText(dialog, IDC_PROGRESS_TEXT), u"Converting...");
  EXPECT_EQ(person.ProgressPosition(dialog, IDC_PROGRESS_BAR), 0);
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, TRUE, 0), 0);
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(dialog, &frame));
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
  EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);

  for (int ended = 0; ended < 24; ++ended) {
    SCOPED_TRACE(ended + 1);
    const kq::WString text = PageText(ended + 1);
    const int position = ProgressPosition(ended, false, writer.totalPages);
    writer.SendProgress(text.c_str(), position);
    EXPECT_EQ(person.ControlText(dialog, IDC_PROGRESS_TEXT), text) << "the text is in place once it is sent";
    if (IsShownProgressPosition(position)) {
      EXPECT_TRUE(person.WaitUntil([&] { return person.ProgressPosition(dialog, IDC_PROGRESS_BAR) == position; },
                                   kBound));
    }
  }
  writer.FinishProgress();
  EXPECT_TRUE(ThreadEnds(writer)) << "the end message ends the dialog's thread";
  writer.ResetJob();
  ExpectNothingLeft(writer);
  EXPECT_FALSE(IsWindow(dialog));

  std::vector<std::string> windows;
  for (const auto& e : person.Journal())
    if (e.kind == Kind::WindowShown || e.kind == Kind::WindowHidden || e.kind == Kind::WindowClosed)
      windows.push_back(e.line);
  EXPECT_EQ(windows, (std::vector<std::string>{"window shown: \"Kelvo Quenzar Zedarod\" (#32770)",
                                               "window hidden: \"Kelvo Quenzar Zedarod\" (#32770)",
                                               "window closed: \"Kelvo Quenzar Zedarod\""}));
}

// A dialog in the manner of the add-in's: it logs what its controls and it receive, on a thread of its own.
class LoggingDialog {
 public:
  LoggingDialog() {
    static const kq::DialogControl controls[] = {
        {kTextClass, u"", IDC_PROGRESS_TEXT, WS_VISIBLE, 0, 0, 100, 8},
        {kBarClass, u"", IDC_PROGRESS_BAR, WS_VISIBLE, 0, 10, 100, 8},
    };
    static const kq::DialogTemplate dialog{WS_POPUP | WS_CAPTION, 0, 0, 120, 30, u"Logging progress", u"Arial", 8,
                                           controls};
    static const kq::DialogResource dialogs[] = {{1, &dialog}};
    kq::RegisterModuleResources(Module(), {dialogs});
    for (const WCHAR* name : {kTextClass, kBarClass}) {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = ControlProc;
      windowClass.hInstance = Module();
      windowClass.lpszClassName = name;
      RegisterClassW(&windowClass);
    }
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &LoggingDialog::Run, this, 0, nullptr);
    WaitForSingleObject(ready_, kBoundMs);
  }
  ~LoggingDialog() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_, kBoundMs);
    CloseHandle(thread_);
    CloseHandle(ready_);
    kq::UnregisterModuleResources(Module());
  }
  HWND Window() const { return window_; }
  bool Ends() { return WaitForSingleObject(thread_, kBoundMs) == WAIT_OBJECT_0; }

  std::vector<std::string> Texts() const { return Take(texts_); }
  std::vector<int> Positions() const {
    std::lock_guard lock(mutex_);
    return positions_;
  }
  // The messages sent to it (texts and the end), in the order they came.
  std::vector<std::string> Sent() const { return Take(sent_); }

 private:
  static constexpr WCHAR kTextClass[] = u"LoggingText";
  static constexpr WCHAR kBarClass[] = u"LoggingBar";
  static HINSTANCE Module() { return reinterpret_cast<HINSTANCE>(&instanceTag_); }
  std::vector<std::string> Take(const std::vector<std::string>& log) const {
    std::lock_guard lock(mutex_);
    return log;
  }

  static LoggingDialog* self_;
  static inline int instanceTag_ = 0;

  static LRESULT ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && GetDlgCtrlID(window) == IDC_PROGRESS_TEXT && self_) {
      std::lock_guard lock(self_->mutex_);
      const std::string text = kq::Utf8FromWide(reinterpret_cast<const WCHAR*>(lParam));
      self_->texts_.push_back(text);
      self_->sent_.push_back(text);
    }
    if (message == PBM_SETPOS && self_) {
      std::lock_guard lock(self_->mutex_);
      self_->positions_.push_back(static_cast<int>(wParam));
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_PROGRESS_DONE || message == WM_CLOSE) {
      if (message == WM_PROGRESS_DONE && self_) {
        std::lock_guard lock(self_->mutex_);
        self_->sent_.push_back("done");
      }
      EndDialog(dialog, 0);
      PostQuitMessage(0);
    }
    return 0;
  }
  static DWORD Run(LPVOID parameter) {
    auto* self = static_cast<LoggingDialog*>(parameter);
    self_ = self;
    self->window_ = CreateDialogParamW(Module(), MAKEINTRESOURCEW(1), nullptr, DialogProc, 0);
    SetEvent(self->ready_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(self->window_, &message)) DispatchMessageW(&message);
    }
    self_ = nullptr;
    return 0;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> texts_, sent_;
  std::vector<int> positions_;
  HWND window_ = nullptr;
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
};
LoggingDialog* LoggingDialog::self_ = nullptr;

TEST_F(Progress, TheProtocolArrivesInOrderAcrossThreads) {
  struct Case {
    const char* what;
    bool addinJob;
    std::int32_t totalPages;
    int pages;
  } const cases[] = {
      {"own job of 24 pages", false, 1, 24},
      {"add-in job of 10 pages", true, 10, 10},
      {"add-in job announcing no pages", true, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoggingDialog dialog;
    ASSERT_NE(dialog.Window(), nullptr);
    CPDF_DocWriter writer;
    writer.addinJob = c.addinJob;
    writer.totalPages = c.totalPages;
    writer.progressWindow = dialog.Window();  // as the hand-over reader finds the add-in's dialog
    std::vector<std::string> texts;
    for (int ended = 0; ended < c.pages; ++ended) {
      const kq::WString text = PageText(ended + 1);
      texts.push_back(kq::Utf8FromWide(text));
      writer.SendProgress(text.c_str(), ProgressPosition(ended, writer.addinJob != 0, writer.totalPages));
    }
    writer.FinishProgress();
    ASSERT_TRUE(dialog.Ends()) << "1124 ends the dialog";
    texts.push_back("Finish...");
    EXPECT_EQ(dialog.Texts(), texts);
    EXPECT_EQ(dialog.Positions(), SentPositions(c.pages, c.addinJob, c.totalPages));
    std::vector<std::string> sent = texts;
    sent.push_back("done");
    EXPECT_EQ(dialog.Sent(), sent) << "the end comes after every text";
  }
}

TEST_F(Progress, ABatchJobSendsOnlyTheEnd) {
  LoggingDialog dialog;
  CPDF_DocWriter writer;
  writer.progressArgs->interactive = 0;
  writer.progressWindow = dialog.Window();
  writer.SendProgress(PageText(1).c_str(), 50);
  writer.FinishProgress();
  ASSERT_TRUE(dialog.Ends());
  EXPECT_TRUE(dialog.Texts().empty());
  EXPECT_TRUE(dialog.Positions().empty());
  EXPECT_EQ(dialog.Sent(), std::vector<std::string>{"done"}) << "the end goes whatever the interactive flag";
}

TEST_F(Progress, ABatchJobsThreadMakesNoWindow) {
  CPDF_DocWriter writer;
  writer.progressArgs->interactive = 0;
  ASSERT_TRUE(writer.StartProgressThread());
  EXPECT_EQ(writer.ProgressWindow(), nullptr);
  writer.SendProgress(PageText(1).c_str(), 5);
  writer.FinishProgress();
  writer.ResetJob();
  ExpectNothingLeft(writer);
  EXPECT_TRUE(JournalOf(Kind::WindowShown).empty()) << JournalText();
}

TEST_F(Progress, HideEndsTheDialogWhileTheJobGoesOn) {
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.StartProgressThread());
  const HWND dialog = writer.ProgressWindow();
  ASSERT_NE(dialog, nullptr);
  writer.SendProgress(PageText(1).c_str(), 0);
  ASSERT_TRUE(person.Press(dialog, u"Hide"));
  ASSERT_TRUE(ThreadEnds(writer)) << "the dialog's thread ends with it";
  EXPECT_FALSE(IsWindow(dialog));
  // The job goes on: its later messages reach no window, and nothing lands in the printing thread's queue.
  for (int ended = 1; ended < 6; ++ended) writer.SendProgress(PageText(ended + 1).c_str(), ended * 5);
  writer.FinishProgress();
  EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE | QS_SENDMESSAGE), 0u);
  writer.ResetJob();
  ExpectNothingLeft(writer);
  const auto actions = JournalOf(Kind::Action);
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].line, "person pressed \"Hide\" in \"Kelvo Quenzar Zedarod\"");
}

TEST_F(Progress, EscapeAndTheCloseBoxEndTheDialogToo) {
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Escape");
    CPDF_DocWriter writer;
    ASSERT_TRUE(writer.StartProgressThread());
    const HWND dialog = writer.ProgressWindow();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(closeBox ? person.Close(dialog) : person.PressKey(dialog, VK_ESCAPE));
    EXPECT_TRUE(ThreadEnds(writer));
    writer.ResetJob();
    ExpectNothingLeft(writer);
  }
}

TEST_F(Progress, AShortJobLeavesNoDialogAndNoThread) {
  // Jobs that end before their dialog may have appeared: through the job's reset, and through the writer's end.
  for (int job = 0; job < 10; ++job) {
    CPDF_DocWriter writer;
    ASSERT_TRUE(writer.StartProgressThread());
    writer.ResetJob();
    ExpectNothingLeft(writer);
  }
  for (int job = 0; job < 10; ++job) {
    {
      CPDF_DocWriter writer;
      ASSERT_TRUE(writer.StartProgressThread());
    }
    EXPECT_EQ(person.WindowCount(), windowsBefore);
    EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore);
  }
}

TEST_F(Progress, AWriterThatStartsAgainEndsTheEarlierDialogFirst) {
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.StartProgressThread());
  const HWND first = writer.ProgressWindow();
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(writer.StartProgressThread());
  const HWND second = writer.ProgressWindow();
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(kq::RunningThreadCount(*machine), threadsBefore + 1);
  writer.CloseJob();
  ExpectNothingLeft(writer);
}

TEST_F(Progress, ADialogThatCannotBeMadeShowsNoProgress) {
  // The module's templates are gone for the test's length; the table put back outlives its registration.
  static const kq::DialogResource dialogs[] = {{IDD_PROGRESS, &ProgressDialogTemplate()}};
  struct Unregistered {
    Unregistered() { kq::UnregisterModuleResources(DriverModule()); }
    ~Unregistered() { kq::RegisterModuleResources(DriverModule(), {dialogs}); }
  } const unregistered;
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.StartProgressThread());
  EXPECT_EQ(writer.ProgressWindow(), nullptr) << "the thread signals that no dialog comes";
  writer.SendProgress(PageText(1).c_str(), 5);
  writer.FinishProgress();
  writer.ResetJob();
  ExpectNothingLeft(writer);
}

TEST_F(Progress, AScriptedHideRightAtTheStartIsHarmless) {
  person.PressWhenShown(u"Kelvo Quenzar Zedarod", u"Hide");
  CPDF_DocWriter writer;
  ASSERT_TRUE(writer.StartProgressThread());
  for (int ended = 0; ended < 3; ++ended)
    writer.SendProgress(PageText(ended + 1).c_str(), ProgressPosition(ended, false, 1));
  writer.FinishProgress();
  writer.ResetJob();
  ExpectNothingLeft(writer);
}

}  // namespace
