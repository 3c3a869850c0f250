#include "telodrv/page_ink.h"

#include <algorithm>
#include <cstring>

namespace telodrv {

namespace {

RECTL Ordered(const RECTL& r) {
  return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

bool Meet(const RECTL& a, const RECTL& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

void PageInk::Add(const RECTL& rect) {
  const RECTL r = Ordered(rect);
  if (r.left == r.right || r.top == r.bottom) return;
  if (staleLeft_) WhitenStaleMeeting(r);
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

void PageInk::Reading(const RECTL& rect) {
  if (staleLeft_) WhitenStaleMeeting(Ordered(rect));
}

void PageInk::WhitenRect(const RECTL& rect) const {
  const LONG left = std::max<LONG>(rect.left, 0), right = std::min<LONG>(rect.right, bitmap_.width);
  const LONG top = std::max<LONG>(rect.top, 0), bottom = std::min<LONG>(rect.bottom, bitmap_.height);
  if (left >= right || top >= bottom) return;
  BYTE* row = bitmap_.scan0 + static_cast<std::ptrdiff_t>(top) * bitmap_.delta + 3 * static_cast<std::ptrdiff_t>(left);
  const std::size_t bytes = 3 * static_cast<std::size_t>(right - left);
  for (LONG y = top; y < bottom; ++y, row += bitmap_.delta) std::memset(row, 0xFF, bytes);
}

void PageInk::WhitenStaleAt(std::uint32_t index) {
  RECTL& r = stale_[index];
  if (r.left == r.right) return;
  WhitenRect(r);
  r = RECTL{0, 0, 0, 0};
  --staleLeft_;
}

void PageInk::WhitenStaleMeeting(const RECTL& rect) {
  if (rect.left >= rect.right || rect.top >= rect.bottom || rect.bottom <= 0 || rect.top >= bitmap_.height) return;
  const auto first = static_cast<std::size_t>(std::max<LONG>(rect.top, 0) / kBandRows);
  const auto last = static_cast<std::size_t>((std::min<LONG>(rect.bottom, bitmap_.height) - 1) / kBandRows);
  for (std::size_t band = first; band <= last && staleLeft_; ++band) {
    std::vector<std::uint32_t>& list = bands_[band];
    // Whitened entries (here or through another band) leave the list as it is walked.
    std::size_t kept = 0;
    for (const std::uint32_t index : list) {
      const RECTL& r = stale_[index];
      if (r.left == r.right) continue;
      if (Meet(r, rect))
        WhitenStaleAt(index);
      else
        list[kept++] = index;
    }
    list.resize(kept);
  }
}

void PageInk::WhitenStale() {
  for (std::uint32_t i = 0; staleLeft_ && i < stale_.size(); ++i) WhitenStaleAt(i);
  stale_.clear();
  for (auto& band : bands_) band.clear();
  staleLeft_ = 0;
}

void PageInk::NewPage(SURFOBJ& bitmap) {
  WhitenStale();
  if (bitmap.iBitmapFormat != BMF_24BPP || !bitmap.pvScan0 || bitmap.sizlBitmap.cx <= 0 ||
      bitmap.sizlBitmap.cy <= 0) {
    if (!Empty() && bitmap.pvBits && bitmap.cjBits) std::memset(bitmap.pvBits, 0xFF, bitmap.cjBits);
    Clear();
    return;
  }
  bitmap_ = Bitmap{static_cast<BYTE*>(bitmap.pvScan0), bitmap.lDelta, bitmap.sizlBitmap.cx, bitmap.sizlBitmap.cy};
  if (overflowed_) {
    rects_.assign(1, box_);
    overflowed_ = false;
  }
  box_ = RECTL{0, 0, 0, 0};
  stale_.swap(rects_);
  rects_.clear();
  bands_.resize(static_cast<std::size_t>((bitmap_.height + kBandRows - 1) / kBandRows));
  for (std::uint32_t i = 0; i < stale_.size(); ++i) {
    RECTL& r = stale_[i];
    r = RECTL{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min(r.right, bitmap_.width),
              std::min(r.bottom, bitmap_.height)};
    if (r.left >= r.right || r.top >= r.bottom) {
      r = RECTL{0, 0, 0, 0};
      continue;
    }
    ++staleLeft_;
    for (LONG band = r.top / kBandRows; band <= (r.bottom - 1) / kBandRows; ++band)
      bands_[static_cast<std::size_t>(band)].push_back(i);
  }
  // A crowded band is whitened now: a drawing call then never walks a long list.
  for (auto& list : bands_) {
    if (list.size() <= kMaxBandRects) continue;
    for (const std::uint32_t index : list) WhitenStaleAt(index);
    list.clear();
  }
}

void PageInk::Clear() {
  rects_.clear();
  overflowed_ = false;
  box_ = RECTL{0, 0, 0, 0};
  stale_.clear();
  for (auto& band : bands_) band.clear();
  staleLeft_ = 0;
  bitmap_ = Bitmap{};
}

}  // namespace telodrv
