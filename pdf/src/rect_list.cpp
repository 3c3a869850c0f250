// Rectangle lists and their coalescing through a one-bit mask of the rectangles' bounding box.
#include "pdf/rect_list.h"

#include <algorithm>
#include <cstring>

namespace {

void SetBits(std::uint8_t* row, std::int32_t from, std::int32_t to) {
  // Bits from .. to - 1, most significant bit first.
  const std::int32_t last = to - 1;
  const std::int32_t firstByte = from / 8, lastByte = last / 8;
  const auto head = static_cast<std::uint8_t>(0xFF >> (from % 8));
  const auto tail = static_cast<std::uint8_t>(0xFF << (7 - last % 8));
  if (firstByte == lastByte) {
    row[firstByte] |= head & tail;
    return;
  }
  row[firstByte] |= head;
  std::memset(row + firstByte + 1, 0xFF, static_cast<std::size_t>(lastByte - firstByte - 1));
  row[lastByte] |= tail;
}

bool BitSet(const std::uint8_t* row, std::int32_t k) { return (row[k / 8] >> (7 - k % 8)) & 1; }

}  // namespace

RECTL BoundingBox(const std::vector<RECTL>& rects) {
  if (rects.empty()) return RECTL{};
  RECTL box = rects.front();
  for (const RECTL& r : rects) {
    box.left = std::min(box.left, r.left);
    box.top = std::min(box.top, r.top);
    box.right = std::max(box.right, r.right);
    box.bottom = std::max(box.bottom, r.bottom);
  }
  return box;
}

void RectList::Add(const RECTL& rect) {
  if (rects_.size() == rects_.capacity()) rects_.reserve(rects_.capacity() + kGrowth);
  rects_.push_back(rect);
}

void RectList::AddBandRuns(const std::uint8_t* row, std::int32_t left, std::int32_t right, std::int32_t top,
                           std::int32_t bottom) {
  const std::int32_t width = right - left;
  std::int32_t start = -1;
  for (std::int32_t k = 0; k < width; ++k) {
    const bool set = BitSet(row, k);
    if (set && start < 0) start = k;
    if (!set && start >= 0) {
      Add(RECTL{left + start, top, left + k, bottom});
      start = -1;
    }
  }
  if (start >= 0) Add(RECTL{left + start, top, right, bottom});
}

void RectList::Coalesce() {
  if (rects_.size() < 2) return;
  const RECTL box = BoundingBox(rects_);
  if (rects_.size() > kMaskLimit) {
    rects_.assign(1, box);
    return;
  }
  // 64-bit sizes: the box of two far-apart rectangles may be large.
  const auto width = static_cast<std::int64_t>(box.right) - box.left;
  const auto height = static_cast<std::int64_t>(box.bottom) - box.top;
  const auto rowBytes = static_cast<std::size_t>((width + 7) / 8);
  std::vector<std::uint8_t> mask(rowBytes * static_cast<std::size_t>(height));
  for (const RECTL& r : rects_) {
    for (std::int32_t y = r.top; y < r.bottom; ++y)
      SetBits(mask.data() + rowBytes * static_cast<std::size_t>(y - box.top), r.left - box.left, r.right - box.left);
  }

  RectList bands;
  const auto row = [&](std::int32_t y) { return mask.data() + rowBytes * static_cast<std::size_t>(y - box.top); };
  std::int32_t bandTop = box.top;
  for (std::int32_t y = box.top + 1; y < box.bottom; ++y) {
    if (std::memcmp(row(y - 1), row(y), rowBytes) != 0) {
      bands.AddBandRuns(row(y - 1), box.left, box.right, bandTop, y);
      bandTop = y;
    }
  }
  bands.AddBandRuns(row(box.bottom - 1), box.left, box.right, bandTop, box.bottom);
  if (bands.Count() > rects_.size()) return;
  std::copy(bands.rects_.begin(), bands.rects_.end(), rects_.begin());
  rects_.resize(bands.Count());
}
