// The sRGB IEC61966-2.1 colour profile (ICC version 2.1, display device, RGB to XYZ) that PDF output embeds.
#pragma once

#include <cstdint>
#include <span>

namespace kq {

// The profile's bytes, as data/srgb.icc holds them; the same for every document.
std::span<const std::uint8_t> SrgbIccProfile();

}  // namespace kq
