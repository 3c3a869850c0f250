// One converted bitmap waiting to become an image object: 24-bit RGB rows (3 bytes a pixel, red first, rows of
// exactly 3 x width bytes) or 1-, 4- or 8-bit palette indices (rows of (bits x width + 7) / 8 bytes, packed from
// the most significant bit). The bitmap rooms make, queue and write them.
#pragma once

#include <cstdint>
#include <vector>

struct ImageRecord {
  std::uint32_t objectNumber = 0;      // given when the image is placed
  std::vector<std::uint8_t> pixels;    // rows top to bottom, back to back
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t bits = 24;             // 24 for RGB; 1, 4 or 8 for an indexed image
  std::vector<std::uint32_t> palette;  // 0x00BBGGRR entries; empty for RGB
};
