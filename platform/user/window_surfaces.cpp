// The windows' pixels, and the icons and cursors that window classes show.
#include <algorithm>

#include "core.h"
#include "win/dialog_templates.h"
#include "win/engine.h"
#include "win/paint.h"
#include "win/window_surface.h"

namespace kq {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

}  // namespace

std::shared_ptr<WindowSurface> WindowSurfaceOf(HWND handle) {
  auto core = user::CurrentCore();
  std::lock_guard lock(core->mutex);
  user::Window* window = core->Find(handle);
  const LONG width = window ? window->rect.right - window->rect.left : 0;
  const LONG height = window ? window->rect.bottom - window->rect.top : 0;
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  // A window larger than the engine would draw into gets no pixels.
  if (4ull * static_cast<ULONGLONG>(width) * static_cast<ULONGLONG>(height) > EngineBitmapLimit(CurrentMachine())) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto& surface = window->surface;
  if (!surface || surface->width != width || surface->height != height) {
    // A context may still hold the old surface: it draws on, unseen.
    surface = std::make_shared<WindowSurface>();
    surface->width = width;
    surface->height = height;
    surface->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kWhite);
  }
  return surface;
}

bool ReadWindowPixels(HWND window, BitmapPixels* pixels) {
  const auto surface = WindowSurfaceOf(window);
  if (!surface) return false;
  if (!pixels) return true;
  std::lock_guard lock(surface->mutex);
  pixels->width = surface->width;
  pixels->height = surface->height;
  pixels->pixels.resize(surface->pixels.size());
  std::transform(surface->pixels.begin(), surface->pixels.end(), pixels->pixels.begin(),
                 [](std::uint32_t pixel) { return pixel & 0xFFFFFF; });
  return true;
}

}  // namespace kq

namespace {

// The handle of the system's arrow cursor; no module's memory lies this low.
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(0x7F00));

}  // namespace

HICON LoadIconW(HINSTANCE module, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const kq::PictureResource* icon =
      kq::FindIconResource(module, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
  // The handle is the resource itself, which lives as long as its module.
  return icon ? reinterpret_cast<HICON>(const_cast<kq::PictureResource*>(icon)) : nullptr;
}

HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR name) {
  if (module == nullptr && name == IDC_ARROW) return kArrowCursor;
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}
