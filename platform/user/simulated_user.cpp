#include "win/simulated_user.h"

#include "core.h"
#include "win/commctrl.h"
#include "win/machine.h"

namespace kq {

using user::Core;

SimulatedUser::SimulatedUser(Machine& machine) : core_(user::CoreOf(machine)) {}
SimulatedUser::~SimulatedUser() = default;

void SimulatedUser::AnswerMessageBox(int answer, MessageBoxMatch match) {
  std::lock_guard lock(core_->mutex);
  core_->boxAnswers.push_back({answer, std::move(match), false});
}

void SimulatedUser::AlwaysAnswerMessageBox(int answer, MessageBoxMatch match) {
  std::lock_guard lock(core_->mutex);
  core_->boxAnswers.push_back({answer, std::move(match), true});
}

void SimulatedUser::AnswerSaveAs(WString path) {
  std::lock_guard lock(core_->mutex);
  core_->saveAsAnswers.push_back({user::SaveAsAnswer::Kind::Path, std::move(path)});
}

void SimulatedUser::CancelSaveAs() {
  std::lock_guard lock(core_->mutex);
  core_->saveAsAnswers.push_back({user::SaveAsAnswer::Kind::Cancel});
}

void SimulatedUser::FailSaveAs(DWORD extendedError) {
  std::lock_guard lock(core_->mutex);
  core_->saveAsAnswers.push_back({user::SaveAsAnswer::Kind::Fail, {}, extendedError});
}

void SimulatedUser::PressWhenShown(WString caption, WString button) {
  std::lock_guard lock(core_->mutex);
  for (HWND handle : core_->TopLevelWindows()) {
    const user::Window* window = core_->Find(handle);
    if (core_->Visible(*window) && EqualsIgnoreAsciiCase(window->text, caption)) {
      core_->PressButton(handle, button, -1);
      return;
    }
  }
  core_->scriptedPresses.push_back({std::move(caption), std::move(button)});
}

bool SimulatedUser::Press(HWND dialog, WStringView button) {
  if (button.empty()) return false;
  std::lock_guard lock(core_->mutex);
  return core_->PressButton(dialog, button, -1);
}

bool SimulatedUser::Press(HWND dialog, int controlId) {
  std::lock_guard lock(core_->mutex);
  return core_->PressButton(dialog, {}, controlId);
}

namespace {

// Posts `message` to the window's thread on the person's behalf and writes what the person did.
bool Act(Core& core, HWND handle, UINT message, WPARAM wParam, LPARAM lParam, const std::string& what) {
  const user::Window* window = core.Find(handle);
  if (!window || !core.Visible(*window)) return false;
  auto queue = core.FindQueue(window->thread);
  if (!queue) return false;
  JournalEntry entry{JournalEntry::Kind::Action, window->text, WideFromUtf8(what)};
  entry.line = "person " + what + " in " + user::Quote(window->text);
  core.AddJournal(std::move(entry));
  core.Post(*queue, MSG{handle, message, wParam, lParam, 0, {}});
  return true;
}

}  // namespace

bool SimulatedUser::PressKey(HWND window, WORD virtualKey) {
  std::lock_guard lock(core_->mutex);
  const std::string key = virtualKey == VK_ESCAPE   ? "Escape"
                          : virtualKey == VK_RETURN ? "Return"
                                                    : "key " + std::to_string(virtualKey);
  return Act(*core_, window, WM_KEYDOWN, virtualKey, 1, "pressed " + key);
}

bool SimulatedUser::Close(HWND window) {
  std::lock_guard lock(core_->mutex);
  const user::Window* w = core_->Find(window);
  if (!w || !w->TopLevel()) return false;
  return Act(*core_, window, WM_SYSCOMMAND, SC_CLOSE, 0, "clicked the close box");
}

HWND SimulatedUser::Window(WStringView caption) const {
  std::lock_guard lock(core_->mutex);
  for (HWND handle : core_->TopLevelWindows()) {
    if (EqualsIgnoreAsciiCase(core_->Find(handle)->text, caption)) return handle;
  }
  return nullptr;
}

HWND SimulatedUser::WaitForWindow(WStringView caption, std::chrono::milliseconds bound) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = Window(caption)) != nullptr; }, bound);
  return found;
}

namespace {

// Evaluates `condition` each time the count `Count` reads changes (Wait waits for that), until it holds or the
// bound passes. The count is read before the condition, so a change while it is evaluated is not missed.
template <class Count, class Wait>
bool WaitOn(Core& core, const std::function<bool()>& condition, std::chrono::milliseconds bound, Count count,
            Wait wait) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard lock(core.mutex);
      seen = count();
    }
    if (condition()) return true;
    Core::Lock lock(core.mutex);
    if (std::chrono::steady_clock::now() >= deadline) return false;
    wait(lock, seen, deadline);
  }
}

}  // namespace

bool SimulatedUser::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
  Core& core = *core_;
  return WaitOn(
      core, condition, bound, [&] { return core.ChangeCount(); },
      [&](Core::Lock& lock, std::uint64_t seen, auto deadline) { core.WaitForChange(lock, seen, deadline); });
}

bool SimulatedUser::WaitUntilJournal(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
  Core& core = *core_;
  return WaitOn(
      core, condition, bound, [&] { return core.JournalChangeCount(); },
      [&](Core::Lock& lock, std::uint64_t seen, auto deadline) { core.WaitForJournalChange(lock, seen, deadline); });
}

void SimulatedUser::WakeWaiters() {
  std::lock_guard lock(core_->mutex);
  core_->WakeWaiters();
}

std::optional<WString> SimulatedUser::Text(HWND window) const {
  std::lock_guard lock(core_->mutex);
  const user::Window* w = core_->Find(window);
  if (!w) return std::nullopt;
  return w->text;
}

namespace {

const user::Window* Control(const Core& core, HWND dialog, int id) {
  const user::Window* owner = core.Find(dialog);
  if (!owner) return nullptr;
  for (HWND child : owner->children) {
    if (const user::Window* c = core.Find(child); c && c->id == id) return c;
  }
  return nullptr;
}

}  // namespace

std::optional<WString> SimulatedUser::ControlText(HWND dialog, int controlId) const {
  std::lock_guard lock(core_->mutex);
  const user::Window* control = Control(*core_, dialog, controlId);
  if (!control) return std::nullopt;
  return control->text;
}

std::optional<int> SimulatedUser::ProgressPosition(HWND dialog, int controlId) const {
  std::lock_guard lock(core_->mutex);
  const user::Window* control = Control(*core_, dialog, controlId);
  if (!control || !EqualsIgnoreAsciiCase(control->cls->name, PROGRESS_CLASSW)) return std::nullopt;
  return static_cast<int>(user::ReadExtra(*control, user::kProgressPos));
}

std::size_t SimulatedUser::WindowCount() const {
  std::lock_guard lock(core_->mutex);
  return core_->WindowCount() - 1;  // not the desktop
}

std::vector<JournalEntry> SimulatedUser::Journal() const {
  std::lock_guard lock(core_->mutex);
  return core_->Journal();
}

void SimulatedUser::WriteJournalToStderr(bool on) {
  std::lock_guard lock(core_->mutex);
  core_->SetJournalToStderr(on);
}

}  // namespace kq
