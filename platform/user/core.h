// The window system of one machine: classes, windows, the threads' message queues, the journal and the simulated
// person's script. One lock guards it all; window procedures are always called with the lock released.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "win/base.h"
#include "win/simulated_user.h"
#include "win/user.h"
#include "win/window_surface.h"

namespace kq {
class Machine;
}

namespace kq::user {

struct WindowClass {
  WString name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  HICON smallIcon = nullptr;
  bool system = false;
  int windows = 0;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  WString text;
  RECT rect{};  // children: relative to the parent; top-level windows: on the screen
  DWORD thread = 0;
  std::vector<BYTE> extra;
  std::shared_ptr<void> controlState;  // a list or text control's own data (list_controls.h)
  std::shared_ptr<WindowSurface> surface;  // its pixels, made by the first GetDC (win/window_surface.h)
  std::vector<HWND> children;
  bool destroying = false;
  bool everShown = false;
  bool ended = false;
  INT_PTR endResult = 0;

  bool TopLevel() const { return (style & WS_CHILD) == 0; }
};

struct Queue;

// A message sent to another thread's window; it lives on the sender's stack while the sender waits.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::shared_ptr<Queue> sender;
  bool done = false;
  LRESULT result = 0;
};

struct Queue {
  explicit Queue(DWORD t) : thread(t) {}
  DWORD thread;
  std::deque<MSG> posted;
  std::deque<SentMessage*> sent;
  bool quit = false;
  int quitCode = 0;
  bool idle = false;  // the thread waits in GetMessageW for something to come
  std::condition_variable cv;
};

struct BoxAnswer {
  int answer;
  MessageBoxMatch match;
  bool standing;
};

struct SaveAsAnswer {
  enum class Kind { Path, Cancel, Fail } kind;
  WString path;
  DWORD error = 0;
};

class WindowPorts;

struct ScriptedPress {
  WString caption;
  WString button;
};

class Core : public std::enable_shared_from_this<Core> {
 public:
  Core();
  void Shutdown();

  mutable std::mutex mutex;
  using Lock = std::unique_lock<std::mutex>;

  // ---- Under the lock ----
  Window* Find(HWND handle);
  const Window* Find(HWND handle) const;
  // Find, setting ERROR_INVALID_WINDOW_HANDLE when there is no such window.
  Window* FindOrReport(HWND handle);
  const Window* FindOrReport(HWND handle) const;
  HWND Desktop() const { return desktop_; }
  std::shared_ptr<WindowClass> FindClass(LPCWSTR nameOrAtom) const;
  ATOM AddClass(std::shared_ptr<WindowClass> cls);  // 0 when the name is taken
  bool RemoveClass(const std::shared_ptr<WindowClass>& cls);
  Window& AddWindow(std::unique_ptr<Window> window);
  // Removes the window and its children at once, without calling their procedures.
  void RemoveTree(HWND handle);
  bool IsDescendant(HWND ancestor, HWND window) const;
  bool Visible(const Window& window) const;
  void SetVisible(Window& window, bool visible);
  void SetText(Window& window, WString text);
  std::vector<HWND> TopLevelWindows() const;  // newest first
  std::size_t WindowCount() const { return windows_.size(); }

  // The calling thread's queue, made on first use.
  std::shared_ptr<Queue> CurrentQueue();
  std::shared_ptr<Queue> FindQueue(DWORD thread) const;
  void Post(Queue& queue, const MSG& message);
  // Delivers one message sent to `queue`'s thread; releases the lock while the procedure runs.
  void DeliverSent(Lock& lock, Queue& queue);
  // Waits for `message` to be answered, delivering what is sent to the waiting thread meanwhile.
  void AwaitReply(Lock& lock, Queue& mine, SentMessage& message);
  bool ShutDown() const { return shutDown_; }

  // Something on the screen, in a queue or in the journal changed.
  void Changed();
  void WaitForChange(Lock& lock, std::uint64_t seen, std::chrono::steady_clock::time_point deadline);
  std::uint64_t ChangeCount() const { return changes_; }
  // The same for the journal alone: it changes far less often than the screen.
  void WaitForJournalChange(Lock& lock, std::uint64_t seen, std::chrono::steady_clock::time_point deadline);
  std::uint64_t JournalChangeCount() const { return journalChanges_; }
  // Every waiter looks again now.
  void WakeWaiters();

  void AddJournal(JournalEntry entry);
  const std::vector<JournalEntry>& Journal() const { return journal_; }
  void SetJournalToStderr(bool on) { toStderr_ = on; }

  // ---- The person's script ----
  std::deque<BoxAnswer> boxAnswers;
  std::deque<SaveAsAnswer> saveAsAnswers;
  bool saveAsDefaultTaken = false;
  std::vector<ScriptedPress> scriptedPresses;
  // Posts the click of a button (by text or id) if the person could press it.
  bool PressButton(HWND dialog, WStringView text, int id);

  DWORD dialogError = 0;  // CommDlgExtendedError
  const RECT screen{0, 0, 1024, 768};

  // ---- Other processes on the same state root (window_ports.cpp) ----
  // A handle for a window of this core, or for the stand-in of another process's window. Under the lock.
  HWND NewHandle();
  // Made by the machine's window system; it opens this core's port with its first top-level window.
  std::shared_ptr<WindowPorts> ports;

 private:
  void ThreadEnded(DWORD thread);
  void RunScriptedPresses(const Window& shown);

  std::map<HWND, std::unique_ptr<Window>> windows_;
  std::map<DWORD, std::shared_ptr<Queue>> queues_;
  std::vector<std::shared_ptr<WindowClass>> classes_;
  ATOM nextAtom_ = 0xC000;
  std::uintptr_t nextHandle_ = 0x10000;
  HWND desktop_ = nullptr;
  bool shutDown_ = false;
  std::uint64_t changes_ = 0, journalChanges_ = 0;
  std::condition_variable changed_, journalChanged_;
  std::vector<JournalEntry> journal_;
  bool toStderr_ = false;
};

// The window system of the calling thread's machine.
std::shared_ptr<Core> CurrentCore();
std::shared_ptr<Core> CoreOf(Machine& machine);

// Journal lines quote texts on one line.
std::string Quote(WStringView text);
// A button's text as a person reads it: without '&'.
WString PlainLabel(WStringView text);

// The built-in window procedures, registered as system classes.
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT SaveAsHookHostProc(HWND, UINT, WPARAM, LPARAM);
inline constexpr const WCHAR* kSaveAsHookClass = u"kq.SaveAsHookHost";
// Progress-bar state in the control's extra bytes.
inline constexpr int kProgressMin = 0, kProgressMax = 8, kProgressPos = 16, kProgressStep = 24;
inline constexpr int kProgressExtra = 32;
inline constexpr int kButtonCheck = 0, kButtonExtra = 8;
inline constexpr int kStaticIcon = 0, kStaticExtra = 8;
// The save-as hook host keeps the hook after the dialog slots.
inline constexpr int kHookSlot = 32, kHookHostExtra = 40;

// Reads and writes of a window's extra bytes, under the lock.
LONG_PTR ReadExtra(const Window& window, int offset);
void WriteExtra(Window& window, int offset, LONG_PTR value);

}  // namespace kq::user
