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

void PaintBrush(const Target& target, const Region& region, const Mask* mask, const BrushSampler* brush, BYTE rop,
                BYTE background) {
  const Pixels& px = target.pixels;
  const ULONG valueMask = px.ValueMask();
  const bool hatch = brush && !brush->Solid() && rop != background;
  const bool constant = (!brush || brush->Solid()) && !RopUsesDestination(rop) && !hatch;
  const ULONG value = Rop3(rop, brush ? brush->Color() : 0, 0, 0) & valueMask;
  for (const RECTL& r : region.Rects()) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      const BYTE* m = mask ? mask->Row(y) : nullptr;
      if (constant && !m) {
        px.Fill(y, r.left, r.right, value);
        continue;
      }
      for (LONG x = r.left; x < r.right; ++x) {
        if (m && !m[x]) continue;
        if (constant) {
          px.Set(x, y, value);
          continue;
        }
        const BYTE op = hatch && brush->Background(x, y) ? background : rop;
        const ULONG p = brush ? brush->At(x, y) : 0;
        px.Set(x, y, Rop3(op, p, 0, px.Get(x, y)) & valueMask);
      }
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
