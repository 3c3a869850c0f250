// Drawing that mixes colours, composited with pixman: averaged stretching and alpha blending.
#pragma once

#include "draw_target.h"
#include "xlate_object.h"

namespace kq::engine {

// The source rectangle `from` onto `to` (either may be inverted: mirrored) within `region`, each target pixel
// the average of the source pixels under it (or their interpolation when enlarging), in the target's colours.
bool Resample(const Target& target, const Region& region, const Pixels& source, const Translator& xlate,
              const RECTL& to, const RECTL& from);

}  // namespace kq::engine
