#include "draw_target.h"

#include <cmath>

#include "engine_state.h"

namespace kq::engine {

std::optional<Target> TargetOf(SURFOBJ* pso) {
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  const Surface* surface = pso ? state.FindSurface(pso) : nullptr;
  auto pixels = surface ? Pixels::Of(pso) : std::nullopt;
  if (!pixels) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  Target target{pso, *pixels,
                surface->palette ? ColorFormat::Of(*surface->palette) : ColorFormat::Default(pso->iBitmapFormat),
                {surface->styleStep[0], surface->styleStep[1], surface->styleStep[2]}};
  return target;
}

std::optional<Pixels> SourceOf(SURFOBJ* pso) {
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  auto pixels = pso && state.FindSurface(pso) ? Pixels::Of(pso) : std::nullopt;
  if (!pixels) SetLastError(ERROR_INVALID_PARAMETER);
  return pixels;
}

SpanPainter::SpanPainter(const Target& target, const BrushSampler* brush, BYTE rop, BYTE background)
    : px_(target.pixels),
      brush_(brush),
      rop_(rop),
      background_(background),
      valueMask_(target.pixels.ValueMask()),
      hatch_(brush && !brush->Solid() && rop != background),
      constant_((!brush || brush->Solid()) && !RopUsesDestination(rop) && !hatch_),
      value_(Rop3(rop, brush ? brush->Color() : 0, 0, 0) & valueMask_) {
  const ULONG bits = px_.Bits();
  if (!constant_ || bits % 8 != 0) return;
  pixelBytes_ = bits / 8;
  for (std::size_t i = 0; i < sizeof pattern_; ++i) pattern_[i] = static_cast<BYTE>(value_ >> (8 * (i % pixelBytes_)));
}

void SpanPainter::PaintPixels(LONG y, LONG x0, LONG x1) const {
  if (constant_) {
    px_.Fill(y, x0, x1, value_);
    return;
  }
  if (!brush_ || brush_->Solid()) {
    const ULONG p = brush_ ? brush_->Color() : 0;
    for (LONG x = x0; x < x1; ++x) px_.Set(x, y, Rop3(rop_, p, 0, px_.Get(x, y)) & valueMask_);
    return;
  }
  for (LONG x = x0; x < x1; ++x) {
    const BYTE op = hatch_ && brush_->Background(x, y) ? background_ : rop_;
    px_.Set(x, y, Rop3(op, brush_->At(x, y), 0, px_.Get(x, y)) & valueMask_);
  }
}

void PaintBrush(const Target& target, const Region& region, const Mask* mask, const BrushSampler* brush, BYTE rop,
                BYTE background) {
  const SpanPainter painter(target, brush, rop, background);
  for (const RECTL& r : region.Rects()) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      if (mask)
        mask->Runs(y, r.left, r.right, [&](LONG x0, LONG x1) { painter.Paint(y, x0, x1); });
      else
        painter.Paint(y, r.left, r.right);
    }
  }
}

bool MixRops(MIX mix, BYTE* foreground, BYTE* background) {
  if (!Rop3OfRop2(mix & 0xFF, foreground)) return false;
  if (!Rop3OfRop2((mix >> 8) & 0xFF, background)) *background = *foreground;
  return true;
}

bool BrushFor(BRUSHOBJ* pbo, const POINTL* origin, BYTE foreground, BYTE background,
              std::optional<BrushSampler>* brush) {
  if (!RopUsesPattern(foreground) && !RopUsesPattern(background)) {
    brush->reset();  // the brush is not read, so any will do
    return true;
  }
  *brush = BrushSampler::Of(pbo, origin);
  return brush->has_value();
}

RECTL RecordBounds(const RECTFX& b) {
  const auto lo = [](FIX v) { return static_cast<LONG>(std::floor(v / 16.0)); };
  const auto hi = [](FIX v) { return static_cast<LONG>(std::ceil(v / 16.0)); };
  return RECTL{lo(b.xLeft), lo(b.yTop), hi(b.xRight), hi(b.yBottom)};
}

}  // namespace kq::engine
