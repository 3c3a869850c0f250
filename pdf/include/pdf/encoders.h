// The two stream encoders: Flate (zlib) for every compressed stream of the file, DCT (libjpeg, version 62) for
// photographic images. Each says plainly when it could not encode; it never hands back partial data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "pdf/memory.h"

// The complete zlib stream of the input (level 6, 15-bit window, memory level 8, default strategy: the bytes of
// zlib's compress), allocating through `manager`; nothing when zlib fails.
std::optional<std::string> FlateEncode(const void* bytes, std::size_t length,
                                       const MemoryManager& manager = ProcessMemoryManager());

// An RGB image: 3 bytes a pixel (red, green, blue), rows of exactly 3 x width bytes, top row first.
struct DctImage {
  const std::uint8_t* pixels = nullptr;
  std::int32_t byteCount = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// A baseline JPEG file of the image (quality 75, standard tables). Nothing when there is no JPEG to be had: a size
// libjpeg cannot take, fewer pixel bytes than the size needs, or a libjpeg error; the caller then uses Flate.
std::optional<std::string> DctEncode(const DctImage& image);
