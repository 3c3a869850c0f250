// The raster output that waits for the page: in transparent mode the dirty regions of the page bitmap, in vector
// mode the image queue.
#include <cstring>

#include "image_placement.h"

void CPDF_DocWriter::FlushPendingRaster(SURFOBJ* surface) {
  if (!gdiPunt) {
    FlushImageQueue();
    return;
  }
  if (!surface || !surface->pvScan0 || surface->iBitmapFormat != BMF_24BPP) {
    dirtyRects.Clear();
    return;
  }
  dirtyRects.Coalesce();
  for (const RECTL& rect : dirtyRects.Rects()) WriteRasterRegion(surface, rect);
  dirtyRects.Clear();
}

void CPDF_DocWriter::WriteRasterRegion(SURFOBJ* surface, const RECTL& rect) {
  if (!contentStream) return;
  // The list holds rectangles clipped to the page; the bitmap may still be smaller than the page.
  if (rect.left < 0 || rect.top < 0 || rect.left >= rect.right || rect.top >= rect.bottom ||
      rect.right > surface->sizlBitmap.cx || rect.bottom > surface->sizlBitmap.cy)
    return;
  if (beforeBitmapRead) beforeBitmapRead(surface, rect);
  ImageRecord image;
  image.width = rect.right - rect.left;
  image.height = rect.bottom - rect.top;
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(image.width);
  image.pixels.resize(rowBytes * static_cast<std::size_t>(image.height));
  const auto* scan0 = static_cast<const std::uint8_t*>(surface->pvScan0);
  for (std::int32_t r = 0; r < image.height; ++r) {
    const std::uint8_t* in = scan0 + static_cast<std::ptrdiff_t>(rect.top + r) * surface->lDelta + 3 * rect.left;
    std::memcpy(image.pixels.data() + rowBytes * static_cast<std::size_t>(r), in, rowBytes);
  }
  image.objectNumber = NewObjectNumber();
  pageImages.push_back(image.objectNumber);
  textWriter.EndText(*contentStream);
  *contentStream += RectPlacement(*this, rect, image.objectNumber);
  WriteImageObject(image);
}
