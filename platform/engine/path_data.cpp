#include "path_data.h"

#include <algorithm>
#include <cmath>

namespace kq::engine {

namespace {

bool InRange(POINTFIX p) {
  return p.x >= -kMaxPathFix && p.x <= kMaxPathFix && p.y >= -kMaxPathFix && p.y <= kMaxPathFix;
}

}  // namespace

bool ToFix(double pixels, FIX* fix) {
  if (!std::isfinite(pixels) || std::fabs(pixels) > kMaxPathPixels) return false;
  *fix = static_cast<FIX>(std::lround(pixels * 16));
  return true;
}

POINTFIX PathData::Current() const {
  if (figures_.empty()) return POINTFIX{0, 0};
  const Figure& last = figures_.back();
  // After a close the pen is back at the figure's start.
  return last.closed ? points_[last.start] : points_.back();
}

bool PathData::MoveTo(POINTFIX p) {
  if (!InRange(p)) return false;
  // A figure that never got a segment gives way to the next one.
  if (!figures_.empty() && figures_.back().runs.empty()) {
    points_.resize(figures_.back().start);
    figures_.pop_back();
  }
  Figure figure;
  figure.start = static_cast<ULONG>(points_.size());
  // The first figure keeps the style state the line attributes give; later ones start the style again.
  figure.resetStyle = !figures_.empty();
  figures_.push_back(std::move(figure));
  points_.push_back(p);
  return true;
}

void PathData::Extend(bool bezier, ULONG count) {
  if (!Open()) {
    // A segment without a figure starts one at the pen.
    const POINTFIX start = Current();
    Figure figure;
    figure.start = static_cast<ULONG>(points_.size());
    figures_.push_back(std::move(figure));
    points_.push_back(start);
  }
  auto& runs = figures_.back().runs;
  if (!runs.empty() && runs.back().bezier == bezier)
    runs.back().count += count;
  else
    runs.push_back(Run{bezier, static_cast<ULONG>(points_.size()), count});
  ++curves_;
  beziers_ = beziers_ || bezier;
}

bool PathData::LineTo(POINTFIX p) {
  if (!InRange(p)) return false;
  Extend(false, 1);
  points_.push_back(p);
  return true;
}

bool PathData::BezierTo(POINTFIX c1, POINTFIX c2, POINTFIX p) {
  if (!InRange(c1) || !InRange(c2) || !InRange(p)) return false;
  Extend(true, 3);
  points_.insert(points_.end(), {c1, c2, p});
  return true;
}

void PathData::Close() {
  if (Open()) figures_.back().closed = true;
}

bool PathData::AddRectangle(const RECTL& r) {
  const LONGLONG limit = kMaxPathFix / 16;
  for (LONG v : {r.left, r.top, r.right, r.bottom})
    if (v < -limit || v > limit) return false;
  const auto fix = [](LONG v) { return static_cast<FIX>(v * 16); };
  MoveTo({fix(r.left), fix(r.top)});
  LineTo({fix(r.right), fix(r.top)});
  LineTo({fix(r.right), fix(r.bottom)});
  LineTo({fix(r.left), fix(r.bottom)});
  Close();
  return true;
}

bool PathData::Append(const PathData& other, POINTFIX offset) {
  const RECTFX b = other.Bounds();
  const auto fits = [](LONGLONG v) { return v >= -kMaxPathFix && v <= kMaxPathFix; };
  if (other.Empty()) return true;
  if (!fits(LONGLONG{b.xLeft} + offset.x) || !fits(LONGLONG{b.xRight} + offset.x) ||
      !fits(LONGLONG{b.yTop} + offset.y) || !fits(LONGLONG{b.yBottom} + offset.y))
    return false;
  // A trailing figure without segments gives way, as it would to a MoveTo.
  if (!figures_.empty() && figures_.back().runs.empty()) {
    points_.resize(figures_.back().start);
    figures_.pop_back();
  }
  const auto shift = static_cast<ULONG>(points_.size());
  for (POINTFIX p : other.points_) points_.push_back({p.x + offset.x, p.y + offset.y});
  for (Figure figure : other.figures_) {
    figure.start += shift;
    for (Run& run : figure.runs) run.first += shift;
    figure.resetStyle = true;
    figures_.push_back(std::move(figure));
  }
  curves_ += other.curves_;
  beziers_ = beziers_ || other.beziers_;
  return true;
}

RECTFX PathData::Bounds() const {
  if (points_.empty()) return RECTFX{0, 0, 0, 0};
  RECTFX b{points_[0].x, points_[0].y, points_[0].x, points_[0].y};
  for (POINTFIX p : points_) {
    b.xLeft = std::min(b.xLeft, p.x);
    b.xRight = std::max(b.xRight, p.x);
    b.yTop = std::min(b.yTop, p.y);
    b.yBottom = std::max(b.yBottom, p.y);
  }
  return b;
}

std::vector<PathData::Record> PathData::Records(ULONG limit) const {
  limit = std::max<ULONG>(limit, 4);
  std::vector<Record> records;
  for (const Figure& figure : figures_) {
    const FLONG begin = PD_BEGINSUBPATH | (figure.resetStyle ? PD_RESETSTYLE : 0);
    const FLONG end = PD_ENDSUBPATH | (figure.closed ? PD_CLOSEFIGURE : 0);
    if (figure.runs.empty()) {
      records.push_back({begin | end, figure.start, 1});
      continue;
    }
    bool first = true;
    for (std::size_t r = 0; r < figure.runs.size(); ++r) {
      const Run& run = figure.runs[r];
      ULONG at = run.first;
      ULONG left = run.count;
      while (left > 0) {
        ULONG room = limit - (first ? 1 : 0);
        if (run.bezier) room -= room % 3;  // a record never splits a curve
        const ULONG take = std::min(left, room);
        Record record{(first ? begin : 0) | (run.bezier ? PD_BEZIERS : 0), first ? figure.start : at,
                      take + (first ? 1 : 0)};
        at += take;
        left -= take;
        first = false;
        if (left == 0 && r + 1 == figure.runs.size()) record.flags |= end;
        records.push_back(record);
      }
    }
  }
  return records;
}

}  // namespace kq::engine
