// The application side's drawing state (the device's colours and style step, the clip, the fonts) and the frame
// of one drawing call.
#include "app_drawing.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ddi_host_state.h"
#include "path_data.h"
#include "win/enginedraw.h"

namespace kq {

namespace {

// Realisations kept per device: enough for the faces and sizes of a page, few enough to stay small.
constexpr std::size_t kFontCacheSize = 16;
constexpr FLOATL kMaxPenWidth = 1 << 20;
constexpr std::size_t kMaxDashes = 16;

bool SameRequest(const FontRequest& a, const FontRequest& b) {
  return a.file == b.file && a.faceName == b.faceName && a.faceIndex == b.faceIndex && a.pointSize == b.pointSize &&
         a.dpi == b.dpi && a.weight == b.weight && a.italic == b.italic && a.vertical == b.vertical &&
         a.escapement == b.escapement;
}

}  // namespace

DeviceContext::Drawing::Drawing(DdiDevice& d) : device(d), colors(engine::ColorFormat::Rgb()) {
  const HSURF hsurf = device.Surface();
  if (!hsurf) return;
  const DWORD error = GetLastError();
  const DEVINFO& info = device.DevInfo();
  const GDIINFO& caps = device.GdiInfo();
  std::optional<PaletteInfo> palette = info.hpalDefault ? QueryPalette(info.hpalDefault) : std::nullopt;
  if (palette) SetSurfacePalette(hsurf, info.hpalDefault);
  if (caps.xStyleStep >= 1 && caps.yStyleStep >= 1 && caps.denStyleStep >= 1)
    SetSurfaceStyleStep(hsurf, caps.xStyleStep, caps.yStyleStep, caps.denStyleStep);
  if (SURFOBJ* so = EngLockSurface(hsurf)) {
    surface = RECTL{0, 0, so->sizlBitmap.cx, so->sizlBitmap.cy};
    colors = palette ? engine::ColorFormat::Of(*palette) : engine::ColorFormat::Default(so->iBitmapFormat);
    EngUnlockSurface(so);
  }
  SetLastError(error);
}

DeviceContext::Drawing::~Drawing() = default;

DeviceContext::Drawing::Font* DeviceContext::Drawing::FontFor(const FontRequest& request) {
  FontRequest wanted = request;
  wanted.dpi = static_cast<LONG>(device.GdiInfo().ulLogPixelsY);
  for (auto it = fonts.begin(); it != fonts.end(); ++it) {
    if (!SameRequest(it->request, wanted)) continue;
    fonts.splice(fonts.begin(), fonts, it);
    return &fonts.front();
  }
  auto font = RealizedFont::Realize(wanted);
  if (!font) return nullptr;
  const ULONG mode = device.GetGlyphMode(font->Object());
  if (fonts.size() == kFontCacheSize) fonts.pop_back();
  fonts.push_front(Font{wanted, std::move(font), mode});
  return &fonts.front();
}

namespace appgdi {

std::unique_ptr<PathObject> MakePath(const DevicePath& path) {
  auto object = std::make_unique<PathObject>();
  for (const DevicePath::Step& step : path.Steps()) {
    BOOL ok = TRUE;
    switch (step.kind) {
      case DevicePath::Kind::Move: ok = object->MoveTo(step.x[0], step.y[0]); break;
      case DevicePath::Kind::Line: ok = object->LineTo(step.x[0], step.y[0]); break;
      case DevicePath::Kind::Bezier:
        ok = object->BezierTo(step.x[0], step.y[0], step.x[1], step.y[1], step.x[2], step.y[2]);
        break;
      case DevicePath::Kind::Close: object->CloseFigure(); break;
      default: ok = FALSE;
    }
    if (!ok) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  return object;
}

std::optional<LineAttributes> PenAttributes(const Pen& pen) {
  const auto bad = [] {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  };
  if (pen.dash.size() > kMaxDashes) return bad();
  // A geometric pen's dash of length 0 is a dot, drawn by its caps; the pattern as a whole has a length.
  double total = 0;
  for (FLOATL d : pen.dash) {
    if (!std::isfinite(d) || d < 0 || (d == 0 && !pen.geometric) || d > kMaxPenWidth) return bad();
    total += d;
  }
  if (!pen.dash.empty() && !(total > 0)) return bad();
  if (!pen.geometric) {
    std::vector<LONG> style;
    for (FLOATL d : pen.dash) style.push_back(std::max<LONG>(1, static_cast<LONG>(std::lround(d))));
    return LineAttributes::Cosmetic(1, std::move(style));
  }
  if (!std::isfinite(pen.width) || pen.width < 0 || pen.width > kMaxPenWidth) return bad();
  if (pen.join > JOIN_MITER || pen.endCap > ENDCAP_BUTT) return bad();
  if (!std::isfinite(pen.miterLimit) || pen.miterLimit < 1 || pen.miterLimit > kMaxPenWidth) return bad();
  if (!std::isfinite(pen.dashOffset)) return bad();
  return LineAttributes::Geometric(pen.width, pen.join, pen.endCap, pen.miterLimit, pen.dash, 0, pen.dashOffset);
}

LONG PenReach(const Pen& pen, bool joins) {
  if (!pen.geometric) return 1;
  // Half the width, as far again as a miter or a square cap's corner can reach.
  const double half = pen.width / 2;
  const double factor =
      joins && pen.join == JOIN_MITER ? std::max<double>(pen.miterLimit, std::sqrt(2.0)) : std::sqrt(2.0);
  return static_cast<LONG>(std::ceil(half * factor)) + 1;
}

RECTL PathBounds(PATHOBJ* ppo, LONG reach) {
  RECTFX b{};
  PATHOBJ_vGetBounds(ppo, &b);
  const auto lo = [reach](FIX v) { return static_cast<LONG>(std::floor(v / 16.0)) - reach; };
  const auto hi = [reach](FIX v) { return static_cast<LONG>(std::ceil(v / 16.0)) + 1 + reach; };
  return RECTL{lo(b.xLeft), lo(b.yTop), hi(b.xRight), hi(b.yBottom)};
}

bool InDeviceSpace(std::initializer_list<LONG> values) {
  for (LONG v : values) {
    if (v < -engine::kMaxDeviceCoordinate || v > engine::kMaxDeviceCoordinate) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
  }
  return true;
}

bool ValidRop2(ULONG rop2) {
  if (rop2 >= R2_BLACK && rop2 <= R2_WHITE) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

bool ValidBrush(const Brush& brush) {
  if (brush.hatch <= HS_DDI_MAX) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

RECTL OrderedRect(const RECTL& r) {
  return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

bool EmptyRect(const RECTL& r) { return r.left >= r.right || r.top >= r.bottom; }

RECTL Grow(const RECTL& r, LONG by) {
  const auto add = [](LONG v, LONG d) {
    const LONGLONG s = LONGLONG{v} + d;
    return static_cast<LONG>(
        std::clamp<LONGLONG>(s, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
  };
  return RECTL{add(r.left, -by), add(r.top, -by), add(r.right, by), add(r.bottom, by)};
}

namespace {

bool Holds(const RECTL& outer, const RECTL& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

bool Meets(const RECTL& a, const RECTL& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

}  // namespace

DrawCall::DrawCall(const std::shared_ptr<Machine>& machine, DeviceContext::Drawing& drawing)
    : scope_(machine), drawing_(drawing) {
  hooks_ = drawing.device.Hooks();
  if (drawing.device.Surface()) so_ = EngLockSurface(drawing.device.Surface());
  if (!so_) SetLastError(ERROR_INVALID_HANDLE);
}

DrawCall::~DrawCall() {
  // The objects go before the surface they were made for, on the bound machine.
  const DWORD error = GetLastError();
  brushes_.clear();
  trivial_.reset();
  identity_.reset();
  xlate_.reset();
  if (so_) EngUnlockSurface(so_);
  SetLastError(error);
}

CLIPOBJ* DrawCall::Clip(const RECTL& bounds) {
  const RECTL area = OrderedRect(bounds);
  CLIPOBJ* selected = drawing_.clip ? drawing_.clip->Object() : nullptr;
  const RECTL region = selected ? selected->rclBounds : drawing_.surface;
  if (!Meets(area, region)) return nullptr;
  const bool simple = !selected || selected->iDComplexity != DC_COMPLEX;
  if (simple && Holds(region, area)) {
    trivial_ = ClipObject::Trivial(area);
    return trivial_->Object();
  }
  if (selected) return selected;
  if (!drawing_.edge) drawing_.edge = ClipObject::Rectangle(drawing_.surface);
  return drawing_.edge->Object();
}

BRUSHOBJ* DrawCall::MakeBrush(const Brush& brush) {
  const ULONG color = drawing_.colors.FromRgb(brush.color & 0xFFFFFF);
  std::unique_ptr<BrushObject> object =
      brush.hatch < HS_DDI_MAX
          ? BrushObject::Hatch(brush.hatch, color,
                               drawing_.colors.FromRgb(brush.hatchBackground.value_or(0) & 0xFFFFFF))
          : BrushObject::Solid(color);
  if (!object) return nullptr;
  // The driver realises the brush when it asks for its realisation; a hatch comes with the device's pattern.
  const HDEV hdev = drawing_.device.Hdev();
  HSURF pattern = brush.hatch < HS_DDI_MAX ? drawing_.device.Patterns()[brush.hatch] : nullptr;
  object->SetRealizer(
      [hdev, pattern](BRUSHOBJ* pbo, SURFOBJ* target, SURFOBJ* own, SURFOBJ* mask, XLATEOBJ* pxlo, ULONG hatch) {
        auto realize = reinterpret_cast<PFN_DrvRealizeBrush>(
            reinterpret_cast<void (*)()>(DriverFunction(hdev, INDEX_DrvRealizeBrush)));
        if (!realize) return FALSE;
        SURFOBJ* device = pattern ? EngLockSurface(pattern) : nullptr;
        const BOOL ok = ddihost::CallEntry(FALSE, realize, pbo, target, device ? device : own, mask, pxlo, hatch);
        if (device) EngUnlockSurface(device);
        return ok;
      },
      so_);
  brushes_.push_back(std::move(object));
  return brushes_.back()->Object();
}

XFORMOBJ* DrawCall::Identity() {
  if (!identity_) identity_ = std::make_unique<TransformObject>(XFORML{1, 0, 0, 1, 0, 0});
  return identity_->Object();
}

XLATEOBJ* DrawCall::Xlate(const PaletteInfo& source) {
  xlate_ = XlateObject::Between(source, drawing_.colors.Palette());
  return xlate_->Object();
}

MIX DrawCall::Mix(ULONG rop2, const Brush* brush) {
  const bool transparent = brush && brush->hatch < HS_DDI_MAX && !brush->hatchBackground;
  return rop2 | ((transparent ? R2_NOP : rop2) << 8);
}

bool DrawCall::Done(BOOL result) {
  if (result) return true;
  ddihost::NoteEntryFailure();
  return false;
}

void DrawCall::Begin() { SetLastError(ERROR_SUCCESS); }

}  // namespace appgdi
}  // namespace kq
