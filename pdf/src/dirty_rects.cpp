// The areas drawn into the page bitmap only, which the raster fallback writes as images.
#include <algorithm>

#include "pdf/doc_writer.h"

void CPDF_DocWriter::AddDirtyRect(const RECTL& rect) {
  if (cancelled || !gdiPunt) return;
  RECTL r = Normalized(rect);
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, pageWidthPx);
  r.bottom = std::min<LONG>(r.bottom, pageHeightPx);
  if (r.left < r.right && r.top < r.bottom) dirtyRects.Add(r);
}

void CPDF_DocWriter::AddDirtyLine(LONG x0, LONG y0, LONG x1, LONG y1) {
  // The rectangle holds both end pixels, so a horizontal or vertical line is not lost. 64-bit: an end at the
  // largest coordinate still gets its pixel.
  const auto right = std::min<long long>(std::max(x0, x1) + 1LL, pageWidthPx);
  const auto bottom = std::min<long long>(std::max(y0, y1) + 1LL, pageHeightPx);
  AddDirtyRect(RECTL{std::min(x0, x1), std::min(y0, y1), static_cast<LONG>(right), static_cast<LONG>(bottom)});
}
