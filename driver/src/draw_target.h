// The device and writer of a drawing call's surface, shared by the drawing entries. Not a public header.
#pragma once

#include <optional>

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

// Whether a blit's source goes to the image writer even in transparent mode: PNG sources (which it does not
// draw) and JPEG sources, which the engine cannot draw into the page bitmap. A JPEG is written at once, so what
// waits for the page is written first.
inline bool LeftToTheWriter(CPDF_DocWriter& writer, SURFOBJ* page, SURFOBJ* source) {
  if (!source) return false;
  if (source->iBitmapFormat == BMF_JPEG) writer.FlushPendingRaster(page);
  return source->iBitmapFormat == BMF_PNG || source->iBitmapFormat == BMF_JPEG;
}

}  // namespace telodrv
