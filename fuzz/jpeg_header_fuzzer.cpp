// Fuzz target of the JPEG reader: the bytes stand for JPEG data an application hands the driver, which the writer
// passes through once libjpeg has read their header and every scan to the end, and which the driver draws from its
// decoded pixels. It either reads the data or refuses it; pixels come only with whole data, of the size it says.
#include <cstddef>
#include <cstdint>

#include "jpeg_header.h"
#include "pdf/jpeg_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto header = ReadJpegHeader(data, size)) {
    if (header->width == 0 || header->height == 0) __builtin_trap();
  }
  const DecodedJpeg image = DecodeJpeg(data, size, 1 << 20);
  if (!image.rgb.empty() && (!image.whole || image.rgb.size() != std::size_t{image.width} * image.height * 3))
    __builtin_trap();
  return 0;
}
