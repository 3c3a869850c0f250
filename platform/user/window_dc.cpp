// Device contexts of windows. Nothing is drawn on the headless screen, so a window's context is only a handle that
// the font enumeration and a later ReleaseDC accept.
#include <mutex>
#include <set>

#include "win/font_families.h"
#include "win/machine.h"
#include "win/user.h"

namespace {

struct WindowContexts {
  explicit WindowContexts(kq::Machine&) {}
  std::mutex mutex;
  std::set<ULONG_PTR> open;
  ULONG_PTR next = 0x40000;
};

WindowContexts& Contexts() { return kq::CurrentMachine().Service<WindowContexts>(); }

}  // namespace

HDC GetDC(HWND window) {
  if (window && !IsWindow(window)) return nullptr;
  WindowContexts& contexts = Contexts();
  std::lock_guard lock(contexts.mutex);
  const ULONG_PTR handle = contexts.next;
  contexts.next += 4;
  contexts.open.insert(handle);
  return reinterpret_cast<HDC>(handle);
}

int ReleaseDC(HWND, HDC context) {
  WindowContexts& contexts = Contexts();
  std::lock_guard lock(contexts.mutex);
  return contexts.open.erase(reinterpret_cast<ULONG_PTR>(context)) ? 1 : 0;
}
