// CLIPOBJs: rectangle and path clips, their regions and outlines.
#include "clip_object.h"

#include <algorithm>
#include <cmath>

#include "object_registration.h"
#include "path_object.h"
#include "raster.h"
#include "win/enginepath.h"

namespace kq {

namespace {
using Kind = engine::EngineState::ObjectKind;
constexpr ULONGLONG kMaxClipPixels = 1ull << 31;
}  // namespace

class ClipObject::Impl {
 public:
  Impl() : registration(&co, Kind::Clip, this) {
    auto& state = engine::EngineState::Current();
    std::lock_guard lock(state.Mutex());
    co.iUniq = state.NextClipUniq();
  }

  // Fills in the public fields from the region.
  void Describe() {
    co.iMode = TC_RECTANGLES;
    co.rclBounds = region.Extents();
    const std::size_t n = region.Count();
    co.iDComplexity = n <= 1 ? DC_RECT : DC_COMPLEX;
    co.iFComplexity = n <= 1 ? FC_RECT : n <= 4 ? FC_RECT4 : FC_COMPLEX;
  }

  CLIPOBJ co{};
  engine::Registration registration;
  bool trivial = false;
  engine::Region region;
  // A path clip hands out its own path when the even-odd rule gives its region too.
  std::optional<engine::PathData> path;
};

ClipObject::ClipObject(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ClipObject::~ClipObject() = default;

std::unique_ptr<ClipObject> ClipObject::Trivial(const RECTL& bounds) {
  auto impl = std::make_unique<Impl>();
  impl->trivial = true;
  impl->co.rclBounds = bounds;
  impl->co.iDComplexity = DC_TRIVIAL;
  impl->co.iFComplexity = FC_RECT;
  impl->co.iMode = TC_RECTANGLES;
  return std::unique_ptr<ClipObject>(new ClipObject(std::move(impl)));
}

std::unique_ptr<ClipObject> ClipObject::Rectangle(const RECTL& rect) {
  auto impl = std::make_unique<Impl>();
  impl->region = engine::Region(rect);
  impl->Describe();
  return std::unique_ptr<ClipObject>(new ClipObject(std::move(impl)));
}

std::unique_ptr<ClipObject> ClipObject::Path(const PathObject& path, FLONG fillMode, const RECTL& limit) {
  if (fillMode != FP_ALTERNATEMODE && fillMode != FP_WINDINGMODE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const engine::PathData& data = engine::DataOf(path);
  auto impl = std::make_unique<Impl>();
  const RECTL area = engine::RectIntersect(limit, engine::PixelBounds(data.Bounds()));
  // Rasterising costs a pass over every pixel of the area; far larger areas than any page are refused.
  if (ULONGLONG(LONGLONG{area.right} - area.left) * ULONGLONG(LONGLONG{area.bottom} - area.top) > kMaxClipPixels) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bool evenOddToo = fillMode == FP_ALTERNATEMODE;
  bool compared = evenOddToo;
  const bool ok = data.Empty() || engine::RectEmpty(area) || engine::ForEachTile(area, [&](const RECTL& tile) {
    auto mask = engine::Mask::Make(tile);
    if (!mask) return false;
    engine::FillPath(*mask, data, fillMode);
    impl->region.Unite(engine::Region::FromMask(*mask));
    if (!compared) {
      auto other = engine::Mask::Make(tile);
      if (!other) return false;
      engine::FillPath(*other, data, FP_ALTERNATEMODE);
      evenOddToo = mask->SameAs(*other);
      compared = !evenOddToo;  // one tile that differs settles it
    }
    return true;
  });
  if (!ok) return nullptr;
  if (evenOddToo && !impl->region.Empty()) impl->path = data;
  impl->Describe();
  return std::unique_ptr<ClipObject>(new ClipObject(std::move(impl)));
}

CLIPOBJ* ClipObject::Object() { return &impl_->co; }

bool ClipObject::Visible(LONG x, LONG y) const {
  if (impl_->trivial) return true;
  return impl_->region.Contains(x, y);
}

}  // namespace kq

namespace kq::engine {

RECTL PixelBounds(const RECTFX& b, double reach) {
  const auto lo = [&](FIX v) { return static_cast<LONG>(std::floor(v / 16.0 - reach)) - 1; };
  const auto hi = [&](FIX v) { return static_cast<LONG>(std::ceil(v / 16.0 + reach)) + 1; };
  return RECTL{lo(b.xLeft), lo(b.yTop), hi(b.xRight), hi(b.yBottom)};
}

std::optional<Region> VisibleRegion(CLIPOBJ* pco, const RECTL& area) {
  Region region(area);
  if (!pco) return region;
  auto* impl = static_cast<ClipObject::Impl*>(EngineState::Current().FindObject(pco, EngineState::ObjectKind::Clip));
  if (impl) {
    if (!impl->trivial) region.Intersect(impl->region);
    return region;
  }
  switch (pco->iDComplexity) {
    case DC_TRIVIAL: return region;
    case DC_RECT: region.Intersect(pco->rclBounds); return region;
    default: SetLastError(ERROR_INVALID_PARAMETER); return std::nullopt;
  }
}

}  // namespace kq::engine

PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco) {
  auto* impl = kq::engine::FindObject<kq::ClipObject::Impl>(pco, kq::engine::EngineState::ObjectKind::Clip);
  if (!impl) return nullptr;
  kq::engine::PathData outline;
  if (impl->trivial) {
    if (!kq::engine::RectEmpty(impl->co.rclBounds)) outline.AddRectangle(impl->co.rclBounds);
  } else if (impl->path) {
    outline = *impl->path;
  } else if (impl->region.Count() == 1) {
    outline.AddRectangle(impl->region.Extents());
  } else {
    outline = impl->region.Outline();
  }
  return kq::engine::NewDriverPath(std::move(outline));
}
