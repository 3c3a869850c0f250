// The JPEG encoder behind DctEncode, with the destination's first size open to tests. Not a public header.
#pragma once

#include "pdf/encoders.h"

// Encodes into a destination that starts with `initialCapacity` bytes and doubles whenever libjpeg fills it.
std::optional<std::string> EncodeJpeg(const DctImage& image, std::size_t initialCapacity);
