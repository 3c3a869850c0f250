#include "screen_reporter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

#include "driver_screen.h"
#include "win/commctrl.h"
#include "win/machine.h"
#include "win/user.h"

namespace {

// A stream the reporter's thread writes while the test reads it.
class SharedText : public std::streambuf {
 public:
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  // Waits (bounded) until the text holds `part`.
  bool WaitFor(const std::string& part) const {
    for (int i = 0; i < 500; ++i) {
      if (Text().find(part) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    std::lock_guard lock(mutex_);
    text_ += static_cast<char>(c);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

class ScreenReporterTest : public ::testing::Test {
 protected:
  // A window as the printer's progress window shows itself: its caption, status line and bar.
  void ShowProgressWindow() {
    window_ = CreateWindowExW(0, u"STATIC", kqprint::kDriverCaption, WS_POPUP | WS_VISIBLE, 0, 0, 300, 60, nullptr,
                              nullptr, nullptr, nullptr);
    text_ = CreateWindowExW(0, u"STATIC", u"Printing page 3", WS_CHILD | WS_VISIBLE, 5, 3, 200, 8, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kqprint::kProgressTextId)), nullptr, nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, u"", WS_CHILD | WS_VISIBLE, 5, 13, 200, 6, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kqprint::kProgressBarId)), nullptr, nullptr);
    ASSERT_TRUE(window_ && text_ && bar_);
    SendMessageW(bar_, PBM_SETPOS, 10, 0);
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  kq::SimulatedUser& person_ = machine_->Service<kq::SimulatedUser>();
  HWND window_ = nullptr, text_ = nullptr, bar_ = nullptr;
};

TEST_F(ScreenReporterTest, OnATerminalTheProgressWindowIsOneUpdatingLine) {
  ShowProgressWindow();
  EXPECT_EQ(kqprint::ScreenReporter::ProgressLine(person_), "Printing page 3  [##                  ] 10%");

  SharedText shared;
  std::ostream out(&shared);
  kqprint::ScreenReporter reporter(person_, out, kqprint::Verbosity::Normal, true);
  ASSERT_TRUE(shared.WaitFor("\rPrinting page 3  [##                  ] 10%\x1b[K")) << shared.Text();
  SetWindowTextW(text_, u"Printing page 4");
  SendMessageW(bar_, PBM_SETPOS, 15, 0);
  ASSERT_TRUE(shared.WaitFor("\rPrinting page 4  [###                 ] 15%\x1b[K")) << shared.Text();

  // A question clears the line before it is shown; the end clears the line.
  MessageBoxW(nullptr, u"Do you want to try another file?", kqprint::kDriverCaption, MB_YESNO);
  reporter.Stop();
  const std::string text = shared.Text();
  const auto question = text.find("\r\x1b[Kjournal: message box \"Kelvo Quenzar Zedarod\"");
  EXPECT_NE(question, std::string::npos) << text;
  // Whatever was drawn after it is gone at the end.
  const bool cleared = text.ends_with("\n") || text.ends_with("\r\x1b[K");
  EXPECT_TRUE(cleared) << text;
  EXPECT_EQ(text.find("window shown"), std::string::npos) << "the default shows questions only:\n" << text;
}

TEST_F(ScreenReporterTest, ElsewhereNoProgressAndTheJournalAsTheVerbosityAsks) {
  const struct {
    kqprint::Verbosity verbosity;
    bool windows;
    bool questions;
  } cases[] = {
      {kqprint::Verbosity::Quiet, false, false},
      {kqprint::Verbosity::Normal, false, true},
      {kqprint::Verbosity::Verbose, true, true},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    {
      kqprint::ScreenReporter reporter(person_, out, c.verbosity, false);
      ShowProgressWindow();
      MessageBoxW(nullptr, u"Replace?", u"Confirm Save As", MB_YESNO);
      DestroyWindow(window_);
    }
    const std::string text = out.str();
    EXPECT_EQ(text.find("Printing page"), std::string::npos) << text;
    EXPECT_EQ(text.find("journal: window shown: \"Kelvo Quenzar Zedarod\"") != std::string::npos, c.windows) << text;
    EXPECT_EQ(text.find("journal: message box \"Confirm Save As\"") != std::string::npos, c.questions) << text;
  }
}

}  // namespace
