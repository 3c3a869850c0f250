#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "user_fixture.h"
#include "win/commctrl.h"
#include "win/dialog_templates.h"

namespace {

using kqtest::Event;
using kqtest::PlatformThread;
using kqtest::UserTest;

constexpr int kText = 11003, kBar = 11001, kHide = 11005;
constexpr UINT kDone = WM_USER + 100;

constexpr kq::DialogControl kProgressControls[] = {
    {WC_STATIC, u"Converting...", kText, SS_LEFT | WS_VISIBLE, 5, 3, 173, 8},
    {PROGRESS_CLASSW, nullptr, kBar, WS_VISIBLE, 5, 13, 175, 6},
    {WC_BUTTON, u"&Hide", kHide, BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 150, 22, 29, 9},
};
constexpr kq::DialogTemplate kProgress{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                                       0,
                                       0,
                                       187,
                                       35,
                                       u"Kelvo PDF Zedarod - converting status",
                                       u"Arial",
                                       10,
                                       kProgressControls};
constexpr kq::DialogControl kShownControls[] = {{WC_BUTTON, u"OK", IDOK, WS_VISIBLE, 0, 0, 20, 10}};
constexpr kq::DialogTemplate kShown{WS_POPUP | WS_VISIBLE, 0, 0, 100, 50, u"Shown at once", u"Arial", 8, kShownControls};
constexpr kq::DialogControl kBrokenControls[] = {{u"NoSuchControl", u"", 1, WS_VISIBLE, 0, 0, 1, 1}};
constexpr kq::DialogTemplate kBroken{WS_POPUP, 0, 0, 10, 10, u"Broken", u"Arial", 8, kBrokenControls};
// A modal dialog: an icon of the module, a text and its default button.
constexpr kq::DialogControl kModalControls[] = {
    {WC_STATIC, u"#5", 0xFFFF, WS_VISIBLE | SS_ICON, 4, 4, 20, 20},
    {WC_STATIC, u"Are you sure?", 0xFFFF, WS_VISIBLE | SS_LEFT, 30, 4, 60, 8},
    {WC_BUTTON, u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP, 30, 20, 30, 12},
    {WC_BUTTON, u"&Go", 12, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 64, 20, 30, 12},
};
constexpr kq::DialogTemplate kModal{WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 100, 40, u"Modal", u"Arial", 8,
                                    kModalControls};
constexpr std::uint32_t kIconPixels[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
constexpr kq::PictureResource kIcons[] = {{5, 2, 2, kIconPixels}};
constexpr kq::DialogResource kDialogs[] = {
    {11001, &kProgress}, {u"ShownPage", &kShown}, {7, &kBroken}, {9, &kModal}};

// The module whose templates these are.
const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(const_cast<kq::DialogResource*>(kDialogs));

// What the progress dialog's thread saw.
struct ProgressState {
  LPARAM initParam = 0;
  bool visibleDuringInit = true;
  std::atomic<int> command{-1};
  HWND dialog = nullptr;
  Event published;
};

INT_PTR ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<ProgressState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state->initParam = lParam;
      state->visibleDuringInit = IsWindowVisible(dialog) != FALSE;
      RECT r;
      GetWindowRect(dialog, &r);
      const int w = r.right - r.left, h = r.bottom - r.top;
      SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2,
                   0, 0, SWP_NOSIZE | SWP_NOZORDER);
      SendDlgItemMessageW(dialog, kBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SetWindowTextW(dialog, u"Kelvo Quenzar Zedarod");
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL && LOWORD(wParam) != kHide) return 0;
      reinterpret_cast<ProgressState*>(GetWindowLongPtrW(dialog, DWLP_USER))->command = LOWORD(wParam);
      EndDialog(dialog, 0);
      PostQuitMessage(0);
      return 0;
    case kDone:
      reinterpret_cast<ProgressState*>(GetWindowLongPtrW(dialog, DWLP_USER))->command = kDone;
      EndDialog(dialog, 0);
      PostQuitMessage(0);
      return 0;
    default:
      return 0;
  }
}

// The dialog's thread, as a driver runs it: create, show, publish, loop.
DWORD ProgressThread(ProgressState& state) {
  HWND dialog = CreateDialogParamW(kModule, MAKEINTRESOURCEW(11001), nullptr, ProgressDialogProc,
                                   reinterpret_cast<LPARAM>(&state));
  if (!dialog) {
    state.published.Set();
    return 1;
  }
  ShowWindow(dialog, SW_SHOW);
  state.dialog = dialog;
  state.published.Set();
  return kqtest::RunMessageLoop(dialog);
}

class Dialogs : public UserTest {
 protected:
  void SetUp() override { kq::RegisterModuleResources(kModule, {kDialogs, {}, {}, kIcons}); }
  void TearDown() override { kq::UnregisterModuleResources(kModule); }
};

TEST_F(Dialogs, AProgressDialogOnItsOwnThreadFollowsTheProtocol) {
  ProgressState state;
  const auto windowsBefore = person.WindowCount();
  PlatformThread thread([&] { return ProgressThread(state); });
  ASSERT_TRUE(state.published.Wait());
  HWND dialog = state.dialog;
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(state.initParam, reinterpret_cast<LPARAM>(&state));
  EXPECT_FALSE(state.visibleDuringInit);

  // Found as the add-in's dialog would be found by the driver.
  EXPECT_EQ(person.WaitForWindow(u"Kelvo Quenzar Zedarod", kqtest::kBound), dialog);
  EXPECT_EQ(FindWindowW(WC_DIALOG, u"Kelvo Quenzar Zedarod"), dialog);
  EXPECT_EQ(FindWindowW(WC_DIALOG, u"Kelvo PDF Zedarod - converting status"), nullptr);
  EXPECT_EQ(person.ControlText(dialog, kText), u"Converting...");
  EXPECT_EQ(SendDlgItemMessageW(dialog, kBar, PBM_GETRANGE, FALSE, 0), 100);
  RECT r;
  ASSERT_TRUE(GetWindowRect(dialog, &r));
  EXPECT_EQ(r.left, (1024 - (r.right - r.left)) / 2);

  for (int page = 1; page <= 4; ++page) {
    const auto text = kq::FormatWideString(u"Printing page %d", page);
    SendDlgItemMessageW(dialog, kText, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    EXPECT_EQ(person.ControlText(dialog, kText), text) << "a sent text is in place when the send returns";
    ASSERT_TRUE(PostMessageW(GetDlgItem(dialog, kBar), PBM_SETPOS, page * 5, 0));
    EXPECT_TRUE(person.WaitUntil([&] { return person.ProgressPosition(dialog, kBar) == page * 5; }, kqtest::kBound));
  }
  EXPECT_EQ(SendMessageW(dialog, kDone, 0, 0), 0);
  ASSERT_TRUE(thread.Join());
  EXPECT_EQ(state.command, static_cast<int>(kDone));
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(person.WindowCount(), windowsBefore);
  EXPECT_EQ(kq::RunningThreadCount(*machine), 0);
  // Later messages reach no window.
  EXPECT_EQ(SendMessageW(dialog, kDone, 0, 0), 0);
  EXPECT_FALSE(PostMessageW(dialog, PBM_SETPOS, 50, 0));

  std::vector<std::string> lines;
  for (const auto& e : person.Journal()) lines.push_back(e.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"window shown: \"Kelvo Quenzar Zedarod\" (#32770)",
                                             "window hidden: \"Kelvo Quenzar Zedarod\" (#32770)",
                                             "window closed: \"Kelvo Quenzar Zedarod\""}));
}

TEST_F(Dialogs, HideEndsTheDialogWhileItsSenderGoesOn) {
  ProgressState state;
  PlatformThread thread([&] { return ProgressThread(state); });
  ASSERT_TRUE(state.published.Wait());
  HWND dialog = state.dialog;
  HWND bar = GetDlgItem(dialog, kBar);
  ASSERT_TRUE(person.Press(dialog, u"Hide"));
  ASSERT_TRUE(thread.Join());
  EXPECT_EQ(state.command, kHide);
  // The job goes on sending to windows that are gone.
  for (int page = 1; page <= 3; ++page) {
    EXPECT_EQ(SendDlgItemMessageW(dialog, kText, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Printing page")), 0);
    EXPECT_FALSE(PostMessageW(bar, PBM_SETPOS, 10, 0));
  }
  EXPECT_EQ(GetDlgItem(dialog, kBar), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageW(dialog, kDone, 0, 0), 0);
  EXPECT_FALSE(person.Press(dialog, u"Hide")) << "nothing left to press";
  const auto actions = JournalOf(kq::JournalEntry::Kind::Action);
  ASSERT_FALSE(actions.empty());
  EXPECT_EQ(actions[0].line, "person pressed \"Hide\" in \"Kelvo Quenzar Zedarod\"");
}

TEST_F(Dialogs, EscapeAndTheCloseBoxCancelTheDialog) {
  struct Case {
    const char* what;
    std::function<bool(kq::SimulatedUser&, HWND)> act;
  } cases[] = {
      {"Escape", [](kq::SimulatedUser& p, HWND d) { return p.PressKey(d, VK_ESCAPE); }},
      {"close box", [](kq::SimulatedUser& p, HWND d) { return p.Close(d); }},
      {"button by id", [](kq::SimulatedUser& p, HWND d) { return p.Press(d, kHide); }},
  };
  for (const auto& c : cases) {
    ProgressState state;
    PlatformThread thread([&] { return ProgressThread(state); });
    ASSERT_TRUE(state.published.Wait()) << c.what;
    ASSERT_TRUE(c.act(person, state.dialog)) << c.what;
    ASSERT_TRUE(thread.Join()) << c.what;
    EXPECT_EQ(state.command, std::string(c.what) == "button by id" ? kHide : IDCANCEL) << c.what;
    EXPECT_FALSE(IsWindow(state.dialog)) << c.what;
  }
}

TEST_F(Dialogs, AScriptedPressHappensWhenTheDialogIsShown) {
  person.PressWhenShown(u"kelvo quenzar zedarod", u"Hide");
  ProgressState state;
  PlatformThread thread([&] { return ProgressThread(state); });
  ASSERT_TRUE(thread.Join()) << JournalText();
  EXPECT_EQ(state.command, kHide);
}

// Ends with the id of the button pressed, or (when `stubborn` is set) never ends at all.
bool gStubborn = false;
INT_PTR ModalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND) {
    if (!gStubborn) EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// A modal dialog waits for the person, who reads it and presses its default button; one that nothing ends is
// closed and then given up, so that no modal dialog waits for ever.
TEST_F(Dialogs, AModalDialogIsReadAndAnsweredAndNeverWaitsForEver) {
  gStubborn = false;
  EXPECT_EQ(DialogBoxParamW(kModule, MAKEINTRESOURCEW(9), nullptr, ModalProc, 0), 12);
  EXPECT_EQ(FindWindowW(nullptr, u"Modal"), nullptr);
  std::vector<std::string> lines;
  for (const auto& entry : person.Journal())
    if (entry.caption == u"Modal") lines.push_back(entry.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"window shown: \"Modal\" (#32770)",
                                             "person read \"Modal\": an icon, \"Are you sure?\", [Cancel], [Go]",
                                             "person pressed \"Go\" in \"Modal\"", "window hidden: \"Modal\" (#32770)",
                                             "window closed: \"Modal\""}));

  gStubborn = true;
  EXPECT_EQ(DialogBoxParamW(kModule, MAKEINTRESOURCEW(9), nullptr, ModalProc, 0), -1);
  EXPECT_EQ(FindWindowW(nullptr, u"Modal"), nullptr);
  EXPECT_EQ(DialogBoxParamW(kModule, MAKEINTRESOURCEW(99), nullptr, ModalProc, 0), -1) << "no such template";
  gStubborn = false;
}

TEST_F(Dialogs, TemplatesAreFoundByModuleAndName) {
  SetLastError(0);
  EXPECT_EQ(CreateDialogParamW(kModule, MAKEINTRESOURCEW(999), nullptr, ProgressDialogProc, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(CreateDialogParamW(reinterpret_cast<HINSTANCE>(0x4000), MAKEINTRESOURCEW(11001), nullptr,
                               ProgressDialogProc, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(CreateDialogParamW(kModule, u"ShownPage", nullptr, nullptr, 0) != nullptr, true)
      << "a name is not an id";
  EXPECT_EQ(kq::FindDialogTemplate(kModule, u"SHOWNPAGE"), &kShown);
  EXPECT_EQ(kq::FindDialogTemplate(kModule, MAKEINTRESOURCEW(11001)), &kProgress);

  HWND shown = FindWindowW(WC_DIALOG, u"Shown at once");
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(IsWindowVisible(shown)) << "WS_VISIBLE in the template";
  EXPECT_NE(GetDlgItem(shown, IDOK), nullptr);
  DestroyWindow(shown);

  const auto before = person.WindowCount();
  EXPECT_EQ(CreateDialogParamW(kModule, MAKEINTRESOURCEW(7), nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_EQ(person.WindowCount(), before) << "a dialog whose control fails leaves nothing behind";
}

TEST_F(Dialogs, ProgressBarKeepsItsPositionInItsRange) {
  HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(bar, nullptr);
  struct Step {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT answer;
    int position;
  } steps[] = {
      {PBM_GETPOS, 0, 0, 0, 0},
      {PBM_SETPOS, 40, 0, 0, 40},
      {PBM_SETPOS, 150, 0, 40, 100},             // clamped to the maximum
      {PBM_SETRANGE, 0, MAKELPARAM(10, 50), MAKELONG(0, 100), 50},
      {PBM_SETPOS, 5, 0, 50, 10},                // clamped to the minimum
      {PBM_DELTAPOS, 15, 0, 10, 25},
      {PBM_SETSTEP, 20, 0, 10, 25},
      {PBM_STEPIT, 0, 0, 25, 45},
      {PBM_STEPIT, 0, 0, 45, 25},                // past 50: starts again from 10 (65 -> 10 + 55 % 40)
      {PBM_GETRANGE, TRUE, 0, 10, 25},
      {PBM_SETRANGE32, 0, 1000, MAKELONG(10, 50), 25},
      {PBM_GETRANGE, FALSE, 0, 1000, 25},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(SendMessageW(bar, s.message, s.wParam, s.lParam), s.answer) << "message " << s.message;
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), s.position) << "after message " << s.message;
  }
  PBRANGE range{};
  SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 1000);
  DestroyWindow(bar);
}

// A window that writes down the WM_COMMAND it gets from its button.
LRESULT CommandProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(Dialogs, ButtonsReportClicksToTheirParent) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CommandProc;
  wc.lpszClassName = u"CommandSink";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND parent = CreateWindowExW(0, u"CommandSink", u"Sink", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
  HWND box = CreateWindowExW(0, WC_BUTTON, u"Check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 0, 0, 50, 10, parent,
                             reinterpret_cast<HMENU>(42), nullptr, nullptr);
  ASSERT_TRUE(parent && box);
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(GetWindowLongPtrW(parent, GWLP_USERDATA), static_cast<LONG_PTR>(MAKEWPARAM(42, BN_CLICKED)));
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));

  SetWindowLongPtrW(parent, GWLP_USERDATA, 0);
  EnableWindow(box, FALSE);
  EXPECT_FALSE(person.Press(parent, u"Check")) << "a disabled button cannot be pressed";
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(GetWindowLongPtrW(parent, GWLP_USERDATA), 0);
  DestroyWindow(parent);
}

}  // namespace
