// Fuzz target of the JPEG header reader: the bytes stand for JPEG data an application hands the driver, which the
// writer passes through once libjpeg has read their header. It either reads a header or refuses the bytes.
#include <cstddef>
#include <cstdint>

#include "jpeg_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto header = ReadJpegHeader(data, size)) {
    if (header->width == 0 || header->height == 0) __builtin_trap();
  }
  return 0;
}
