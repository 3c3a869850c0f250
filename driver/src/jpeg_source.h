// A JPEG source of a blit read whole, and its pixels as a 24-bit bitmap of the source's size, which the engine can
// draw into the page bitmap. Not a public header.
#pragma once

#include "win/winddi.h"

namespace telodrv {

class DecodedJpegSource {
 public:
  // Reads the JPEG file in the source's bits (pvBits, cjBits).
  explicit DecodedJpegSource(const SURFOBJ& source);
  ~DecodedJpegSource();
  DecodedJpegSource(const DecodedJpegSource&) = delete;
  DecodedJpegSource& operator=(const DecodedJpegSource&) = delete;

  // Whether the data is whole; a JPEG cut short or damaged is drawn nowhere.
  bool Whole() const { return whole_; }
  // The pixels, in the page's colour order (red in the low byte), as large as the source says it is (an image of
  // another size is scaled to it); null when the data is not whole or the pixels would not fit in memory.
  SURFOBJ* Pixels() { return surface_; }

 private:
  bool whole_ = false;
  HSURF bitmap_ = nullptr;  // an engine bitmap, which the engine's blits take as a source
  SURFOBJ* surface_ = nullptr;
};

}  // namespace telodrv
