// One converted bitmap waiting to become an image object: 24-bit RGB rows (3 bytes a pixel, red first, rows of
// exactly 3 x width bytes) or 1-, 4- or 8-bit palette indices (rows of (bits x width + 7) / 8 bytes, packed from
// the most significant bit). The bitmap rooms make, queue and write them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "win/winddi.h"

struct ImageRecord {
  std::uint32_t objectNumber = 0;      // given when the image is placed
  std::vector<std::uint8_t> pixels;    // rows top to bottom, back to back
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t bits = 24;             // 24 for RGB; 1, 4 or 8 for an indexed image
  std::vector<std::uint32_t> palette;  // 0x00BBGGRR entries; empty for RGB
};

// Larger images are not converted: their pixels would not fit in memory beside the rest of the job.
inline constexpr std::uint64_t kMaxImageBytes = 512ULL << 20;

// The pixels of `srcRect` of an engine bitmap: indexed sources (1, 4, 8 bits) keep their indices with the translate
// table as palette, 16-, 24- and 32-bit sources become RGB through the translation. Null when there is nothing to
// draw: no bits, a format without pixels of its own, a rectangle that is empty or leaves the bitmap, an indexed
// source without a table or with one of 0 or more than 2^bits entries, or an image above kMaxImageBytes.
std::unique_ptr<ImageRecord> ImageFromSurface(SURFOBJ* source, XLATEOBJ* translate, const RECTL& srcRect);

// A rectangle with left <= right and top <= bottom.
inline RECTL Normalized(const RECTL& r) {
  return RECTL{r.left < r.right ? r.left : r.right, r.top < r.bottom ? r.top : r.bottom,
               r.left < r.right ? r.right : r.left, r.top < r.bottom ? r.bottom : r.top};
}
