#include "core.h"
#include "win/processthreadsapi.h"
#include "window_ports.h"

using kq::user::Core;
using kq::user::CurrentCore;
using kq::user::Queue;
using kq::user::Window;

namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(-1);

bool Matches(const Core& core, const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
  if (window == kThreadMessagesOnly) {
    if (m.hwnd) return false;
  } else if (window && m.hwnd != window && !core.IsDescendant(window, m.hwnd)) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

// Sent messages first, then the first posted message that fits the filter, then WM_QUIT. FALSE when nothing is
// waiting.
bool Take(Core& core, Core::Lock& lock, Queue& queue, LPMSG out, HWND window, UINT filterMin, UINT filterMax,
          bool remove) {
  while (!queue.sent.empty()) core.DeliverSent(lock, queue);
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!Matches(core, *it, window, filterMin, filterMax)) continue;
    *out = *it;
    if (remove) queue.posted.erase(it);
    return true;
  }
  if (queue.quit) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, {}};
    if (remove) queue.quit = false;
    return true;
  }
  return false;
}

// A message whose procedure keeps nothing but the window's own state, under the core's lock: the text of a static
// control. Sent to a thread that waits idle in its loop with nothing sent before it, the procedure runs on the
// sender's thread, as the receiver woken for it would run it at once, without the round trip of two threads.
bool RunsOnTheSender(const Window& window, UINT message, const Queue& receiver) {
  return receiver.idle && receiver.sent.empty() && window.proc == kq::user::StaticProc &&
         (message == WM_SETTEXT || message == WM_GETTEXT || message == WM_GETTEXTLENGTH);
}

bool BadFilterWindow(Core& core, HWND window) {
  return window && window != kThreadMessagesOnly && !core.Find(window);
}

// `bound`: the calling thread is bound to the core's machine, so a procedure can run on it.
LRESULT Send(Core& core, HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool bound) {
  Core::Lock lock(core.mutex);
  const Window* window = core.FindOrReport(handle);
  if (!window) return 0;
  if (window->thread == GetCurrentThreadId()) {
    const WNDPROC proc = window->proc;
    lock.unlock();
    return proc(handle, message, wParam, lParam);
  }
  auto target = core.FindQueue(window->thread);
  if (!target || core.ShutDown()) return 0;
  if (bound && RunsOnTheSender(*window, message, *target)) {
    const WNDPROC proc = window->proc;
    lock.unlock();
    return proc(handle, message, wParam, lParam);
  }
  auto mine = core.CurrentQueue();
  kq::user::SentMessage sent{handle, message, wParam, lParam, mine};
  target->sent.push_back(&sent);
  target->cv.notify_all();
  core.Changed();
  core.AwaitReply(lock, *mine, sent);
  return sent.result;
}

}  // namespace

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  auto core = CurrentCore();
  if (auto remote = core->ports->Remote(handle)) return core->ports->Send(*remote, message, wParam, lParam);
  return Send(*core, handle, message, wParam, lParam, true);
}

LRESULT kq::user::SendOn(Core& core, HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(core, handle, message, wParam, lParam, false);
}

BOOL PostMessageW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT || message == WM_GETTEXT) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE;
  }
  auto core = CurrentCore();
  if (auto remote = core->ports->Remote(handle)) return core->ports->Post(*remote, message, wParam, lParam);
  return kq::user::PostOn(*core, handle, message, wParam, lParam);
}

BOOL kq::user::PostOn(Core& core, HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Core::Lock lock(core.mutex);
  std::shared_ptr<Queue> queue;
  if (!handle) {
    queue = core.CurrentQueue();
  } else {
    const Window* window = core.Find(handle);
    if (!window || window->destroying) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    queue = core.FindQueue(window->thread);
    if (!queue) return FALSE;
  }
  core.Post(*queue, MSG{handle, message, wParam, lParam, 0, {}});
  return TRUE;
}

BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  if (!message) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  if (BadFilterWindow(*core, window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  auto queue = core->CurrentQueue();
  for (;;) {
    if (core->ShutDown()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
    if (Take(*core, lock, *queue, message, window, filterMin, filterMax, true))
      return message->message == WM_QUIT ? 0 : 1;
    queue->idle = true;
    queue->cv.wait(lock);
    queue->idle = false;
  }
}

BOOL PeekMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!message) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  if (BadFilterWindow(*core, window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  auto queue = core->CurrentQueue();
  return Take(*core, lock, *queue, message, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
}

BOOL TranslateMessage(const MSG* message) {
  if (!message || message->message != WM_KEYDOWN) return FALSE;
  // Keys that stand for characters the system uses: Return and Escape.
  if (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)
    PostMessageW(message->hwnd, WM_CHAR, message->wParam, message->lParam);
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* message) {
  if (!message || !message->hwnd) return 0;
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  const Window* window = core->Find(message->hwnd);
  if (!window || window->thread != GetCurrentThreadId()) return 0;
  const WNDPROC proc = window->proc;
  lock.unlock();
  return proc(message->hwnd, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int exitCode) {
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  auto queue = core->CurrentQueue();
  queue->quit = true;
  queue->quitCode = exitCode;
  queue->cv.notify_all();
  core->Changed();
}

DWORD GetQueueStatus(UINT flags) {
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  auto queue = core->CurrentQueue();
  UINT status = 0;
  if (!queue->posted.empty()) status |= QS_POSTMESSAGE;
  if (!queue->sent.empty()) status |= QS_SENDMESSAGE;
  status &= flags;
  return MAKELONG(static_cast<WORD>(status), static_cast<WORD>(status));
}
