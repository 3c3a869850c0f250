// The bitmap and gradient ops of a job file. Positions are points from the page's top-left corner; "source" is a
// rectangle of the image's own pixels (the whole image without it); colours "#rrggbb"; image files are PNG, JPEG
// or BMP (1, 4, 8, 16, 24 or 32 bits), looked up beside the job.
//
//   {"op": "image", "file": F, "rect": [left, top, right, bottom], "source": [l, t, r, b], "rop": R}
//       R: "srccopy" (the default), "srcinvert", "srcand", "srcpaint", "notsrccopy", "srcerase". A JPEG drawn
//       whole with "srccopy" goes to a driver that takes JPEG as it is.
//   {"op": "gradient", "mode": "rect-h" | "rect-v", "rect": [...], "colors": [from, to]}
//   {"op": "gradient", "mode": "triangles", "rect": [...], "colors": [top-left, top-right, bottom-right, bottom-left]}
//   {"op": "gradient", "mode": "triangles", "points": [[x, y], ...], "colors": [C, ...]}  (three points a triangle)
//   {"op": "alpha", "file": F | "fill": C, "rect": [...], "source": [...], "opacity": 0..1}
//       a PNG with transparency blends by its own alpha as well.
//   {"op": "transparent", "file": F, "rect": [...], "source": [...], "key": C}
//   {"op": "plg", "file": F, "points": [[ax, ay], [bx, by], [cx, cy]], "source": [...]}
//       the image's upper-left corner on A, upper-right on B, lower-left on C.
#pragma once

#include <span>

#include "op_table.h"

namespace kqprint {

// image, gradient, alpha, transparent and plg, with their fields.
std::span<const OpKind> ImageOps();

}  // namespace kqprint
