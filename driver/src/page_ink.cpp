#include "telodrv/page_ink.h"

#include <algorithm>
#include <cstring>

namespace telodrv {

void PageInk::Add(const RECTL& rect) {
  const RECTL r{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
                std::max(rect.top, rect.bottom)};
  if (r.left == r.right || r.top == r.bottom) return;
  if (rects_.empty() && !overflowed_) {
    box_ = r;
  } else {
    box_ = RECTL{std::min(box_.left, r.left), std::min(box_.top, r.top), std::max(box_.right, r.right),
                 std::max(box_.bottom, r.bottom)};
  }
  if (overflowed_) return;
  if (rects_.size() == kMaxRects) {
    rects_.clear();
    rects_.shrink_to_fit();
    overflowed_ = true;
    return;
  }
  rects_.push_back(r);
}

void PageInk::Whiten(SURFOBJ& bitmap) {
  if (Empty()) return;
  if (bitmap.iBitmapFormat != BMF_24BPP || !bitmap.pvScan0) {
    if (bitmap.pvBits && bitmap.cjBits) std::memset(bitmap.pvBits, 0xFF, bitmap.cjBits);
    Clear();
    return;
  }
  const auto whiten = [&](const RECTL& rect) {
    const LONG left = std::max<LONG>(rect.left, 0), right = std::min<LONG>(rect.right, bitmap.sizlBitmap.cx);
    const LONG top = std::max<LONG>(rect.top, 0), bottom = std::min<LONG>(rect.bottom, bitmap.sizlBitmap.cy);
    if (left >= right || top >= bottom) return;
    auto* row = static_cast<BYTE*>(bitmap.pvScan0) + static_cast<std::ptrdiff_t>(top) * bitmap.lDelta + 3 * left;
    const std::size_t bytes = 3 * static_cast<std::size_t>(right - left);
    for (LONG y = top; y < bottom; ++y, row += bitmap.lDelta) std::memset(row, 0xFF, bytes);
  };
  if (overflowed_)
    whiten(box_);
  else
    for (const RECTL& rect : rects_) whiten(rect);
  Clear();
}

void PageInk::Clear() {
  rects_.clear();
  overflowed_ = false;
  box_ = RECTL{0, 0, 0, 0};
}

}  // namespace telodrv
