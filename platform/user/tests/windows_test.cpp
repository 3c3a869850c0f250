#include <mutex>
#include <optional>

#include "user_fixture.h"

namespace {

using kqtest::UserTest;

// Writes down every message a window gets; `on` may answer one itself.
struct Recorder {
  std::mutex mutex;
  std::vector<std::pair<HWND, UINT>> messages;
  std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> on;

  std::vector<UINT> Of(HWND window) {
    std::lock_guard lock(mutex);
    std::vector<UINT> out;
    for (auto& [h, m] : messages)
      if (h == window) out.push_back(m);
    return out;
  }
  bool Got(HWND window, UINT message) {
    auto all = Of(window);
    return std::find(all.begin(), all.end(), message) != all.end();
  }
};

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (recorder) {
    {
      std::lock_guard lock(recorder->mutex);
      recorder->messages.emplace_back(window, message);
    }
    if (recorder->on) {
      if (auto answer = recorder->on(window, message, wParam, lParam)) return *answer;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class Windows : public UserTest {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = u"Recording";
    ASSERT_NE(RegisterClassExW(&wc), 0);
  }
  HWND Make(const WCHAR* caption, DWORD style = WS_POPUP, HWND parent = nullptr, int id = 0) {
    return CreateWindowExW(0, u"Recording", caption, style, 10, 20, 200, 100, parent,
                           reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(id)), nullptr, &recorder);
  }
  Recorder recorder;
};

TEST_F(Windows, ClassesAreRegisteredOnceByNameIgnoringCase) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = u"RECORDING";
  SetLastError(0);
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  wc.lpszClassName = u"Other";
  wc.cbSize = sizeof(wc) - 8;
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  WNDCLASSEXW info{};
  ASSERT_TRUE(GetClassInfoExW(nullptr, u"recording", &info));
  EXPECT_EQ(info.lpfnWndProc, &RecordingProc);
  EXPECT_EQ(info.cbWndExtra, 16);
  EXPECT_TRUE(GetClassInfoExW(nullptr, WC_DIALOG, &info));
  EXPECT_TRUE(GetClassInfoExW(nullptr, MAKEINTATOM(kDialogClassAtom), &info));

  HWND window = Make(u"w");
  EXPECT_FALSE(UnregisterClassW(u"Recording", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassW(u"Recording", nullptr));
  EXPECT_EQ(Make(u"w"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(Windows, CreationGoesThroughTheProcedure) {
  int param = 0;
  recorder.on = [&](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
    if (message == WM_CREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      EXPECT_EQ(create->lpCreateParams, &recorder);
      EXPECT_EQ(create->cx, 200);
      EXPECT_EQ(kq::WString(create->lpszName), u"Made");
      param = 1;
    }
    return std::nullopt;
  };
  HWND window = Make(u"Made");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(param, 1);
  EXPECT_EQ(recorder.Of(window), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_FALSE(IsWindowVisible(window));

  // A procedure that refuses WM_CREATE leaves no window behind.
  const auto before = person.WindowCount();
  recorder.on = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_CREATE) return -1;
    return std::nullopt;
  };
  EXPECT_EQ(Make(u"Refused"), nullptr);
  EXPECT_EQ(person.WindowCount(), before);

  SetLastError(0);
  EXPECT_EQ(CreateWindowExW(0, u"Recording", u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
}

TEST_F(Windows, CaptionsAreReadBackBoundedAndTerminated) {
  HWND window = Make(u"First");
  ASSERT_TRUE(SetWindowTextW(window, u"Kelvo Quenzar Zedarod"));
  EXPECT_EQ(GetWindowTextLengthW(window), 21);
  WCHAR buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(GetWindowTextW(window, buffer, 6), 5);
  EXPECT_EQ(kq::WString(buffer), u"Kelvo");
  EXPECT_EQ(buffer[6], u'#');
  EXPECT_EQ(GetWindowTextW(window, buffer, 0), 0);
  EXPECT_TRUE(SetWindowTextW(window, nullptr));
  EXPECT_EQ(GetWindowTextLengthW(window), 0);

  DestroyWindow(window);
  SetLastError(0);
  EXPECT_FALSE(SetWindowTextW(window, u"x"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  buffer[0] = u'#';
  EXPECT_EQ(GetWindowTextW(window, buffer, 8), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(Windows, FindWindowLooksAtTopLevelWindowsByClassAndCaption) {
  HWND older = Make(u"Kelvo Quenzar Zedarod");
  HWND newer = Make(u"Kelvo Quenzar Zedarod");
  HWND child = Make(u"Child caption", WS_CHILD, older, 5);
  ASSERT_TRUE(older && newer && child);

  EXPECT_EQ(FindWindowW(u"Recording", u"KELVO QUENZAR zedarod"), newer);
  EXPECT_EQ(FindWindowW(nullptr, u"Kelvo Quenzar Zedarod"), newer);
  EXPECT_EQ(FindWindowW(WC_DIALOG, u"Kelvo Quenzar Zedarod"), nullptr) << "another class";
  EXPECT_EQ(FindWindowW(nullptr, u"Child caption"), nullptr) << "children are not top-level";
  DestroyWindow(newer);
  EXPECT_EQ(FindWindowW(u"Recording", u"Kelvo Quenzar Zedarod"), older);
  SetLastError(0);
  EXPECT_EQ(FindWindowW(u"NoSuchClass", nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);

  EXPECT_EQ(GetParent(child), older);
  EXPECT_EQ(GetDlgItem(older, 5), child);
  EXPECT_EQ(GetDlgCtrlID(child), 5);
  SetLastError(0);
  EXPECT_EQ(GetDlgItem(older, 6), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CONTROL_ID_NOT_FOUND);
}

TEST_F(Windows, DestroyingTakesTheChildrenAndLeavesNothingToTalkTo) {
  HWND parent = Make(u"Parent", WS_POPUP | WS_VISIBLE);
  HWND child = Make(u"Child", WS_CHILD | WS_VISIBLE, parent, 1);
  HWND grandchild = Make(u"Grandchild", WS_CHILD, child, 2);
  const auto before = person.WindowCount();
  {
    std::lock_guard lock(recorder.mutex);
    recorder.messages.clear();
  }
  ASSERT_TRUE(DestroyWindow(parent));
  {
    std::lock_guard lock(recorder.mutex);
    const std::vector<std::pair<HWND, UINT>> expected{
        {parent, WM_DESTROY},        {child, WM_DESTROY},   {grandchild, WM_DESTROY},
        {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(recorder.messages, expected);
    recorder.messages.clear();
  }
  EXPECT_EQ(person.WindowCount(), before - 3);
  for (HWND gone : {parent, child, grandchild}) {
    EXPECT_FALSE(IsWindow(gone));
    SetLastError(0);
    EXPECT_EQ(SendMessageW(gone, WM_USER, 1, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(PostMessageW(gone, WM_USER, 1, 2));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(DestroyWindow(gone));
  }
  EXPECT_TRUE(recorder.messages.empty());
  const auto closed = JournalOf(kq::JournalEntry::Kind::WindowClosed);
  ASSERT_EQ(closed.size(), 1u) << JournalText();
  EXPECT_EQ(closed[0].caption, u"Parent");
}

TEST_F(Windows, OnlyTheOwningThreadDestroysAWindow) {
  HWND window = Make(u"Mine");
  kqtest::PlatformThread other([&]() -> DWORD {
    SetLastError(0);
    const BOOL destroyed = DestroyWindow(window);
    return destroyed ? 1 : GetLastError();
  });
  ASSERT_TRUE(other.Join());
  EXPECT_EQ(other.ExitCode(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(Windows, PlacementAndWindowData) {
  HWND window = Make(u"Placed");
  HWND child = Make(u"Inner", WS_CHILD, window, 1);
  RECT r;
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r.left, 20);  // 10 + 10
  EXPECT_EQ(r.top, 40);   // 20 + 20
  // Centring as a dialog does it on WM_INITDIALOG.
  ASSERT_TRUE(GetWindowRect(window, &r));
  const int w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  ASSERT_TRUE(SetWindowPos(window, nullptr, (1024 - w) / 2, (768 - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  ASSERT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW));
  ASSERT_TRUE(GetWindowRect(window, &r));
  EXPECT_EQ(r.left, 412);
  EXPECT_EQ(r.top, 334);
  EXPECT_EQ(r.right - r.left, w);
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsWindowVisible(child)) << "a child without WS_VISIBLE stays hidden";

  EXPECT_EQ(SetWindowLongPtrW(window, 8, 1234), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, 8), 1234);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrW(window, 9), 0) << "past the 16 extra bytes";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(SetWindowLongPtrW(window, 16, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
}

TEST_F(Windows, ShowingAndHidingGoToTheJournal) {
  HWND window = Make(u"Seen");
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(ShowWindow(window, SW_HIDE));
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_MINIMIZE);
  ShowWindow(window, SW_RESTORE);
  EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_MINIMIZE);
  DestroyWindow(window);
  std::vector<std::string> lines;
  for (const auto& e : person.Journal()) lines.push_back(e.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"window shown: \"Seen\" (Recording)", "window hidden: \"Seen\" (Recording)",
                                             "window shown: \"Seen\" (Recording)", "window hidden: \"Seen\" (Recording)",
                                             "window closed: \"Seen\""}));
}

TEST(TwoMachines, HaveSeparateWindowSystems) {
  kq::TemporaryMachine a, b;
  HWND inA;
  {
    kq::MachineScope scope(a.Get());
    inA = CreateWindowExW(0, WC_STATIC, u"Same caption", WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, nullptr, nullptr,
                          nullptr, nullptr);
    ASSERT_NE(inA, nullptr);
    EXPECT_EQ(FindWindowW(nullptr, u"Same caption"), inA);
  }
  {
    kq::MachineScope scope(b.Get());
    EXPECT_EQ(FindWindowW(nullptr, u"Same caption"), nullptr);
    EXPECT_EQ(kq::SimulatedUser(*b).WindowCount(), 0u);
    MessageBoxW(nullptr, u"Only in b", u"B", MB_OK);
  }
  EXPECT_EQ(kq::SimulatedUser(*a).Journal().size(), 1u);  // the shown window
  EXPECT_EQ(kq::SimulatedUser(*b).Journal().size(), 1u);  // the box
  kq::MachineScope scope(a.Get());
  DestroyWindow(inA);
}

}  // namespace
