#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kq::engine {

namespace {

// Style arrays longer than this are cut: no pen needs more, and it bounds what is read from a caller's array.
constexpr ULONG kMaxStyle = 1024;

LONGLONG FloorDiv(LONGLONG a, LONGLONG b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Steps of lines between far ends need more than 64 bits.
__extension__ using Wide = __int128;
LONGLONG Lerp(LONGLONG from, LONGLONG i, LONGLONG d, LONGLONG n) {
  const Wide a = Wide{2} * i * d + n, b = Wide{2} * n;
  return from + static_cast<LONGLONG>(a / b - ((a % b != 0) && (a < 0)));
}

double Pixels(FIX v) { return v / 16.0; }

void BuildPath(cairo_t* cr, const PathData& path) {
  const auto& pts = path.Points();
  cairo_new_path(cr);
  for (const auto& figure : path.Figures()) {
    cairo_move_to(cr, Pixels(pts[figure.start].x), Pixels(pts[figure.start].y));
    for (const auto& run : figure.runs) {
      if (run.bezier) {
        for (ULONG i = run.first; i + 2 < run.first + run.count; i += 3)
          cairo_curve_to(cr, Pixels(pts[i].x), Pixels(pts[i].y), Pixels(pts[i + 1].x), Pixels(pts[i + 1].y),
                         Pixels(pts[i + 2].x), Pixels(pts[i + 2].y));
      } else {
        for (ULONG i = run.first; i < run.first + run.count; ++i) cairo_line_to(cr, Pixels(pts[i].x), Pixels(pts[i].y));
      }
    }
    if (figure.closed) cairo_close_path(cr);
  }
}

// Where a cosmetic line stands in its style.
class StyleCursor {
 public:
  // Style lengths and steps far beyond any device's, cut so the arithmetic stays in 64 bits.
  static LONGLONG Clamp(LONG v, LONG lowest = 1) { return std::clamp<LONG>(v, lowest, 1 << 20); }

  explicit StyleCursor(const CosmeticPen& pen) : pen_(pen) {
    const bool alternate = pen.flags & LA_ALTERNATE;
    bool valid = !pen.style.empty() && !alternate;
    for (LONG e : pen.style) valid = valid && e >= 0;
    if (valid) {
      std::vector<LONG> elements = pen.style;
      if (elements.size() % 2) elements.insert(elements.end(), pen.style.begin(), pen.style.end());
      LONGLONG at = 0;
      for (LONG e : elements) {
        at += Clamp(e, 0) * Clamp(pen.denominator);
        ends_.push_back(at);
      }
      if (at == 0) ends_.clear();
    }
    if (!ends_.empty()) {
      const std::size_t element = static_cast<ULONG>(pen.styleState) >> 16;
      const LONGLONG units = pen.styleState & 0xFFFF;
      const std::size_t index = element % ends_.size();
      start_ = ((index ? ends_[index - 1] : 0) + units * Clamp(pen.denominator)) % ends_.back();
    }
    position_ = start_;
  }

  bool On() const {
    if (pen_.flags & LA_ALTERNATE) return pixel_ % 2 == 0;
    if (ends_.empty()) return true;
    const auto it = std::upper_bound(ends_.begin(), ends_.end(), position_);
    const bool dash = (it - ends_.begin()) % 2 == 0;
    return (pen_.flags & LA_STARTGAP) ? !dash : dash;
  }
  void Skip(LONGLONG pixels, bool xMajor) {
    pixel_ += static_cast<ULONGLONG>(pixels);
    if (ends_.empty() || pixels == 0) return;
    // Lines are at most 2^33 pixels long and steps at most 2^20: the product fits.
    const LONGLONG step = Clamp(xMajor ? pen_.xStep : pen_.yStep);
    position_ = (position_ + (pixels * step) % ends_.back()) % ends_.back();
  }
  void Reset() {
    pixel_ = 0;
    position_ = 0;
  }

 private:
  const CosmeticPen& pen_;
  std::vector<LONGLONG> ends_;  // where each element ends, in units times the denominator
  LONGLONG start_ = 0;
  LONGLONG position_ = 0;
  ULONGLONG pixel_ = 0;
};

// Pixels from `a` up to, not including, `b`; only the steps that reach the mask are walked.
void Step(Mask& mask, POINTL a, POINTL b, StyleCursor* style) {
  const LONGLONG dx = LONGLONG{b.x} - a.x, dy = LONGLONG{b.y} - a.y;
  const LONGLONG n = std::max(std::llabs(dx), std::llabs(dy));
  if (n == 0) return;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const RECTL& area = mask.Area();
  // Along the major axis each step moves exactly one pixel.
  const LONGLONG d = xMajor ? dx : dy, from = xMajor ? a.x : a.y;
  const LONGLONG lo = xMajor ? area.left : area.top, hi = xMajor ? area.right : area.bottom;
  LONGLONG first = d > 0 ? lo - from : from - (hi - 1);
  LONGLONG last = d > 0 ? hi - from : from - lo + 1;
  first = std::clamp<LONGLONG>(first, 0, n);
  last = std::clamp<LONGLONG>(last, first, n);
  if (style) style->Skip(first, xMajor);
  for (LONGLONG i = first; i < last; ++i) {
    const LONGLONG x = Lerp(a.x, i, dx, n), y = Lerp(a.y, i, dy, n);
    if ((!style || style->On()) && x >= area.left && x < area.right && y >= area.top && y < area.bottom)
      mask.Set(static_cast<LONG>(x), static_cast<LONG>(y));
    if (style) style->Skip(1, xMajor);
  }
  if (style) style->Skip(n - last, xMajor);
}

POINTL PixelOf(double x, double y) {
  return POINTL{static_cast<LONG>(std::floor(x + 0.5)), static_cast<LONG>(std::floor(y + 0.5))};
}

POINTL PixelOf(POINTFIX p) {
  return POINTL{static_cast<LONG>(FloorDiv(LONGLONG{p.x} + 8, 16)), static_cast<LONG>(FloorDiv(LONGLONG{p.y} + 8, 16))};
}

struct PointD {
  double x, y;
};

void Flatten(PointD p0, PointD p1, PointD p2, PointD p3, int depth, std::vector<PointD>& out) {
  // Flat when both control points lie within a fifth of a pixel of the chord.
  const double ux = p3.x - p0.x, uy = p3.y - p0.y;
  const double len = std::hypot(ux, uy);
  const auto dist = [&](PointD p) {
    return len > 1e-9 ? std::fabs((p.x - p0.x) * uy - (p.y - p0.y) * ux) / len : std::hypot(p.x - p0.x, p.y - p0.y);
  };
  if (depth >= 16 || (dist(p1) <= 0.2 && dist(p2) <= 0.2)) {
    out.push_back(p3);
    return;
  }
  const PointD a{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2}, b{(p1.x + p2.x) / 2, (p1.y + p2.y) / 2},
      c{(p2.x + p3.x) / 2, (p2.y + p3.y) / 2};
  const PointD d{(a.x + b.x) / 2, (a.y + b.y) / 2}, e{(b.x + c.x) / 2, (b.y + c.y) / 2};
  const PointD m{(d.x + e.x) / 2, (d.y + e.y) / 2};
  Flatten(p0, a, d, m, depth + 1, out);
  Flatten(m, e, c, p3, depth + 1, out);
}

cairo_line_cap_t CapOf(ULONG cap) {
  switch (cap) {
    case ENDCAP_SQUARE: return CAIRO_LINE_CAP_SQUARE;
    case ENDCAP_BUTT: return CAIRO_LINE_CAP_BUTT;
    default: return CAIRO_LINE_CAP_ROUND;
  }
}

cairo_line_join_t JoinOf(ULONG join) {
  switch (join) {
    case JOIN_BEVEL: return CAIRO_LINE_JOIN_BEVEL;
    case JOIN_MITER: return CAIRO_LINE_JOIN_MITER;
    default: return CAIRO_LINE_JOIN_ROUND;
  }
}

// The geometric style as cairo's dashes (dash first) and offset; empty for a solid line.
std::vector<double> DashesOf(const LINEATTRS& attrs, double* offset) {
  std::vector<double> dashes;
  if (!attrs.pstyle || attrs.cstyle == 0) return dashes;
  const ULONG count = std::min(attrs.cstyle, kMaxStyle);
  double total = 0;
  for (ULONG i = 0; i < count; ++i) {
    const double e = attrs.pstyle[i].e;
    if (!std::isfinite(e) || e < 0) return {};
    // A dot under a square cap needs a direction to set its square along: a dash too short to see gives it one.
    dashes.push_back(e == 0 && attrs.iEndCap == ENDCAP_SQUARE ? 1e-3 : e);
    total += e;
  }
  if (!(total > 0)) return {};
  if (dashes.size() % 2) {
    dashes.insert(dashes.end(), dashes.begin(), dashes.end());
    total *= 2;
  }
  *offset = std::isfinite(attrs.elStyleState.e) ? attrs.elStyleState.e : 0;
  if (attrs.fl & LA_STARTGAP) {
    // Gap first: the same pattern begun one element later.
    std::rotate(dashes.begin(), dashes.begin() + 1, dashes.end());
    *offset += total - dashes.back();
  }
  *offset = std::fmod(*offset, total);
  if (*offset < 0) *offset += total;
  return dashes;
}

struct PenTransform {
  cairo_matrix_t matrix;
  double scale = 1;  // how the transform scales areas' side lengths: sqrt |det|
  double norm = 1;   // a bound on how far it stretches any length
};

PenTransform TransformOf(const XFORML* xform) {
  PenTransform t;
  cairo_matrix_init_identity(&t.matrix);
  if (!xform) return t;
  const double a = xform->eM11, b = xform->eM12, c = xform->eM21, d = xform->eM22;
  const double det = a * d - b * c;
  // A transform that flattens the pen to a line (or is not a number) leaves the pen as it is.
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return t;
  cairo_matrix_init(&t.matrix, a, b, c, d, 0, 0);
  t.scale = std::sqrt(std::fabs(det));
  t.norm = std::sqrt(a * a + b * b + c * c + d * d);
  return t;
}

}  // namespace

std::unique_ptr<Mask> Mask::Make(const RECTL& area) {
  const LONG w = std::max<LONG>(area.right - area.left, 1), h = std::max<LONG>(area.bottom - area.top, 1);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  cairo_surface_set_device_offset(surface, -area.left, -area.top);
  return std::unique_ptr<Mask>(new Mask(surface, area));
}

Mask::Mask(cairo_surface_t* surface, const RECTL& area)
    : surface_(surface),
      area_(area),
      data_(cairo_image_surface_get_data(surface)),
      stride_(cairo_image_surface_get_stride(surface)) {}

Mask::~Mask() {
  if (cr_) cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

cairo_t* Mask::Context() {
  if (!cr_) {
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgba(cr_, 0, 0, 0, 1);
  }
  cairo_surface_mark_dirty(surface_);
  return cr_;
}

bool Mask::SameAs(const Mask& other) const {
  if (std::memcmp(&area_, &other.area_, sizeof area_) != 0) return false;
  for (LONG y = area_.top; y < area_.bottom; ++y)
    if (std::memcmp(Row(y) + area_.left, other.Row(y) + area_.left, area_.right - area_.left) != 0) return false;
  return true;
}

void FillPath(Mask& mask, const PathData& path, FLONG fillMode) {
  cairo_t* cr = mask.Context();
  BuildPath(cr, path);
  cairo_set_fill_rule(cr, fillMode == FP_WINDINGMODE ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  cairo_fill(cr);
  cairo_surface_flush(cairo_get_target(cr));
}

CosmeticPen CosmeticPenOf(const LINEATTRS* attrs, LONG xStep, LONG yStep, LONG denominator) {
  CosmeticPen pen;
  pen.xStep = xStep;
  pen.yStep = yStep;
  pen.denominator = denominator;
  if (!attrs) return pen;
  pen.flags = attrs->fl;
  pen.styleState = attrs->elStyleState.l;
  if (attrs->pstyle)
    for (ULONG i = 0; i < std::min(attrs->cstyle, kMaxStyle); ++i) pen.style.push_back(attrs->pstyle[i].l);
  return pen;
}

void StrokeCosmetic(Mask& mask, const PathData& path, const CosmeticPen& pen) {
  StyleCursor style(pen);
  const auto& pts = path.Points();
  std::vector<PointD> flat;
  for (const auto& figure : path.Figures()) {
    if (figure.resetStyle) style.Reset();
    const POINTL start = PixelOf(pts[figure.start]);
    POINTL at = start;
    for (const auto& run : figure.runs) {
      if (run.bezier) {
        for (ULONG i = run.first; i + 2 < run.first + run.count; i += 3) {
          const POINTFIX p0 = pts[i - 1];  // a figure's points lie in order, its start first
          flat.clear();
          Flatten({Pixels(p0.x), Pixels(p0.y)}, {Pixels(pts[i].x), Pixels(pts[i].y)},
                  {Pixels(pts[i + 1].x), Pixels(pts[i + 1].y)}, {Pixels(pts[i + 2].x), Pixels(pts[i + 2].y)}, 0, flat);
          for (const PointD& p : flat) {
            const POINTL next = PixelOf(p.x, p.y);
            Step(mask, at, next, &style);
            at = next;
          }
        }
      } else {
        for (ULONG i = run.first; i < run.first + run.count; ++i) {
          const POINTL next = PixelOf(pts[i]);
          Step(mask, at, next, &style);
          at = next;
        }
      }
    }
    if (figure.closed) Step(mask, at, start, &style);
  }
}

void LineCosmetic(Mask& mask, POINTL from, POINTL to) { Step(mask, from, to, nullptr); }

double StrokeReach(const LINEATTRS& attrs, const XFORML* xform) {
  if (!(attrs.fl & LA_GEOMETRIC)) return 2;
  const PenTransform t = TransformOf(xform);
  const double width = std::isfinite(attrs.elWidth.e) ? std::fabs(attrs.elWidth.e) : 0;
  double factor = 1.5;  // square caps reach sqrt(2) of the half width
  if (attrs.iJoin == JOIN_MITER && std::isfinite(attrs.eMiterLimit)) factor = std::max<double>(attrs.eMiterLimit, factor);
  return std::min(width * t.norm * factor / 2 + 2, kMaxPathPixels);
}

double GeometricWidth(const LINEATTRS& attrs, const XFORML* xform) {
  const double width = std::isfinite(attrs.elWidth.e) && attrs.elWidth.e > 0 ? attrs.elWidth.e : 0;
  return width * TransformOf(xform).scale;
}

void StrokeGeometric(Mask& mask, const PathData& path, const LINEATTRS& attrs, const XFORML* xform) {
  const PenTransform t = TransformOf(xform);
  const double width = std::isfinite(attrs.elWidth.e) && attrs.elWidth.e > 0 ? attrs.elWidth.e : 0;
  cairo_t* cr = mask.Context();
  cairo_save(cr);
  cairo_identity_matrix(cr);
  BuildPath(cr, path);
  // The path stays in device space; the pen is shaped by the transform at the time of stroking.
  cairo_set_matrix(cr, &t.matrix);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CapOf(attrs.iEndCap));
  cairo_set_line_join(cr, JoinOf(attrs.iJoin));
  cairo_set_miter_limit(cr, std::isfinite(attrs.eMiterLimit) && attrs.eMiterLimit >= 1 ? attrs.eMiterLimit : 10.0);
  double offset = 0;
  const std::vector<double> dashes = DashesOf(attrs, &offset);
  cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), offset);
  cairo_stroke(cr);
  cairo_restore(cr);
  cairo_surface_flush(cairo_get_target(cr));
}

}  // namespace kq::engine
