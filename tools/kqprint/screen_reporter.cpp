#include "screen_reporter.h"

#include <algorithm>
#include <chrono>

#include "driver_screen.h"

namespace kqprint {

namespace {

// The thread is woken for what it shows and for Stop; it looks again this often all the same.
constexpr std::chrono::milliseconds kLookAgain{1000};
constexpr int kBarWidth = 20;
// Back to the line's start, and the line cleared to its end.
constexpr const char* kReturn = "\r";
constexpr const char* kClearToEnd = "\x1b[K";

}  // namespace

ScreenReporter::ScreenReporter(kq::SimulatedUser& person, std::ostream& out, Verbosity verbosity, bool terminal)
    : person_(person), out_(out), verbosity_(verbosity), terminal_(terminal && verbosity != Verbosity::Quiet) {
  if (verbosity_ == Verbosity::Quiet) return;
  thread_ = std::thread([this] { Run(); });
}

ScreenReporter::~ScreenReporter() { Stop(); }

void ScreenReporter::Stop() {
  if (stop_.exchange(true)) return;
  if (thread_.joinable()) {
    person_.WakeWaiters();
    thread_.join();
  }
  if (verbosity_ == Verbosity::Quiet) return;
  Show();
  if (!progress_.empty()) out_ << kReturn << kClearToEnd << std::flush;
  progress_.clear();
}

bool ScreenReporter::Shows(const kq::JournalEntry& entry, Verbosity verbosity) {
  switch (verbosity) {
    case Verbosity::Quiet: return false;
    case Verbosity::Verbose: return true;
    case Verbosity::Normal: break;
  }
  // Questions and error boxes, and a Save As dialog that failed.
  return entry.kind == kq::JournalEntry::Kind::MessageBox ||
         (entry.kind == kq::JournalEntry::Kind::SaveAs && entry.answer == 0);
}

std::string ScreenReporter::ProgressLine(kq::SimulatedUser& person) {
  const HWND window = person.Window(kDriverCaption);
  if (!window) return {};
  const auto text = person.ControlText(window, kProgressTextId);
  const auto position = person.ProgressPosition(window, kProgressBarId);
  if (!text || !position) return {};
  const int percent = std::clamp(*position, 0, 100);
  const int filled = percent * kBarWidth / 100;
  return kq::Utf8FromWide(*text) + "  [" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] " + std::to_string(percent) + "%";
}

void ScreenReporter::Run() {
  const auto news = [&] {
    return stop_ || person_.Journal().size() != shown_ || (terminal_ && ProgressLine(person_) != progress_);
  };
  while (!stop_) {
    // Off a terminal only the journal is shown: the progress window's changes, a few every page, wake nobody.
    if (terminal_)
      person_.WaitUntil(news, kLookAgain);
    else
      person_.WaitUntilJournal(news, kLookAgain);
    Show();
  }
}

void ScreenReporter::Show() {
  const std::vector<kq::JournalEntry> journal = person_.Journal();
  for (; shown_ < journal.size(); ++shown_) {
    if (!Shows(journal[shown_], verbosity_)) continue;
    if (!progress_.empty()) {
      out_ << kReturn << kClearToEnd;
      progress_.clear();
    }
    out_ << "journal: " << journal[shown_].line << "\n";
  }
  if (terminal_ && !stop_) {
    const std::string line = ProgressLine(person_);
    if (line != progress_) {
      out_ << kReturn << line << kClearToEnd;
      progress_ = line;
    }
  }
  out_ << std::flush;
}

}  // namespace kqprint
