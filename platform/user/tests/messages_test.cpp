#include <atomic>
#include <mutex>
#include <thread>

#include "user_fixture.h"

namespace {

using kqtest::Event;
using kqtest::PlatformThread;
using kqtest::UserTest;

constexpr UINT kA = WM_USER + 1, kB = WM_USER + 2, kC = WM_USER + 3, kQuitAfter = WM_USER + 9;

// A window whose procedure writes down the user messages it gets, answers wParam + 100, and ends the thread's
// loop on kQuitAfter. The record is read by the test only after the window's thread has ended.
struct Log {
  std::mutex mutex;
  std::vector<std::pair<UINT, WPARAM>> got;
  std::function<LRESULT(HWND, UINT, WPARAM)> also;
};

LRESULT LogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* log = reinterpret_cast<Log*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (log && message >= WM_USER) {
    {
      std::lock_guard lock(log->mutex);
      log->got.emplace_back(message, wParam);
    }
    if (message == kQuitAfter) PostQuitMessage(0);
    if (log->also) return log->also(window, message, wParam);
    return static_cast<LRESULT>(wParam + 100);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class Messages : public UserTest {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = LogProc;
    wc.lpszClassName = u"Log";
    ASSERT_NE(RegisterClassW(&wc), 0);
  }
  static HWND MakeLogWindow(Log& log) {
    return CreateWindowExW(0, u"Log", u"log", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, &log);
  }
  // Waits, on the calling thread, until something has been sent to it.
  bool AwaitIncomingSend() {
    return person.WaitUntil([] { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; },
                            kqtest::kBound);
  }
};

TEST_F(Messages, SentMessagesAreDeliveredFirstInsideTheReceiversLoopWhileTheSenderWaits) {
  Log log;
  HWND window = nullptr;
  Event ready;
  PlatformThread receiver([&]() -> DWORD {
    window = MakeLogWindow(log);
    ready.Set();
    if (!AwaitIncomingSend()) return 1;
    return kqtest::RunMessageLoop();
  });
  ASSERT_TRUE(ready.Wait());
  ASSERT_TRUE(PostMessageW(window, kA, 1, 0));
  ASSERT_TRUE(PostMessageW(window, kQuitAfter, 2, 0));
  PlatformThread sender([&]() -> DWORD { return static_cast<DWORD>(SendMessageW(window, kC, 3, 0)); });

  ASSERT_TRUE(sender.Join());
  ASSERT_TRUE(receiver.Join());
  EXPECT_EQ(sender.ExitCode(), 103u) << "the sender gets the receiver's answer";
  EXPECT_EQ(receiver.ExitCode(), 0u);
  const std::vector<std::pair<UINT, WPARAM>> expected{{kC, 3}, {kA, 1}, {kQuitAfter, 2}};
  EXPECT_EQ(log.got, expected);
  EXPECT_FALSE(IsWindow(window)) << "the window went with its thread";
}

TEST_F(Messages, MessagesFromOneThreadKeepTheirOrder) {
  Log log;
  HWND window = nullptr;
  Event ready;
  PlatformThread receiver([&]() -> DWORD {
    window = MakeLogWindow(log);
    ready.Set();
    return kqtest::RunMessageLoop();
  });
  ASSERT_TRUE(ready.Wait());
  std::vector<LRESULT> answers;
  for (WPARAM i = 0; i < 20; ++i) {
    PostMessageW(window, kA, i, 0);
    answers.push_back(SendMessageW(window, kC, i, 0));
  }
  PostMessageW(window, kQuitAfter, 0, 0);
  ASSERT_TRUE(receiver.Join());

  std::vector<WPARAM> sent, posted;
  for (auto& [message, value] : log.got) {
    if (message == kC) sent.push_back(value);
    if (message == kA) posted.push_back(value);
  }
  std::vector<WPARAM> inOrder(20);
  for (WPARAM i = 0; i < 20; ++i) inOrder[i] = i;
  EXPECT_EQ(sent, inOrder);
  EXPECT_EQ(posted, inOrder);
  for (WPARAM i = 0; i < 20; ++i) EXPECT_EQ(answers[i], static_cast<LRESULT>(i + 100));
}

TEST_F(Messages, AWaitingSenderHandlesWhatIsSentBackToIt) {
  Log mine;
  HWND myWindow = MakeLogWindow(mine);
  Log theirs;
  theirs.also = [&](HWND, UINT message, WPARAM wParam) -> LRESULT {
    if (message != kA) return 0;
    PostQuitMessage(0);
    return SendMessageW(myWindow, kB, wParam, 0) + 1;  // back to the thread that is waiting for us
  };
  HWND theirWindow = nullptr;
  Event ready;
  PlatformThread other([&]() -> DWORD {
    theirWindow = MakeLogWindow(theirs);
    ready.Set();
    return kqtest::RunMessageLoop();
  });
  ASSERT_TRUE(ready.Wait());
  EXPECT_EQ(SendMessageW(theirWindow, kA, 5, 0), 106);  // 5 + 100 from us, + 1 from them
  ASSERT_TRUE(other.Join());
  EXPECT_EQ(mine.got, (std::vector<std::pair<UINT, WPARAM>>{{kB, 5}}));
  DestroyWindow(myWindow);
}

TEST_F(Messages, AThreadThatEndsAnswersWhatWaitsForItWithZero) {
  Log log;
  HWND window = nullptr;
  Event ready;
  const auto windowsBefore = person.WindowCount();
  PlatformThread receiver([&]() -> DWORD {
    window = MakeLogWindow(log);
    ready.Set();
    return AwaitIncomingSend() ? 0 : 1;  // ends without pumping
  });
  ASSERT_TRUE(ready.Wait());
  EXPECT_EQ(SendMessageW(window, kC, 1, 0), 0);
  ASSERT_TRUE(receiver.Join());
  EXPECT_EQ(receiver.ExitCode(), 0u);
  EXPECT_TRUE(log.got.empty());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(person.WindowCount(), windowsBefore);
  EXPECT_EQ(kq::RunningThreadCount(*machine), 0);
}

TEST_F(Messages, WindowsOfAnyEndingThreadGo) {
  Log log;
  HWND window = nullptr;
  const auto windowsBefore = person.WindowCount();
  std::thread([&] {
    kq::MachineScope bound(machine.Get());
    window = MakeLogWindow(log);
    ShowWindow(window, SW_SHOW);
  }).join();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(person.WindowCount(), windowsBefore);
  EXPECT_EQ(JournalOf(kq::JournalEntry::Kind::WindowClosed).size(), 1u) << JournalText();
}

TEST_F(Messages, ToTheCallingThreadsOwnWindowASendIsADirectCall) {
  Log log;
  HWND window = MakeLogWindow(log);
  EXPECT_EQ(SendMessageW(window, kA, 7, 0), 107);
  EXPECT_EQ(log.got.size(), 1u);
  EXPECT_EQ(HIWORD(GetQueueStatus(QS_SENDMESSAGE | QS_POSTMESSAGE)), 0) << "nothing was queued";
  DestroyWindow(window);
}

TEST_F(Messages, QueueRetrievalFiltersAndQuit) {
  MSG msg{};
  SetLastError(0);
  EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(0x1234), 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  // A thread message, peeked then taken.
  ASSERT_TRUE(PostMessageW(nullptr, kA, 1, 2));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, kA);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.lParam, 2);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  // A range filter passes over earlier messages.
  PostMessageW(nullptr, kA, 0, 0);
  PostMessageW(nullptr, kC, 0, 0);
  ASSERT_EQ(GetMessageW(&msg, nullptr, kC, kC), 1);
  EXPECT_EQ(msg.message, kC);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, kA);

  // Posted messages come before the quit.
  PostQuitMessage(3);
  PostMessageW(nullptr, kB, 0, 0);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), 1);
  EXPECT_EQ(msg.message, kB);
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  // Messages that carry pointers are never posted.
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(nullptr, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")));
  EXPECT_EQ(GetLastError(), ERROR_MESSAGE_SYNC_ONLY);
}

TEST_F(Messages, DispatchOnlyReachesTheCallingThreadsLiveWindows) {
  Log log;
  HWND window = MakeLogWindow(log);
  MSG msg{window, kA, 4, 0, 0, {}};
  EXPECT_EQ(DispatchMessageW(&msg), 104);
  DestroyWindow(window);
  EXPECT_EQ(DispatchMessageW(&msg), 0);
  EXPECT_EQ(log.got.size(), 1u);
}

// A static control's text sent from another thread: set and read back in order, whether the control's thread waits
// idle (the procedure may run on the sender) or not; a control whose procedure was replaced gets its messages on
// its own thread.
TEST_F(Messages, AStaticControlsTextSentFromAnotherThreadIsSetInOrder) {
  static std::atomic<DWORD> subclassThread{0};
  static WNDPROC original = nullptr;
  Log log;
  HWND logWindow = nullptr, label = nullptr, subclassed = nullptr;
  Event ready;
  PlatformThread receiver([&]() -> DWORD {
    logWindow = MakeLogWindow(log);
    label = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    subclassed = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(subclassed, GWLP_WNDPROC));
    SetWindowLongPtrW(subclassed, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                        if (m == WM_SETTEXT) subclassThread = GetCurrentThreadId();
                        return CallWindowProcW(original, w, m, wp, lp);
                      }));
    ready.Set();
    return kqtest::RunMessageLoop();
  });
  ASSERT_TRUE(ready.Wait());
  for (int i = 0; i < 20; ++i) {
    const kq::WString text = u"page " + kq::WideFromUtf8(std::to_string(i));
    ASSERT_EQ(SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())), TRUE);
    WCHAR read[32] = {};
    EXPECT_EQ(GetWindowTextW(label, read, 32), static_cast<int>(text.size()));
    EXPECT_EQ(kq::WString(read), text);
    EXPECT_EQ(GetWindowTextLengthW(label), static_cast<int>(text.size()));
  }
  ASSERT_EQ(SendMessageW(subclassed, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"own")), TRUE);
  EXPECT_EQ(subclassThread.load(), receiver.Id());
  EXPECT_EQ(person.Text(subclassed), kq::WString(u"own"));
  PostMessageW(logWindow, kQuitAfter, 0, 0);
  ASSERT_TRUE(receiver.Join());
  EXPECT_EQ(SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"late")), 0) << "the control went with its thread";
}

// A waiter of the journal wakes when the journal grows, and any waiter when woken; each condition is evaluated
// once before the wake comes, so a wake that were lost would leave the waiter to its bound.
TEST_F(Messages, WaitersLookAgainWhenTheJournalGrowsOrTheyAreWoken) {
  for (const bool byJournal : {true, false}) {
    std::atomic<bool> flag{false};
    Event evaluated;
    const std::size_t entries = person.Journal().size();
    PlatformThread waiter([&]() -> DWORD {
      const auto condition = [&] {
        evaluated.Set();
        return byJournal ? person.Journal().size() > entries : flag.load();
      };
      return byJournal ? person.WaitUntilJournal(condition, kqtest::kBound)
                       : person.WaitUntil(condition, kqtest::kBound);
    });
    ASSERT_TRUE(evaluated.Wait());
    if (byJournal) {
      MessageBoxW(nullptr, u"Text", u"Caption", MB_OK);
    } else {
      flag = true;
      person.WakeWaiters();
    }
    ASSERT_TRUE(waiter.Join());
    EXPECT_EQ(waiter.ExitCode(), 1u) << (byJournal ? "by the journal" : "by WakeWaiters");
  }
}

}  // namespace
