#include "core.h"
#include "window_ports.h"

#include <cstdio>
#include <cstring>

#include "list_controls.h"
#include "win/commctrl.h"
#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/stdctrls.h"

namespace kq::user {

namespace {

struct WindowSystemService {
  explicit WindowSystemService(Machine& machine) : core(std::make_shared<Core>()) {
    core->ports = std::make_shared<WindowPorts>(machine, core);
  }
  ~WindowSystemService() {
    core->Shutdown();
    core->ports->Close();
  }
  std::shared_ptr<Core> core;
};

std::shared_ptr<WindowClass> SystemClass(const WCHAR* name, ATOM atom, WNDPROC proc, int extra) {
  auto cls = std::make_shared<WindowClass>();
  cls->name = name;
  cls->atom = atom;
  cls->proc = proc;
  cls->windowExtra = extra;
  cls->style = CS_GLOBALCLASS;
  cls->system = true;
  return cls;
}

// "#32770" names the class whose atom is 32770.
ATOM AtomFromNumberName(WStringView name) {
  if (name.size() < 2 || name[0] != u'#') return 0;
  unsigned value = 0;
  for (WCHAR c : name.substr(1)) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
    if (value > 0xFFFF) return 0;
  }
  return static_cast<ATOM>(value);
}

}  // namespace

std::shared_ptr<Core> CoreOf(Machine& machine) { return machine.Service<WindowSystemService>().core; }
std::shared_ptr<Core> CurrentCore() { return CoreOf(CurrentMachine()); }

Core::Core() {
  AddClass(SystemClass(u"#32769", 32769, DefWindowProcW, 0));
  AddClass(SystemClass(WC_DIALOG, kDialogClassAtom, DefDlgProcW, DLGWINDOWEXTRA));
  AddClass(SystemClass(WC_STATIC, 0, StaticProc, kStaticExtra));
  AddClass(SystemClass(WC_BUTTON, 0, ButtonProc, kButtonExtra));
  AddClass(SystemClass(PROGRESS_CLASSW, 0, ProgressProc, kProgressExtra));
  AddClass(SystemClass(kSaveAsHookClass, 0, SaveAsHookHostProc, kHookHostExtra));
  AddClass(SystemClass(WC_EDIT, 0, EditProc, kEditExtra));
  AddClass(SystemClass(WC_COMBOBOX, 0, ComboBoxProc, kListExtra));
  AddClass(SystemClass(WC_LISTBOX, 0, ListBoxProc, kListExtra));
  AddClass(SystemClass(WC_LISTVIEW, 0, ListViewProc, kListExtra));

  auto desktop = std::make_unique<Window>();
  desktop->cls = FindClass(u"#32769");
  desktop->proc = DefWindowProcW;
  desktop->style = WS_POPUP | WS_VISIBLE;
  desktop->rect = screen;
  desktop_ = AddWindow(std::move(desktop)).handle;
}

void Core::Shutdown() {
  std::lock_guard lock(mutex);
  shutDown_ = true;
  for (auto& [thread, queue] : queues_) {
    for (auto* message : queue->sent) {
      message->done = true;
      message->sender->cv.notify_all();
    }
    queue->sent.clear();
    queue->cv.notify_all();
  }
  windows_.clear();
  changed_.notify_all();
  journalChanged_.notify_all();
}

Window* Core::Find(HWND handle) {
  if (!handle || handle == desktop_) return nullptr;
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.get();
}

const Window* Core::Find(HWND handle) const { return const_cast<Core*>(this)->Find(handle); }

Window* Core::FindOrReport(HWND handle) {
  Window* window = Find(handle);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

const Window* Core::FindOrReport(HWND handle) const { return const_cast<Core*>(this)->FindOrReport(handle); }

std::shared_ptr<WindowClass> Core::FindClass(LPCWSTR nameOrAtom) const {
  if (!nameOrAtom) return nullptr;
  ATOM atom = 0;
  WStringView name;
  if (IS_INTRESOURCE(nameOrAtom)) {
    atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(nameOrAtom));
  } else {
    name = nameOrAtom;
    atom = AtomFromNumberName(name);
  }
  for (const auto& cls : classes_) {
    if (atom ? cls->atom == atom : EqualsIgnoreAsciiCase(cls->name, name)) return cls;
  }
  return nullptr;
}

ATOM Core::AddClass(std::shared_ptr<WindowClass> cls) {
  for (const auto& other : classes_) {
    if (EqualsIgnoreAsciiCase(other->name, cls->name)) return 0;
  }
  if (cls->atom == 0) cls->atom = nextAtom_++;
  classes_.push_back(cls);
  return cls->atom;
}

bool Core::RemoveClass(const std::shared_ptr<WindowClass>& cls) {
  for (auto it = classes_.begin(); it != classes_.end(); ++it) {
    if (*it == cls) {
      classes_.erase(it);
      return true;
    }
  }
  return false;
}

HWND Core::NewHandle() {
  const auto handle = reinterpret_cast<HWND>(nextHandle_);
  nextHandle_ += 2;
  return handle;
}

Window& Core::AddWindow(std::unique_ptr<Window> window) {
  window->handle = NewHandle();
  if (window->TopLevel() && ports) ports->Open();
  if (window->extra.size() < static_cast<std::size_t>(window->cls->windowExtra))
    window->extra.resize(window->cls->windowExtra);
  ++window->cls->windows;
  if (Window* parent = Find(window->parent)) parent->children.push_back(window->handle);
  Window& added = *window;
  windows_.emplace(added.handle, std::move(window));
  Changed();
  return added;
}

void Core::RemoveTree(HWND handle) {
  Window* window = Find(handle);
  if (!window) return;
  const auto children = window->children;
  for (HWND child : children) RemoveTree(child);
  if (Window* parent = Find(window->parent)) {
    auto& siblings = parent->children;
    std::erase(siblings, handle);
  }
  for (auto& [h, other] : windows_) {
    if (other->owner == handle) other->owner = nullptr;
  }
  if (auto queue = FindQueue(window->thread)) {
    std::erase_if(queue->posted, [&](const MSG& m) { return m.hwnd == handle; });
  }
  if (window->TopLevel() && window->everShown) {
    JournalEntry entry{JournalEntry::Kind::WindowClosed, window->text, {}, window->cls->name};
    entry.line = "window closed: " + Quote(window->text);
    AddJournal(std::move(entry));
  }
  --window->cls->windows;
  windows_.erase(handle);
  Changed();
}

bool Core::IsDescendant(HWND ancestor, HWND handle) const {
  for (const Window* w = Find(handle); w && w->parent; w = Find(w->parent)) {
    if (w->parent == ancestor) return true;
  }
  return false;
}

bool Core::Visible(const Window& window) const {
  for (const Window* w = &window; w; w = Find(w->parent)) {
    if ((w->style & WS_VISIBLE) == 0) return false;
  }
  return true;
}

void Core::SetVisible(Window& window, bool visible) {
  const bool was = (window.style & WS_VISIBLE) != 0;
  if (was == visible) return;
  if (visible)
    window.style |= WS_VISIBLE;
  else
    window.style &= ~WS_VISIBLE;
  Changed();
  if (!window.TopLevel()) return;
  JournalEntry entry{visible ? JournalEntry::Kind::WindowShown : JournalEntry::Kind::WindowHidden, window.text, {},
                     window.cls->name};
  entry.line = std::string(visible ? "window shown: " : "window hidden: ") + Quote(window.text) + " (" +
               Utf8FromWide(window.cls->name) + ")";
  AddJournal(std::move(entry));
  if (visible) {
    window.everShown = true;
    RunScriptedPresses(window);
  }
}

void Core::SetText(Window& window, WString text) {
  window.text = std::move(text);
  Changed();
}

std::vector<HWND> Core::TopLevelWindows() const {
  std::vector<HWND> result;
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (it->first != desktop_ && it->second->TopLevel()) result.push_back(it->first);
  }
  return result;
}

std::shared_ptr<Queue> Core::CurrentQueue() {
  const DWORD thread = GetCurrentThreadId();
  if (auto queue = FindQueue(thread)) return queue;
  auto queue = std::make_shared<Queue>(thread);
  queues_.emplace(thread, queue);
  AtThreadExit([weak = weak_from_this(), thread] {
    if (auto core = weak.lock()) core->ThreadEnded(thread);
  });
  return queue;
}

std::shared_ptr<Queue> Core::FindQueue(DWORD thread) const {
  auto it = queues_.find(thread);
  return it == queues_.end() ? nullptr : it->second;
}

void Core::Post(Queue& queue, const MSG& message) {
  queue.posted.push_back(message);
  queue.cv.notify_all();
  Changed();
}

void Core::DeliverSent(Lock& lock, Queue& queue) {
  SentMessage* message = queue.sent.front();
  queue.sent.pop_front();
  const Window* window = Find(message->window);
  WNDPROC proc = window && window->thread == queue.thread ? window->proc : nullptr;
  lock.unlock();
  const LRESULT result = proc ? proc(message->window, message->message, message->wParam, message->lParam) : 0;
  lock.lock();
  message->result = result;
  message->done = true;
  message->sender->cv.notify_all();
}

void Core::AwaitReply(Lock& lock, Queue& mine, SentMessage& message) {
  while (!message.done) {
    if (!mine.sent.empty()) {
      DeliverSent(lock, mine);
      continue;
    }
    if (shutDown_) return;
    mine.cv.wait(lock);
  }
}

void Core::ThreadEnded(DWORD thread) {
  std::lock_guard lock(mutex);
  auto queue = FindQueue(thread);
  if (!queue) return;
  for (auto* message : queue->sent) {
    message->done = true;
    message->result = 0;
    message->sender->cv.notify_all();
  }
  queue->sent.clear();
  std::vector<HWND> owned;
  for (const auto& [handle, window] : windows_) {
    if (window->thread == thread) owned.push_back(handle);
  }
  for (HWND handle : owned) RemoveTree(handle);
  queues_.erase(thread);
  Changed();
}

void Core::Changed() {
  ++changes_;
  changed_.notify_all();
}

void Core::WaitForChange(Lock& lock, std::uint64_t seen, std::chrono::steady_clock::time_point deadline) {
  changed_.wait_until(lock, deadline, [&] { return changes_ != seen || shutDown_; });
}

void Core::WaitForJournalChange(Lock& lock, std::uint64_t seen, std::chrono::steady_clock::time_point deadline) {
  journalChanged_.wait_until(lock, deadline, [&] { return journalChanges_ != seen || shutDown_; });
}

void Core::WakeWaiters() {
  ++journalChanges_;
  journalChanged_.notify_all();
  Changed();
}

void Core::AddJournal(JournalEntry entry) {
  if (toStderr_) std::fprintf(stderr, "journal: %s\n", entry.line.c_str());
  journal_.push_back(std::move(entry));
  ++journalChanges_;
  journalChanged_.notify_all();
  Changed();
}

bool Core::PressButton(HWND dialog, WStringView text, int id) {
  const Window* owner = Find(dialog);
  if (!owner || !Visible(*owner)) return false;
  const Window* button = nullptr;
  std::vector<HWND> pending = owner->children;
  while (!pending.empty() && !button) {
    const Window* w = Find(pending.back());
    pending.pop_back();
    if (!w) continue;
    const bool isButton = EqualsIgnoreAsciiCase(w->cls->name, WC_BUTTON);
    if (isButton && (text.empty() ? w->id == id : EqualsIgnoreAsciiCase(PlainLabel(w->text), PlainLabel(text))))
      button = w;
    pending.insert(pending.end(), w->children.begin(), w->children.end());
  }
  const WString what = text.empty() ? FormatWideString(u"#%d", id) : WString(text);
  if (!button || (button->style & WS_DISABLED) || !Visible(*button)) {
    JournalEntry entry{JournalEntry::Kind::Action, owner->text, what};
    entry.line = "person could not press " + Quote(what) + " in " + Quote(owner->text);
    AddJournal(std::move(entry));
    return false;
  }
  auto queue = FindQueue(button->thread);
  if (!queue) return false;
  JournalEntry entry{JournalEntry::Kind::Action, owner->text, button->text};
  entry.line = "person pressed " + Quote(PlainLabel(button->text)) + " in " + Quote(owner->text);
  AddJournal(std::move(entry));
  Post(*queue, MSG{button->handle, BM_CLICK, 0, 0, 0, {}});
  return true;
}

void Core::RunScriptedPresses(const Window& shown) {
  for (auto it = scriptedPresses.begin(); it != scriptedPresses.end();) {
    if (EqualsIgnoreAsciiCase(it->caption, shown.text)) {
      const WString button = it->button;
      it = scriptedPresses.erase(it);
      PressButton(shown.handle, button, -1);
    } else {
      ++it;
    }
  }
}

std::string Quote(WStringView text) {
  std::string out = "\"";
  for (char c : Utf8FromWide(text)) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '"')
      out += "\\\"";
    else
      out += c;
  }
  return out + "\"";
}

WString PlainLabel(WStringView text) {
  WString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    else if (text[i] == u'&') continue;
    out += text[i];
  }
  return out;
}

LONG_PTR ReadExtra(const Window& window, int offset) {
  LONG_PTR value = 0;
  std::memcpy(&value, window.extra.data() + offset, sizeof(value));
  return value;
}

void WriteExtra(Window& window, int offset, LONG_PTR value) {
  std::memcpy(window.extra.data() + offset, &value, sizeof(value));
}

}  // namespace kq::user
