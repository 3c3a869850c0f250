// Shows the person at the terminal what the virtual screen shows while a job prints: the journal's entries as the
// verbosity asks, and, on a terminal, the printer's progress window (its status line and bar) as one line that
// updates in place. It watches the screen from a thread of its own; the journal itself stays with the machine.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <thread>

#include "win/simulated_user.h"

namespace kqprint {

enum class Verbosity {
  Quiet,    // nothing
  Normal,   // the questions and error boxes, with their answers
  Verbose,  // the whole journal: every window, dialog and answer
};

class ScreenReporter {
 public:
  // `terminal`: `out` is a terminal, where the progress line can be redrawn.
  ScreenReporter(kq::SimulatedUser& person, std::ostream& out, Verbosity verbosity, bool terminal);
  ~ScreenReporter();
  ScreenReporter(const ScreenReporter&) = delete;
  ScreenReporter& operator=(const ScreenReporter&) = delete;

  // Shows what is left of the journal and clears the progress line; nothing is shown after it.
  void Stop();

  static bool Shows(const kq::JournalEntry& entry, Verbosity verbosity);
  // The progress window as one line ("Printing page 3  [####      ] 40%"), empty when it is not shown.
  static std::string ProgressLine(kq::SimulatedUser& person);

 private:
  void Run();
  void Show();

  kq::SimulatedUser& person_;
  std::ostream& out_;
  Verbosity verbosity_;
  bool terminal_;
  std::atomic<bool> stop_{false};
  std::size_t shown_ = 0;      // journal entries already looked at
  std::string progress_;       // the progress line on the terminal now
  std::thread thread_;
};

}  // namespace kqprint
