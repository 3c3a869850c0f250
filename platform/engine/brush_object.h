// The engine's side of its BRUSHOBJs: the pattern value of a brush at a device pixel.
#pragma once

#include <optional>
#include <vector>

#include "win/enginebrush.h"

namespace kq::engine {

class BrushSampler {
 public:
  // A brush the engine did not make is usable when it is solid; anything else fails with ERROR_INVALID_PARAMETER.
  // `origin` (null: 0, 0) is where the pattern's top-left pixel lies.
  static std::optional<BrushSampler> Of(BRUSHOBJ* pbo, const POINTL* origin);

  bool Solid() const { return !values_; }
  ULONG Color() const { return color_; }
  ULONG At(LONG x, LONG y) const {
    return values_ ? (*values_)[Index(x, y)] : color_;
  }
  // Between the lines of a hatch.
  bool Background(LONG x, LONG y) const { return lines_ && !(*lines_)[Index(x, y)]; }

 private:
  std::size_t Index(LONG x, LONG y) const {
    const LONGLONG px = ((LONGLONG{x} - origin_.x) % width_ + width_) % width_;
    const LONGLONG py = ((LONGLONG{y} - origin_.y) % height_ + height_) % height_;
    return static_cast<std::size_t>(py * width_ + px);
  }
  ULONG color_ = 0;
  const std::vector<ULONG>* values_ = nullptr;
  const std::vector<BYTE>* lines_ = nullptr;
  LONG width_ = 1, height_ = 1;
  POINTL origin_{0, 0};
};

}  // namespace kq::engine
