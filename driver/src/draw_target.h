// The device and writer of a drawing call's surface, shared by the drawing entries. Not a public header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "jpeg_source.h"
#include "telodrv/driver_pdev.h"

namespace telodrv {

struct Target {
  DriverPdev* pdev = nullptr;
  CPDF_DocWriter* writer = nullptr;
  bool transparent = false;
  bool ignoreBackground = false;
};

// The device of a drawing call's surface, when it has one and a document writer.
inline std::optional<Target> TargetOf(SURFOBJ* surface) {
  if (!surface || !surface->dhpdev) return std::nullopt;
  DriverPdev* pdev = PdevFromHandle(surface->dhpdev);
  if (!pdev->writer) return std::nullopt;
  return Target{pdev, pdev->writer.get(), pdev->settings.priv.GDIPunt != 0, pdev->settings.priv.IgnoreBackground != 0};
}

// The engine is about to draw into the page bitmap within `area` (either corner order): the last page's ink there is
// whitened first. The margin takes in the pixels its rounding and smoothed edges may reach beyond it.
inline void Inking(const Target& target, const RECTL& area, LONG margin = 2) {
  const auto grow = [](LONG v, LONG by) {
    return static_cast<LONG>(std::clamp<long long>(static_cast<long long>(v) + by, INT32_MIN, INT32_MAX));
  };
  target.pdev->ink.Add(RECTL{grow(std::min(area.left, area.right), -margin), grow(std::min(area.top, area.bottom), -margin),
                             grow(std::max(area.left, area.right), margin), grow(std::max(area.top, area.bottom), margin)});
}

// The engine is about to read `source`: when it is the page bitmap, the last page's ink left in it is whitened.
inline void ReadingSource(const Target& target, const SURFOBJ* source) {
  if (source && (source->hsurf == target.pdev->surface || source->dhpdev == HandleFromPdev(target.pdev)))
    target.pdev->ink.WhitenStale();
}

// A blit of a compressed source in transparent mode; false for any other source, which the caller draws. A PNG
// goes to the writer alone (`passThrough`, which does not draw it). A JPEG is read whole first: one cut short or
// damaged draws nothing. A blit that copies it passes it through unchanged (after what waits for the page, which
// lies beneath it) and the engine draws its pixels into the page bitmap too (`engineDraw(source, xlate)`), so a
// raster region cut later over it shows the photo. A blit that does not copy it (a blend, a colour key, a mask, a
// raster operation) is the engine's drawing with `area` left to the raster fallback, as for any other source; the
// pass-through stays for one too large to decode.
template <class PassThrough, class EngineDraw>
bool DrawCompressedSource(const Target& target, SURFOBJ* page, SURFOBJ* source, bool copies, const RECTL& area,
                          PassThrough passThrough, EngineDraw engineDraw) {
  if (!source || (source->iBitmapFormat != BMF_PNG && source->iBitmapFormat != BMF_JPEG)) return false;
  if (source->iBitmapFormat == BMF_PNG) {
    passThrough();
    return true;
  }
  DecodedJpegSource decoded(*source);
  if (!decoded.Whole()) return true;
  SURFOBJ* pixels = decoded.Pixels();
  if (copies || !pixels) {
    target.writer->FlushPendingRaster(page);
    passThrough();
  }
  if (!pixels) return true;
  engineDraw(pixels, static_cast<XLATEOBJ*>(nullptr));  // the pixels are in the page's colours already
  if (!copies) target.writer->AddDirtyRect(area);
  return true;
}

}  // namespace telodrv
