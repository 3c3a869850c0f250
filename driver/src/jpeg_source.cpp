#include "jpeg_source.h"

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
  if (width == image.width && height == image.height) {
    pixels_ = std::move(image.rgb);
  } else {
    // Nearest pixel: the pass-through shows the whole image on the destination as well.
    pixels_.resize(width * height * 3);
    for (std::uint64_t y = 0; y < height; ++y) {
      const std::uint64_t from = y * image.height / height;
      for (std::uint64_t x = 0; x < width; ++x) {
        const std::uint8_t* in = image.rgb.data() + (from * image.width + x * image.width / width) * 3;
        std::uint8_t* out = pixels_.data() + (y * width + x) * 3;
        out[0] = in[0], out[1] = in[1], out[2] = in[2];
      }
    }
  }
  surface_.sizlBitmap = SIZEL{static_cast<LONG>(width), static_cast<LONG>(height)};
  surface_.cjBits = static_cast<ULONG>(pixels_.size());
  surface_.pvBits = surface_.pvScan0 = pixels_.data();
  surface_.lDelta = static_cast<LONG>(width * 3);
  surface_.iBitmapFormat = BMF_24BPP;
  surface_.iType = STYPE_BITMAP;
  surface_.fjBitmap = BMF_TOPDOWN;
}

}  // namespace telodrv
