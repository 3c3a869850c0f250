#include "jpeg_source.h"

#include <cstring>

#include "pdf/image_record.h"
#include "pdf/jpeg_decode.h"

namespace telodrv {

DecodedJpegSource::DecodedJpegSource(const SURFOBJ& source) {
  if (!source.pvBits || source.cjBits == 0) return;
  DecodedJpeg image = DecodeJpeg(static_cast<const std::uint8_t*>(source.pvBits), source.cjBits, kMaxImageBytes);
  whole_ = image.whole;
  if (image.rgb.empty()) return;
  // The source's rectangles are in the size the engine gave; without one the image's own size serves.
  const bool sized = source.sizlBitmap.cx > 0 && source.sizlBitmap.cy > 0;
  const std::uint64_t width = sized ? static_cast<std::uint64_t>(source.sizlBitmap.cx) : image.width;
  const std::uint64_t height = sized ? static_cast<std::uint64_t>(source.sizlBitmap.cy) : image.height;
  if (width * height * 3 > kMaxImageBytes) return;
  bitmap_ = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{static_cast<LONG>(width), static_cast<LONG>(height)}, 0,
                                                    BMF_24BPP, BMF_TOPDOWN | BMF_NOZEROINIT, nullptr));
  if (!bitmap_) return;
  surface_ = EngLockSurface(bitmap_);
  if (!surface_) return;
  // Nearest pixel when the sizes differ: the pass-through shows the whole image on the destination as well.
  for (std::uint64_t y = 0; y < height; ++y) {
    const std::uint8_t* in = image.rgb.data() + (y * image.height / height) * image.width * 3;
    auto* out = static_cast<std::uint8_t*>(surface_->pvScan0) + static_cast<std::ptrdiff_t>(y) * surface_->lDelta;
    if (width == image.width) {
      std::memcpy(out, in, width * 3);
      continue;
    }
    for (std::uint64_t x = 0; x < width; ++x) std::memcpy(out + 3 * x, in + (x * image.width / width) * 3, 3);
  }
}

DecodedJpegSource::~DecodedJpegSource() {
  if (surface_) EngUnlockSurface(surface_);
  if (bitmap_) EngDeleteSurface(bitmap_);
}

}  // namespace telodrv
