// Bitmaps as plain pixels: made from a module's bitmap resources and from pixels, and read back.
#include <algorithm>
#include <cstring>

#include "gdi_state.h"
#include "win/ansi_text.h"
#include "win/clipboard.h"
#include "win/paint.h"
#include "win/user.h"

namespace {

using kq::gdi::GdiState;
using kq::gdi::HandleValue;

std::uint32_t* Row(SURFOBJ* so, LONG y) {
  return reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(so->pvScan0) + static_cast<std::ptrdiff_t>(y) * so->lDelta);
}

}  // namespace

namespace kq {

HBITMAP CreateBitmapFromPixels(BitmapPixels pixels) {
  if (pixels.width < 1 || pixels.height < 1 ||
      pixels.pixels.size() != static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const HBITMAP bitmap = CreateCompatibleBitmap(nullptr, pixels.width, pixels.height);
  if (!bitmap) return nullptr;
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  SURFOBJ* so = state.Find<gdi::Bitmap>(HandleValue(bitmap))->so;
  for (LONG y = 0; y < pixels.height; ++y) {
    std::memcpy(Row(so, y), pixels.pixels.data() + static_cast<std::size_t>(y) * pixels.width,
                static_cast<std::size_t>(pixels.width) * 4);
  }
  return bitmap;
}

bool ReadBitmap(HBITMAP bitmap, BitmapPixels* pixels) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* found = state.Find<gdi::Bitmap>(HandleValue(bitmap));
  if (!found) return false;
  if (!pixels) return true;
  SURFOBJ* so = found->so;
  pixels->width = so->sizlBitmap.cx;
  pixels->height = so->sizlBitmap.cy;
  pixels->pixels.resize(static_cast<std::size_t>(pixels->width) * static_cast<std::size_t>(pixels->height));
  for (LONG y = 0; y < pixels->height; ++y) {
    const std::uint32_t* row = Row(so, y);
    std::transform(row, row + pixels->width, pixels->pixels.begin() + static_cast<std::ptrdiff_t>(y) * pixels->width,
                   [](std::uint32_t pixel) { return pixel & 0xFFFFFF; });
  }
  return true;
}

}  // namespace kq

HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name) {
  return static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

HBITMAP LoadBitmapA(HINSTANCE module, const char* name) {
  if (IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(name))) return LoadBitmapW(module, reinterpret_cast<LPCWSTR>(name));
  return LoadBitmapW(module, kq::WideOfAnsi(name).c_str());
}
