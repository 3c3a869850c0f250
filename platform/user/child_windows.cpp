// Finding a window's child windows by class and caption.
#include <algorithm>

#include "core.h"

HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName) {
  auto core = kq::user::CurrentCore();
  std::lock_guard lock(core->mutex);
  if (parent == core->Desktop()) parent = nullptr;
  const kq::user::Window* window = parent ? core->FindOrReport(parent) : nullptr;
  if (parent && !window) return nullptr;
  std::shared_ptr<kq::user::WindowClass> cls;
  if (className) {
    cls = core->FindClass(className);
    if (!cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
  }
  const std::vector<HWND> children = window ? window->children : core->TopLevelWindows();
  auto it = children.begin();
  if (childAfter) {
    it = std::find(children.begin(), children.end(), childAfter);
    if (it == children.end()) return nullptr;
    ++it;
  }
  for (; it != children.end(); ++it) {
    const kq::user::Window* child = core->Find(*it);
    if (!child || (cls && child->cls != cls)) continue;
    if (windowName && !kq::EqualsIgnoreAsciiCase(child->text, windowName)) continue;
    return *it;
  }
  SetLastError(ERROR_SUCCESS);
  return nullptr;
}
