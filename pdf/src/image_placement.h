// The operators that paint an image XObject, shared by the image, raster-fallback and queue writers. Not a public
// header.
#pragma once

#include <cstdint>
#include <string>

#include "pdf/doc_writer.h"

// "q w 0 0 h x y cm /ImN Do Q\n": the image over the device rectangle; a rectangle whose right lies left of its
// left (or bottom above top) mirrors the image.
std::string RectPlacement(const CPDF_DocWriter& writer, const RECTL& dest, std::uint32_t number);
// The image's upper-left corner on A, upper-right on B and lower-left on C (device pixels).
std::string ParallelogramPlacement(const CPDF_DocWriter& writer, const POINTL corners[3], std::uint32_t number);
// The JPEG data as an image object with the next object number, written at once: that number, or 0 when its header
// cannot be read or its components are neither grey, RGB nor CMYK (nothing is written then).
std::uint32_t WriteJpegObject(CPDF_DocWriter& writer, const std::uint8_t* data, std::size_t size);
