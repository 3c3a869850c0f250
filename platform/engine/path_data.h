// The figures of a path in 28.4 fixed point, and their records as PATHOBJ_bEnum hands them out.
#pragma once

#include <vector>

#include "win/winddi.h"

namespace kq::engine {

// The largest coordinate a path holds, in pixels: well inside 28.4, and inside what the rasteriser represents
// exactly once a surface's offset is taken off.
inline constexpr double kMaxPathPixels = 4194304;  // 2^22
inline constexpr FIX kMaxPathFix = static_cast<FIX>(kMaxPathPixels * 16);
// The device's coordinate space: what 28.4 fixed point holds. Text, lines and blits are placed within it.
inline constexpr LONGLONG kMaxDeviceCoordinate = (LONGLONG{1} << 27) - 1;

class PathData {
 public:
  // points[first, first + count): lines, or Bezier triples of control, control, end.
  struct Run {
    bool bezier;
    ULONG first;
    ULONG count;
  };
  struct Figure {
    ULONG start;  // the figure's first point
    std::vector<Run> runs;
    bool closed = false;
    bool resetStyle = false;  // the style of a styled line starts afresh here
  };
  struct Record {
    FLONG flags;
    ULONG first;
    ULONG count;
  };

  // FALSE for a point beyond kMaxPathFix; the path is then unchanged.
  bool MoveTo(POINTFIX p);
  bool LineTo(POINTFIX p);
  bool BezierTo(POINTFIX c1, POINTFIX c2, POINTFIX p);
  void Close();
  // A closed figure along the rectangle's edges, clockwise on the screen from its top-left corner.
  bool AddRectangle(const RECTL& rect);
  // The figures of `other`, moved by `offset`; FALSE (nothing added) when a point would leave the range.
  bool Append(const PathData& other, POINTFIX offset);

  const std::vector<POINTFIX>& Points() const { return points_; }
  const std::vector<Figure>& Figures() const { return figures_; }
  bool Empty() const { return points_.empty(); }
  // The smallest rectangle that holds every point, control points included; all zero for an empty path.
  RECTFX Bounds() const;
  // Lines and Bezier curves, as PATHOBJ::cCurves counts them.
  ULONG Curves() const { return curves_; }
  bool HasBeziers() const { return beziers_; }
  // The enumeration: each figure from a PD_BEGINSUBPATH record (its start point, then its first run) to a
  // PD_ENDSUBPATH record; a record holds one kind of segment and at most `limit` (4 or more) points.
  std::vector<Record> Records(ULONG limit) const;

 private:
  bool Open() const { return !figures_.empty() && !figures_.back().closed; }
  POINTFIX Current() const;
  void Extend(bool bezier, ULONG count);

  std::vector<POINTFIX> points_;
  std::vector<Figure> figures_;
  ULONG curves_ = 0;
  bool beziers_ = false;
};

// Pixels to 28.4, rounded to the nearest sixteenth; FALSE for a value that is not finite or out of range.
bool ToFix(double pixels, FIX* fix);

}  // namespace kq::engine
