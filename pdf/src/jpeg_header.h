// The header of JPEG data handed over by the engine, read with libjpeg. Not a public header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct JpegHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int components = 0;
  bool adobe = false;  // an Adobe marker: CMYK samples are stored inverted
};

// Nothing when libjpeg cannot read a header from the bytes; its messages are dropped.
std::optional<JpegHeader> ReadJpegHeader(const std::uint8_t* data, std::size_t size);
