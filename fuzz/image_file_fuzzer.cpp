// Fuzz target of the print tool's image files, one format per build (KQ_IMAGE_PNG, KQ_IMAGE_JPEG or KQ_IMAGE_BMP):
// the input is the file. It is either decoded into a bitmap the engine takes, or refused with a JobError.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image_file.h"
#include "job_file.h"

namespace {

bool OfTheFormat(const std::uint8_t* data, std::size_t size) {
#if defined(KQ_IMAGE_PNG)
  static constexpr std::uint8_t kMagic[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
#elif defined(KQ_IMAGE_JPEG)
  static constexpr std::uint8_t kMagic[] = {0xFF, 0xD8, 0xFF};
#else
  static constexpr std::uint8_t kMagic[] = {'B', 'M'};
#endif
  if (size < sizeof kMagic) return false;
  for (std::size_t i = 0; i < sizeof kMagic; ++i)
    if (data[i] != kMagic[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!OfTheFormat(data, size)) return 0;
  try {
    const kqprint::ImageFile image = kqprint::DecodeImageFile("fuzz", std::vector<BYTE>(data, data + size));
    // What the engine's bitmaps need: rows of the pixels' size, DWORD-aligned, and a palette for indexed pixels.
    const std::size_t stride = (static_cast<std::size_t>(image.width) * image.bitsPerPixel + 31) / 32 * 4;
    if (image.width <= 0 || image.height <= 0 || image.bits.size() != stride * static_cast<std::size_t>(image.height))
      std::abort();
    if (image.bitsPerPixel <= 8 && (image.palette.empty() || image.palette.size() > (1u << image.bitsPerPixel)))
      std::abort();
    // Masks of 16-bit pixels: none (5-5-5), or three runs of bits within the 16 that share none.
    const auto [red, green, blue] = image.masks;
    if (red | green | blue) {
      for (const ULONG m : image.masks)
        if (m == 0 || m > 0xFFFF || ((m >> std::countr_zero(m)) & ((m >> std::countr_zero(m)) + 1)) != 0)
          std::abort();
      if ((red & green) | (red & blue) | (green & blue)) std::abort();
    }
  } catch (const kqprint::JobError&) {
  }
  return 0;
}
