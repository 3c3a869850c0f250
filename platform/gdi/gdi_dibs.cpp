// Device-independent bitmaps in and out of the screen-format bitmaps: StretchDIBits through the engine's stretch,
// GetDIBits by copying rows.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "gdi_state.h"
#include "win/enginebrush.h"

namespace {

using kq::gdi::GdiState;
using kq::gdi::HandleValue;

// Rows of a BI_RGB DIB of 24 or 32 bits: DWORD-aligned.
std::uint64_t DibStride(LONG width, WORD bits) { return (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4; }

bool UsableHeader(const BITMAPINFO* info) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  return h.biSize >= sizeof(BITMAPINFOHEADER) && h.biWidth > 0 && h.biHeight != 0 &&
         h.biHeight != std::numeric_limits<LONG>::min() && h.biPlanes == 1 &&
         (h.biBitCount == 24 || h.biBitCount == 32) && h.biCompression == BI_RGB;
}

}  // namespace

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!bits || !UsableHeader(info) || usage != DIB_RGB_COLORS || rop != SRCCOPY || srcWidth <= 0 || srcHeight <= 0 ||
      destWidth == 0 || destHeight == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const bool topDown = h.biHeight < 0;
  const LONG height = topDown ? -h.biHeight : h.biHeight;
  if (xSrc < 0 || ySrc < 0 || static_cast<LONGLONG>(xSrc) + srcWidth > h.biWidth ||
      static_cast<LONGLONG>(ySrc) + srcHeight > height) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::uint64_t stride = DibStride(h.biWidth, h.biBitCount);
  if (stride > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }

  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* context = state.Find<kq::gdi::Context>(HandleValue(dc));
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const kq::gdi::Target drawn(state, *context);
  SURFOBJ* target = drawn.Surface();
  if (!target) return srcHeight;

  // The program's rows as an engine bitmap over its own memory; a bottom-up DIB counts source rows from the bottom.
  HBITMAP wrapped = EngCreateBitmap(SIZEL{h.biWidth, height}, static_cast<LONG>(stride),
                                    h.biBitCount == 24 ? BMF_24BPP : BMF_32BPP, topDown ? BMF_TOPDOWN : 0,
                                    const_cast<void*>(bits));
  if (!wrapped) return 0;
  const auto surface = reinterpret_cast<HSURF>(wrapped);
  SURFOBJ* source = EngLockSurface(surface);
  const LONG top = topDown ? ySrc : height - ySrc - srcHeight;
  RECTL from{xSrc, top, xSrc + srcWidth, top + srcHeight};
  RECTL to{xDest, yDest, xDest + destWidth, yDest + destHeight};
  // Same channel order on both sides (blue first in memory): the values pass unchanged.
  auto identity = kq::XlateObject::Identity();
  POINTL origin{0, 0};
  const BOOL done = source && EngStretchBlt(target, source, nullptr, nullptr, identity->Object(), nullptr, &origin,
                                            &to, &from, nullptr, COLORONCOLOR);
  if (source) EngUnlockSurface(source);
  EngDeleteSurface(surface);
  return done ? srcHeight : 0;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  if (!UsableHeader(info) || usage != DIB_RGB_COLORS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto* bm = state.Find<kq::gdi::Bitmap>(HandleValue(bitmap));
  if (!bm || !state.Find<kq::gdi::Context>(HandleValue(dc))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  BITMAPINFOHEADER& h = info->bmiHeader;
  const SURFOBJ* so = bm->so;
  const LONG width = so->sizlBitmap.cx, height = so->sizlBitmap.cy;
  const std::uint64_t stride = DibStride(width, h.biBitCount);
  if (!bits) {
    const std::uint64_t size = stride * static_cast<std::uint64_t>(height);
    if (size > std::numeric_limits<DWORD>::max()) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    h.biWidth = width;
    h.biSizeImage = static_cast<DWORD>(size);
    return height;
  }
  // The caller's rows are as wide as its header says; only the bitmap's own width is filled.
  if (h.biWidth != width) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const bool topDown = h.biHeight < 0;
  const LONG rows = topDown ? -h.biHeight : h.biHeight;
  const std::uint64_t last = std::min<std::uint64_t>(std::uint64_t{start} + lines, static_cast<std::uint64_t>(std::min(rows, height)));
  const UINT bytes = h.biBitCount / 8;
  int copied = 0;
  for (std::uint64_t i = start; i < last; ++i) {
    // DIB row i counts from the top for a top-down DIB, from the bottom otherwise.
    const auto y = static_cast<LONG>(topDown ? i : static_cast<std::uint64_t>(height) - 1 - i);
    const BYTE* in = static_cast<const BYTE*>(so->pvScan0) + static_cast<std::ptrdiff_t>(y) * so->lDelta;
    BYTE* out = static_cast<BYTE*>(bits) + stride * (i - start);
    std::memset(out, 0, stride);
    for (LONG x = 0; x < width; ++x) std::memcpy(out + static_cast<std::size_t>(x) * bytes, in + 4 * x, bytes);
    ++copied;
  }
  return copied;
}
