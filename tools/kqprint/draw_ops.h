// The drawing ops of a job file (text, rect, line, path, clip, unclip) and their drawing through the application
// side, as a program's drawing reaches the driver. Positions and lengths are points from the page's top-left
// corner; colours "#rrggbb".
//
//   {"op": "text", "at": [x, y], "font": {"file": F, "size": S, "face": N, "bold": B, "italic": I,
//    "vertical": V}, "color": C, "text": T, "background": C, "mix": M, "angle": A}
//   (A: the baseline's escapement in degrees, counter-clockwise)
//   {"op": "rect", "rect": [left, top, right, bottom], "fill": C, "rop": R}
//   {"op": "line", "from": [x, y], "to": [x, y], "stroke": P, "mix": M}
//   {"op": "path", "d": D, "stroke": P, "fill": C | {"color": C, "rule": "nonzero" | "evenodd"}, "mix": M}
//   {"op": "clip", "rect": [left, top, right, bottom]} or {"op": "clip", "d": D, "rule": ...}
//   {"op": "unclip"}
//
// A pen P is a colour (a one-pixel cosmetic pen) or {"color": C, "width": W, "dash": [on, off, ...], "join":
// "round" | "bevel" | "miter", "cap": "round" | "square" | "butt", "miterLimit": L}: a width above 0 makes a
// geometric pen of that width; a dash of length 0 is a dot, drawn by such a pen's round or square caps. Path data D
// holds "M x y", "L x y", "C x1 y1 x2 y2 x y" and "Z", absolute, with
// further coordinate pairs after M and L continuing as lines. A mix M names a binary raster operation ("copypen",
// "xorpen", "notcopypen", "black", "white", ...); a rop R a ternary one ("patcopy", "patinvert", "dstinvert",
// "blackness", "whiteness", "notpatcopy"). Each op declares its fields where it is read (op_table.h); a field it
// does not declare is an error.
//
// The bitmap and gradient ops (image, gradient, alpha, transparent, plg) and their fields: image_ops.h.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "job_file.h"
#include "win/appgdi.h"

namespace kqprint {

// The ops of a run in compact form (the pages kept between a job's check and its printing): text ops write their
// style only when it differs from the text op's before.
struct CompactRun {
  const kq::TextStyle* written = nullptr;        // while writing
  std::shared_ptr<const kq::TextStyle> read;      // while reading
};

class DrawOp {
 public:
  virtual ~DrawOp() = default;
  // Appends the op's compact form, which ReadCompactOp makes it again from, to `out`; false (nothing appended) when
  // it has none, and its JSON is kept instead.
  virtual bool WriteCompact(std::string& /*out*/, CompactRun& /*run*/) const { return false; }
  // Draws on the device's open page; false when the application side refused (its last error is set).
  virtual bool Draw(kq::DeviceContext& dc, double pixelsPerPoint) const = 0;
  // The files the op reads (a font, an image), as found; the PDF must not go over one of them.
  virtual std::vector<std::filesystem::path> InputFiles() const { return {}; }
};

// Makes an op again from its compact form at the front of `in` and moves `in` past it; JobError when the bytes
// end early.
std::unique_ptr<DrawOp> ReadCompactOp(std::string_view& in, CompactRun& run, JobFiles& files);

}  // namespace kqprint
