// JPEG data an application hands over, read whole with libjpeg: the check that decides whether the data may be
// passed through into a file, and the pixels for drawing it into a page bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedJpeg {
  // Whether libjpeg read every scan to the end-of-image marker without an error. Data cut short or damaged is
  // not whole; it must be neither passed through nor drawn.
  bool whole = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // 3 bytes a pixel (red, green, blue), rows of 3 x width bytes, top row first. Empty when the data is not whole
  // or its pixels would take more than the caller allowed.
  std::vector<std::uint8_t> rgb;
};

// Reads the data to its end. Pixels are kept when width x height x 3 is at most `mostBytes` (0 checks only).
// Grey, YCbCr and RGB data come out as RGB; CMYK (inverted when an Adobe marker says so) is turned to RGB by
// removing the ink from white; other component counts are not whole.
DecodedJpeg DecodeJpeg(const std::uint8_t* data, std::size_t size, std::size_t mostBytes);
