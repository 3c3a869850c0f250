// A program's clips, rectangles, lines and paths as the engine hands them to the driver: DrvBitBlt with a pattern,
// DrvLineTo, DrvStrokePath, DrvFillPath and DrvStrokeAndFillPath.
#include <algorithm>
#include <limits>

#include "app_drawing.h"
#include "pixels.h"

namespace kq {

using appgdi::DrawCall;

namespace {

bool Invalid() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

RECTL Intersect(const RECTL& a, const RECTL& b) {
  return RECTL{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
}

// A stroke of `path` with `pen`.
bool Stroke(DrawCall& call, PathObject& path, const Pen& pen, const LineAttributes& attrs, ULONG rop2) {
  LineAttributes line = attrs;
  const bool joins = path.Object()->cCurves > 1;
  CLIPOBJ* clip = call.Clip(appgdi::PathBounds(path.Object(), appgdi::PenReach(pen, joins)));
  if (!clip) return true;
  BRUSHOBJ* brush = call.Solid(pen.color);
  if (!brush) return false;
  DrawCall::Begin();
  return DrawCall::Done(DdiStrokePath(call.Surface(), path.Object(), clip, pen.geometric ? call.Identity() : nullptr,
                                      brush, call.BrushOrigin(), line.Object(), DrawCall::Mix(rop2)));
}

}  // namespace

bool DeviceContext::SelectClip() {
  if (!Usable()) return false;
  MachineScope scope(machine_);
  drawing_->clip.reset();
  return true;
}

bool DeviceContext::SelectClip(const RECTL& rect) {
  if (!Usable()) return false;
  MachineScope scope(machine_);
  RECTL area = Intersect(appgdi::OrderedRect(rect), drawing_->surface);
  if (appgdi::EmptyRect(area)) area = RECTL{0, 0, 0, 0};
  drawing_->clip = ClipObject::Rectangle(area);
  return true;
}

bool DeviceContext::SelectClip(const DevicePath& path, FLONG fillMode) {
  if (!Usable()) return false;
  if (fillMode != FP_ALTERNATEMODE && fillMode != FP_WINDINGMODE) return Invalid();
  MachineScope scope(machine_);
  auto object = appgdi::MakePath(path);
  if (!object) return false;
  auto clip = ClipObject::Path(*object, fillMode, drawing_->surface);
  if (!clip) return false;
  drawing_->clip = std::move(clip);
  return true;
}

bool DeviceContext::FillRect(const RECTL& rect, const Brush& brush, DWORD rop) {
  if (!CanDraw()) return false;
  const BYTE rop3 = static_cast<BYTE>(rop >> 16);
  if (engine::RopUsesSource(rop3) || !appgdi::ValidBrush(brush)) return Invalid();
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  RECTL target = appgdi::OrderedRect(rect);
  if (appgdi::EmptyRect(target)) return true;
  CLIPOBJ* clip = call.Clip(target);
  if (!clip) return true;
  BRUSHOBJ* pattern = nullptr;
  if (engine::RopUsesPattern(rop3) && !(pattern = call.MakeBrush(brush))) return false;
  DrawCall::Begin();
  return DrawCall::Done(DdiBitBlt(call.Surface(), nullptr, nullptr, clip, nullptr, &target, nullptr, nullptr, pattern,
                                  pattern ? call.BrushOrigin() : nullptr, ROP4{rop3} | (ROP4{rop3} << 8)));
}

bool DeviceContext::DrawLine(POINTL from, POINTL to, const Pen& pen, ULONG rop2) {
  if (!CanDraw()) return false;
  if (!appgdi::ValidRop2(rop2) || !appgdi::InDeviceSpace({from.x, from.y, to.x, to.y})) return false;
  const auto attrs = appgdi::PenAttributes(pen);
  if (!attrs) return false;
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  const bool lineHooked = (call.Hooks() & HOOK_LINETO) != 0;
  const bool strokeHooked = (call.Hooks() & HOOK_STROKEPATH) != 0;
  if (appgdi::SimplePen(pen) && (lineHooked || !strokeHooked)) {
    // The pixels from one end to the other, both ends included.
    constexpr LONG kMax = std::numeric_limits<LONG>::max();
    const RECTL ends = appgdi::OrderedRect(RECTL{from.x, from.y, to.x, to.y});
    RECTL bounds{ends.left, ends.top, ends.right + (ends.right < kMax), ends.bottom + (ends.bottom < kMax)};
    CLIPOBJ* clip = call.Clip(bounds);
    if (!clip) return true;
    BRUSHOBJ* brush = call.Solid(pen.color);
    if (!brush) return false;
    DrawCall::Begin();
    return DrawCall::Done(
        DdiLineTo(call.Surface(), clip, brush, from.x, from.y, to.x, to.y, &bounds, DrawCall::Mix(rop2)));
  }
  PathObject path;
  if (!path.MoveTo(from.x, from.y) || !path.LineTo(to.x, to.y)) return false;
  return Stroke(call, path, pen, *attrs, rop2);
}

bool DeviceContext::Polyline(std::span<const POINTL> points, const Pen& pen, ULONG rop2) {
  if (!CanDraw()) return false;
  if (points.size() < 2) return Invalid();
  if (points.size() == 2) return DrawLine(points[0], points[1], pen, rop2);
  if (!appgdi::ValidRop2(rop2)) return false;
  const auto attrs = appgdi::PenAttributes(pen);
  if (!attrs) return false;
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  PathObject path;
  if (!path.MoveTo(points[0].x, points[0].y)) return false;
  for (std::size_t i = 1; i < points.size(); ++i)
    if (!path.LineTo(points[i].x, points[i].y)) return false;
  return Stroke(call, path, pen, *attrs, rop2);
}

bool DeviceContext::DrawPath(const DevicePath& path, const Pen* pen, const Brush* fill, FLONG fillMode, ULONG rop2) {
  if (!CanDraw()) return false;
  if ((!pen && !fill) || (fill && !appgdi::ValidBrush(*fill))) return Invalid();
  if (fill && fillMode != FP_ALTERNATEMODE && fillMode != FP_WINDINGMODE) return Invalid();
  if (!appgdi::ValidRop2(rop2)) return false;
  std::optional<LineAttributes> attrs;
  if (pen && !(attrs = appgdi::PenAttributes(*pen))) return false;
  DrawCall call(machine_, *drawing_);
  if (!call.Ready()) return false;
  auto object = appgdi::MakePath(path);
  if (!object) return false;
  if (object->Object()->cCurves == 0) return true;  // nothing to paint
  if (!fill) return Stroke(call, *object, *pen, *attrs, rop2);

  PATHOBJ* ppo = object->Object();
  CLIPOBJ* clip = call.Clip(appgdi::PathBounds(ppo, pen ? appgdi::PenReach(*pen, true) : 0));
  if (!clip) return true;
  BRUSHOBJ* fillBrush = call.MakeBrush(*fill);
  if (!fillBrush) return false;
  const MIX fillMix = DrawCall::Mix(rop2, fill);
  if (!pen) {
    DrawCall::Begin();
    return DrawCall::Done(DdiFillPath(call.Surface(), ppo, clip, fillBrush, call.BrushOrigin(), fillMix, fillMode));
  }
  BRUSHOBJ* penBrush = call.Solid(pen->color);
  if (!penBrush) return false;
  XFORMOBJ* xform = pen->geometric ? call.Identity() : nullptr;
  const FLONG hooks = call.Hooks();
  const bool both = (hooks & HOOK_STROKEANDFILLPATH) || !(hooks & (HOOK_FILLPATH | HOOK_STROKEPATH));
  if (both) {
    DrawCall::Begin();
    return DrawCall::Done(DdiStrokeAndFillPath(call.Surface(), ppo, clip, xform, penBrush, attrs->Object(), fillBrush,
                                               call.BrushOrigin(), fillMix, fillMode));
  }
  // The fill and then the stroke, each where the driver hooked it.
  DrawCall::Begin();
  if (!DrawCall::Done(DdiFillPath(call.Surface(), ppo, clip, fillBrush, call.BrushOrigin(), fillMix, fillMode)))
    return false;
  DrawCall::Begin();
  return DrawCall::Done(DdiStrokePath(call.Surface(), ppo, clip, xform, penBrush, call.BrushOrigin(), attrs->Object(),
                                      DrawCall::Mix(rop2)));
}

}  // namespace kq
