// The simulated person in front of a machine's screen, and the journal of what the screen showed. Tests and tools
// script the person's answers before the system asks, act on windows that exist, and wait (always with a bound)
// for what the system shows. Everything here is per machine.
//
// Answers:
// - A message box takes the first queued answer whose match fits it (caption equal ignoring case, text
//   containing the given part); a standing answer stays for every later box that fits. A box nobody answers, or
//   whose answer is not one of its buttons, takes its default button.
// - The Save As dialog takes the next queued answer: a name (as typed into the dialog), cancel, or a failure with
//   an extended error. Unanswered, it is accepted once with the name it proposes (its default button); asked
//   again with no answer in between, or with no name proposed, the person cancels.
// - A scripted press clicks a button of a dialog as soon as a window with the given caption is shown.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

namespace kq {

class Machine;
namespace user {
class Core;
}

struct JournalEntry {
  enum class Kind { WindowShown, WindowHidden, WindowClosed, MessageBox, SaveAs, Action };
  Kind kind;
  WString caption;    // the window's caption, the box's caption or the Save As dialog's title
  WString text;       // the box's text; Save As: the chosen path; an action: what was pressed
  WString className;  // windows: the class name
  UINT style = 0;     // message boxes: the MB_* type
  int answer = 0;     // message boxes: the ID* answer; Save As: IDOK saved, IDCANCEL cancelled, 0 failed
  DWORD error = 0;    // Save As: the extended error of a failure
  bool scripted = false;  // the answer came from the script (else it is the default)
  std::string line;   // the entry as one line of UTF-8 text (what goes to stderr)
};

struct MessageBoxMatch {
  WString caption;        // empty: any caption
  WString textContaining; // empty: any text
};

class SimulatedUser {
 public:
  explicit SimulatedUser(Machine& machine);
  ~SimulatedUser();
  SimulatedUser(const SimulatedUser&) = delete;
  SimulatedUser& operator=(const SimulatedUser&) = delete;

  // ---- Script ----
  void AnswerMessageBox(int answer, MessageBoxMatch match = {});
  void AlwaysAnswerMessageBox(int answer, MessageBoxMatch match = {});
  void AnswerSaveAs(WString path);
  void CancelSaveAs();
  void FailSaveAs(DWORD extendedError);
  // Presses the button with this text (ignoring '&' and case) once a window with this caption is shown.
  void PressWhenShown(WString caption, WString button);

  // ---- Acting on the screen ----
  // Clicks a visible, enabled button of the dialog, found by its text (ignoring '&' and case) or id: the click
  // reaches the dialog's thread through its queue. FALSE when there is no such button to press.
  bool Press(HWND dialog, WStringView button);
  bool Press(HWND dialog, int controlId);
  // Presses a key in the window (WM_KEYDOWN through its queue).
  bool PressKey(HWND window, WORD virtualKey);
  // Clicks the window's close box (WM_SYSCOMMAND SC_CLOSE through its queue).
  bool Close(HWND window);

  // ---- Looking at the screen ----
  // The newest top-level window with this caption (ignoring case), or null.
  HWND Window(WStringView caption) const;
  HWND WaitForWindow(WStringView caption, std::chrono::milliseconds bound);
  // Re-evaluates `condition` whenever the screen or the journal changes, until it holds or the bound passes.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound);
  // The same, re-evaluated only when the journal grows: for a watcher of the journal alone, which every change of
  // the screen (a status line, a bar) would wake in vain.
  bool WaitUntilJournal(const std::function<bool()>& condition, std::chrono::milliseconds bound);
  // Makes every WaitUntil and WaitUntilJournal of the machine evaluate its condition again now: for a condition
  // that changed outside the screen, such as a watcher's own request to stop.
  void WakeWaiters();
  // Read as the screen shows them, without sending the window anything. What a window's pixels show is
  // ReadWindowPixels (win/window_surface.h).
  std::optional<WString> Text(HWND window) const;
  std::optional<WString> ControlText(HWND dialog, int controlId) const;
  std::optional<int> ProgressPosition(HWND dialog, int controlId) const;
  // Windows of the machine, every thread's.
  std::size_t WindowCount() const;

  std::vector<JournalEntry> Journal() const;
  // Also writes every new journal entry to stderr (for the tools).
  void WriteJournalToStderr(bool on);

 private:
  std::shared_ptr<user::Core> core_;
};

}  // namespace kq
