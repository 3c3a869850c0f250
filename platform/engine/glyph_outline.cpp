#include "glyph_outline.h"

#include FT_OUTLINE_H

#include <cmath>

namespace kq::engine {

namespace {

struct Decomposer {
  const GlyphLayout& layout;
  PathData* path;
  FT_Vector last{0, 0};
  bool ok = true;

  POINTFIX Device(double x, double y) {
    FIX fx = 0, fy = 0;
    double dx = 0, dy = 0;
    layout.Map(x, y, &dx, &dy);
    ok = ok && ToFix(dx, &fx) && ToFix(dy, &fy);
    return POINTFIX{fx, fy};
  }
  POINTFIX Device(const FT_Vector* v) { return Device(static_cast<double>(v->x), static_cast<double>(v->y)); }

  static Decomposer& Of(void* user) { return *static_cast<Decomposer*>(user); }
  static int Move(const FT_Vector* to, void* user) {
    auto& d = Of(user);
    d.path->Close();  // each contour of an outline is closed
    const POINTFIX p = d.Device(to);
    if (d.ok) d.ok = d.path->MoveTo(p);
    d.last = *to;
    return 0;
  }
  static int Line(const FT_Vector* to, void* user) {
    auto& d = Of(user);
    const POINTFIX p = d.Device(to);
    if (d.ok) d.ok = d.path->LineTo(p);
    d.last = *to;
    return 0;
  }
  static int Conic(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto& d = Of(user);
    // The quadratic curve as the cubic that traces it.
    const double x0 = static_cast<double>(d.last.x), y0 = static_cast<double>(d.last.y);
    const double cx = static_cast<double>(control->x), cy = static_cast<double>(control->y);
    const double x3 = static_cast<double>(to->x), y3 = static_cast<double>(to->y);
    const POINTFIX a = d.Device(x0 + 2 * (cx - x0) / 3, y0 + 2 * (cy - y0) / 3);
    const POINTFIX b = d.Device(x3 + 2 * (cx - x3) / 3, y3 + 2 * (cy - y3) / 3);
    const POINTFIX p = d.Device(to);
    if (d.ok) d.ok = d.path->BezierTo(a, b, p);
    d.last = *to;
    return 0;
  }
  static int Cubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto& d = Of(user);
    const POINTFIX a = d.Device(c1), b = d.Device(c2), p = d.Device(to);
    if (d.ok) d.ok = d.path->BezierTo(a, b, p);
    d.last = *to;
    return 0;
  }
};

FIX Fix(double pixels) {
  FIX v = 0;
  return ToFix(pixels, &v) ? v : 0;
}

}  // namespace

void GlyphLayout::Map(double x, double y, double* dx, double* dy) const {
  // Font units are y up; the device is y down. The slant leans the top to the right.
  double ux = (x + slant * y) * scale, uy = -y * scale;
  if (turned) {
    const double across = ux;
    ux = uy + turnX;
    uy = turnY - across;
  }
  *dx = ux * cosA + uy * sinA;
  *dy = uy * cosA - ux * sinA;
}

void BuildGlyphOutline(FT_Face face, HGLYPH glyph, const GlyphLayout& layout, double advanceUnits, bool bold,
                       PathData* outline, GLYPHDATA* data) {
  *outline = PathData();
  *data = GLYPHDATA{};
  data->hg = glyph;
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return;
  FT_GlyphSlot slot = face->glyph;
  const double advance = advanceUnits * layout.scale;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (bold) FT_Outline_Embolden(&slot->outline, face->units_per_EM / 50);
    Decomposer d{layout, outline};
    FT_Outline_Funcs funcs{};
    funcs.move_to = &Decomposer::Move;
    funcs.line_to = &Decomposer::Line;
    funcs.conic_to = &Decomposer::Conic;
    funcs.cubic_to = &Decomposer::Cubic;
    if (FT_Outline_Decompose(&slot->outline, &funcs, &d) != 0 || !d.ok) *outline = PathData();
    outline->Close();
  }
  const RECTFX ink = outline->Bounds();
  data->fxD = Fix(advance);
  data->fxA = outline->Empty() ? 0 : ink.xLeft;
  data->fxAB = outline->Empty() ? 0 : ink.xRight;
  data->fxInkTop = -ink.yTop;  // above the baseline is positive
  data->fxInkBottom = -ink.yBottom;
  data->rclInk = {static_cast<LONG>(std::floor(ink.xLeft / 16.0)), static_cast<LONG>(std::floor(ink.yTop / 16.0)),
                  static_cast<LONG>(std::ceil(ink.xRight / 16.0)), static_cast<LONG>(std::ceil(ink.yBottom / 16.0))};
  data->ptqD.x = static_cast<LONGLONG>(std::llround(advance * layout.cosA * 4294967296.0));
  data->ptqD.y = static_cast<LONGLONG>(std::llround(-advance * layout.sinA * 4294967296.0));
}

}  // namespace kq::engine
