#include <unistd.h>

#include <algorithm>

#include "core.h"
#include "win/processthreadsapi.h"
#include "window_ports.h"

using kq::user::Core;
using kq::user::CurrentCore;
using kq::user::Window;

namespace {

std::vector<HWND> PreOrder(Core& core, HWND root) {
  std::vector<HWND> order{root};
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (const Window* w = core.Find(order[i])) order.insert(order.end(), w->children.begin(), w->children.end());
  }
  return order;
}

// Screen position of a window's top-left corner.
POINT Origin(const Core& core, const Window& window) {
  POINT p{window.rect.left, window.rect.top};
  for (const Window* w = core.Find(window.parent); w; w = core.Find(w->parent)) {
    p.x += w->rect.left;
    p.y += w->rect.top;
  }
  return p;
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID parameter) {
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  auto cls = core->FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (parent == core->Desktop()) parent = nullptr;
  if (parent && !core->Find(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if ((style & WS_CHILD) && !parent) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  auto window = std::make_unique<Window>();
  window->cls = cls;
  window->proc = cls->proc;
  window->style = style & ~WS_VISIBLE;
  window->exStyle = exStyle;
  if (style & WS_CHILD) {
    window->parent = parent;
    window->id = static_cast<LONG_PTR>(reinterpret_cast<ULONG_PTR>(menuOrId));
  } else {
    window->owner = parent;
  }
  window->instance = instance;
  if (windowName && !IS_INTRESOURCE(windowName)) window->text = windowName;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = 640, height = 480;
  window->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  window->thread = GetCurrentThreadId();
  core->CurrentQueue();
  const HWND handle = core->AddWindow(std::move(window)).handle;
  const WNDPROC proc = cls->proc;
  lock.unlock();

  CREATESTRUCTW create{parameter, instance, menuOrId, parent, height, width, y, x, static_cast<LONG>(style),
                       windowName, className, exStyle};
  if (!proc(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    lock.lock();
    core->RemoveTree(handle);
    return nullptr;
  }
  if (proc(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  lock.lock();
  Window* created = core->Find(handle);
  if (!created) return nullptr;
  if (style & WS_VISIBLE) core->SetVisible(*created, true);
  return handle;
}

BOOL DestroyWindow(HWND handle) {
  auto core = CurrentCore();
  Core::Lock lock(core->mutex);
  Window* window = core->FindOrReport(handle);
  if (!window) return FALSE;
  if (window->thread != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (window->destroying) return TRUE;
  const auto order = PreOrder(*core, handle);
  for (HWND h : order) {
    if (Window* w = core->Find(h)) w->destroying = true;
  }
  core->SetVisible(*window, false);
  lock.unlock();
  for (HWND h : order) SendMessageW(h, WM_DESTROY, 0, 0);
  for (auto it = order.rbegin(); it != order.rend(); ++it) SendMessageW(*it, WM_NCDESTROY, 0, 0);
  lock.lock();
  core->RemoveTree(handle);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  auto core = CurrentCore();
  if (auto remote = core->ports->Remote(handle)) return core->ports->Exists(*remote);
  std::lock_guard lock(core->mutex);
  return core->Find(handle) || (handle && handle == core->Desktop());
}

BOOL ShowWindow(HWND handle, int command) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  Window* window = core->FindOrReport(handle);
  if (!window) return FALSE;
  const BOOL wasVisible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      core->SetVisible(*window, false);
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      window->style = (window->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
      core->SetVisible(*window, true);
      break;
    case SW_SHOWMAXIMIZED:
      window->style = (window->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
      core->SetVisible(*window, true);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      window->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
      core->SetVisible(*window, true);
      break;
    case SW_SHOW:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      core->SetVisible(*window, true);
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
  core->Changed();
  return wasVisible;
}

BOOL IsWindowVisible(HWND handle) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->Find(handle);
  return window && core->Visible(*window);
}

BOOL EnableWindow(HWND handle, BOOL enable) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  Window* window = core->FindOrReport(handle);
  if (!window) return FALSE;
  const BOOL wasDisabled = (window->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable)
    window->style &= ~WS_DISABLED;
  else
    window->style |= WS_DISABLED;
  core->Changed();
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND handle) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->Find(handle);
  return window && (window->style & WS_DISABLED) == 0;
}

BOOL SetWindowTextW(HWND handle, LPCWSTR text) {
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND handle, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = 0;
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(
      SendMessageW(handle, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND handle) {
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0));
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  auto core = CurrentCore();
  {
    std::lock_guard lock(core->mutex);
    std::shared_ptr<kq::user::WindowClass> cls;
    if (className) cls = core->FindClass(className);
    // A class this process does not know may still be another process's.
    if (cls || !className) {
      for (HWND handle : core->TopLevelWindows()) {
        const Window* window = core->Find(handle);
        if (cls && window->cls != cls) continue;
        if (windowName && !kq::EqualsIgnoreAsciiCase(window->text, windowName)) continue;
        return handle;
      }
    }
  }
  // Then the other processes of the desktop.
  if (const HWND remote = core->ports->Find(className, windowName)) return remote;
  if (className) {
    std::lock_guard lock(core->mutex);
    if (!core->FindClass(className)) SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
  }
  return nullptr;
}

HWND GetParent(HWND handle) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->FindOrReport(handle);
  if (!window) return nullptr;
  return window->TopLevel() ? window->owner : window->parent;
}

HWND GetDesktopWindow() {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  return core->Desktop();
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->FindOrReport(handle);
  if (!window) return 0;
  if (processId) *processId = static_cast<DWORD>(getpid());
  return window->thread;
}

BOOL GetWindowRect(HWND handle, LPRECT rect) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  if (handle && handle == core->Desktop()) {
    if (rect) *rect = core->screen;
    return rect != nullptr;
  }
  const Window* window = core->Find(handle);
  if (!window || !rect) {
    SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const POINT origin = Origin(*core, *window);
  *rect = RECT{origin.x, origin.y, origin.x + (window->rect.right - window->rect.left),
               origin.y + (window->rect.bottom - window->rect.top)};
  return TRUE;
}

BOOL GetClientRect(HWND handle, LPRECT rect) {
  RECT r;
  if (!GetWindowRect(handle, &r)) return FALSE;
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
  return TRUE;
}

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  Window* window = core->FindOrReport(handle);
  if (!window) return FALSE;
  RECT& r = window->rect;
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(width, 0);
    r.bottom = r.top + std::max(height, 0);
  }
  if (!(flags & SWP_NOMOVE)) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    r = RECT{x, y, x + w, y + h};
  }
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST) window->exStyle |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST) window->exStyle &= ~WS_EX_TOPMOST;
  }
  if (flags & SWP_SHOWWINDOW) core->SetVisible(*window, true);
  if (flags & SWP_HIDEWINDOW) core->SetVisible(*window, false);
  core->Changed();
  return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(handle, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int GetSystemMetrics(int index) {
  auto core = CurrentCore();
  switch (index) {
    case SM_CXSCREEN: return core->screen.right - core->screen.left;
    case SM_CYSCREEN: return core->screen.bottom - core->screen.top;
    default: return 0;
  }
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  const Window* window = core->FindOrReport(handle);
  if (!window) return 0;
  if (index >= 0) {
    if (static_cast<std::size_t>(index) + sizeof(LONG_PTR) > window->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    return kq::user::ReadExtra(*window, index);
  }
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(window->TopLevel() ? window->owner : window->parent);
    case GWLP_ID: return window->id;
    case GWL_STYLE: return static_cast<LONG>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG>(window->exStyle);
    case GWLP_USERDATA: return window->userData;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
  auto core = CurrentCore();
  std::lock_guard lock(core->mutex);
  Window* window = core->FindOrReport(handle);
  if (!window) return 0;
  LONG_PTR previous = 0;
  if (index >= 0) {
    if (static_cast<std::size_t>(index) + sizeof(LONG_PTR) > window->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    previous = kq::user::ReadExtra(*window, index);
    kq::user::WriteExtra(*window, index, value);
  } else {
    switch (index) {
      case GWLP_WNDPROC:
        if (!value) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return 0;
        }
        previous = reinterpret_cast<LONG_PTR>(window->proc);
        window->proc = reinterpret_cast<WNDPROC>(value);
        break;
      case GWLP_ID:
        previous = window->id;
        window->id = value;
        break;
      case GWLP_USERDATA:
        previous = window->userData;
        window->userData = value;
        break;
      case GWL_STYLE: {
        previous = static_cast<LONG>(window->style);
        const bool visible = (static_cast<DWORD>(value) & WS_VISIBLE) != 0;
        window->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (window->style & WS_VISIBLE);
        core->SetVisible(*window, visible);
        break;
      }
      case GWL_EXSTYLE:
        previous = static_cast<LONG>(window->exStyle);
        window->exStyle = static_cast<DWORD>(value);
        break;
      default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
  }
  core->Changed();
  return previous;
}

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_SETTEXT: {
      auto core = CurrentCore();
      std::lock_guard lock(core->mutex);
      Window* window = core->Find(handle);
      if (!window) return FALSE;
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      core->SetText(*window, text ? kq::WString(text) : kq::WString());
      return TRUE;
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      if (!buffer || wParam == 0) return 0;
      auto core = CurrentCore();
      std::lock_guard lock(core->mutex);
      const Window* window = core->Find(handle);
      const kq::WStringView text = window ? kq::WStringView(window->text) : kq::WStringView();
      const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
      std::copy_n(text.data(), n, buffer);
      buffer[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      auto core = CurrentCore();
      std::lock_guard lock(core->mutex);
      const Window* window = core->Find(handle);
      return window ? static_cast<LRESULT>(window->text.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageW(handle, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure ? procedure(handle, message, wParam, lParam) : 0;
}
