#include "glyph_spans.h"

#include "clip_object.h"
#include "glyph_outline.h"
#include "path_object.h"
#include "raster.h"

namespace kq::engine {

std::unique_ptr<GlyphSpans> GlyphSpans::Of(const PathData& outline) {
  auto spans = std::unique_ptr<GlyphSpans>(new GlyphSpans);
  if (outline.Empty()) {
    spans->rows_.push_back(0);
    return spans;
  }
  spans->bounds_ = outline.Bounds();
  spans->empty_ = false;
  const RECTL box = PixelBounds(spans->bounds_);
  if (box.right - box.left > kMaxSide || box.bottom - box.top > kMaxSide) return nullptr;
  auto mask = Mask::Make(box);
  if (!mask) return nullptr;
  FillPath(*mask, outline, FP_WINDINGMODE);
  spans->box_ = box;
  spans->rows_.reserve(static_cast<std::size_t>(box.bottom - box.top) + 1);
  for (LONG y = box.top; y < box.bottom; ++y) {
    spans->rows_.push_back(static_cast<std::uint32_t>(spans->runs_.size()));
    mask->Runs(y, box.left, box.right, [&](LONG x0, LONG x1) {
      spans->runs_.push_back(static_cast<std::uint16_t>(x0 - box.left));
      spans->runs_.push_back(static_cast<std::uint16_t>(x1 - box.left));
    });
  }
  spans->rows_.push_back(static_cast<std::uint32_t>(spans->runs_.size()));
  spans->runs_.shrink_to_fit();
  return spans;
}

const GlyphSpans* SpansOf(GlyphEntry& entry) {
  if (!entry.rasterised) {
    entry.spans = GlyphSpans::Of(DataOf(entry.path));
    entry.rasterised = true;
  }
  return entry.spans.get();
}

}  // namespace kq::engine
