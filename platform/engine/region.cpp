#include "region.h"

#include <algorithm>
#include <unordered_map>

#include "raster.h"

namespace kq::engine {

namespace {

using Span = std::pair<LONG, LONG>;

struct Band {
  LONG top, bottom;
  std::vector<Span> spans;
};

bool Covers(const std::vector<Span>& spans, LONG x) {
  auto it = std::upper_bound(spans.begin(), spans.end(), x, [](LONG v, const Span& s) { return v < s.second; });
  return it != spans.end() && it->first <= x;
}

struct Edge {
  POINTL from, to;
};

// The horizontal edges at height y between the coverage above and below: left to right under a top edge,
// right to left over a bottom edge, so the inside lies to the right of every edge.
void HorizontalEdges(const std::vector<Span>& above, const std::vector<Span>& below, LONG y,
                     std::vector<Edge>& edges) {
  std::vector<LONG> xs;
  for (const auto* spans : {&above, &below})
    for (const Span& s : *spans) xs.insert(xs.end(), {s.first, s.second});
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  int kind = 0;  // 1: top edge, -1: bottom edge
  LONG from = 0;
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const bool a = i + 1 < xs.size() && Covers(above, xs[i]);
    const bool b = i + 1 < xs.size() && Covers(below, xs[i]);
    const int now = a == b ? 0 : (b ? 1 : -1);
    if (now == kind) continue;
    if (kind == 1) edges.push_back({{from, y}, {xs[i], y}});
    if (kind == -1) edges.push_back({{xs[i], y}, {from, y}});
    kind = now;
    from = xs[i];
  }
}

ULONGLONG Key(POINTL p) { return (ULONGLONG(ULONG(p.x)) << 32) | ULONG(p.y); }

}  // namespace

bool RectEmpty(const RECTL& r) { return r.left >= r.right || r.top >= r.bottom; }

RECTL RectIntersect(const RECTL& a, const RECTL& b) {
  RECTL r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return RectEmpty(r) ? RECTL{0, 0, 0, 0} : r;
}

RECTL Ordered(const RECTL& r, bool* flipX, bool* flipY) {
  if (flipX) *flipX = r.right < r.left;
  if (flipY) *flipY = r.bottom < r.top;
  return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

Region::Region() { pixman_region32_init(&region_); }

Region::Region(const RECTL& r) {
  if (RectEmpty(r))
    pixman_region32_init(&region_);
  else
    pixman_region32_init_rect(&region_, r.left, r.top, static_cast<unsigned>(LONGLONG{r.right} - r.left),
                              static_cast<unsigned>(LONGLONG{r.bottom} - r.top));
}

Region::Region(const Region& other) {
  pixman_region32_init(&region_);
  pixman_region32_copy(&region_, const_cast<pixman_region32_t*>(&other.region_));
}

Region& Region::operator=(const Region& other) {
  if (this != &other) pixman_region32_copy(&region_, const_cast<pixman_region32_t*>(&other.region_));
  return *this;
}

Region::~Region() { pixman_region32_fini(&region_); }

Region Region::FromMask(const Mask& mask) {
  const RECTL& area = mask.Area();
  std::vector<pixman_box32_t> boxes;
  std::vector<Span> band, row;
  LONG bandTop = area.top;
  const auto flush = [&](LONG bottom) {
    for (const Span& s : band) boxes.push_back({s.first, bandTop, s.second, bottom});
  };
  for (LONG y = area.top; y < area.bottom; ++y) {
    row.clear();
    mask.Runs(y, area.left, area.right, [&](LONG x0, LONG x1) { row.emplace_back(x0, x1); });
    if (row != band) {
      flush(y);
      band.swap(row);
      bandTop = y;
    }
  }
  flush(area.bottom);
  Region region;
  if (!boxes.empty()) {
    pixman_region32_fini(&region.region_);
    pixman_region32_init_rects(&region.region_, boxes.data(), static_cast<int>(boxes.size()));
  }
  return region;
}

void Region::Intersect(const Region& other) {
  pixman_region32_intersect(&region_, &region_, const_cast<pixman_region32_t*>(&other.region_));
}

void Region::Intersect(const RECTL& rect) { Intersect(Region(rect)); }

void Region::Unite(const Region& other) {
  pixman_region32_union(&region_, &region_, const_cast<pixman_region32_t*>(&other.region_));
}

bool Region::Empty() const { return !pixman_region32_not_empty(const_cast<pixman_region32_t*>(&region_)); }

RECTL Region::Extents() const {
  if (Empty()) return RECTL{0, 0, 0, 0};
  const pixman_box32_t* e = pixman_region32_extents(const_cast<pixman_region32_t*>(&region_));
  return RECTL{e->x1, e->y1, e->x2, e->y2};
}

std::vector<RECTL> Region::Rects() const {
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(&region_), &n);
  std::vector<RECTL> rects;
  rects.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) rects.push_back({boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
  return rects;
}

std::size_t Region::Count() const {
  return static_cast<std::size_t>(pixman_region32_n_rects(const_cast<pixman_region32_t*>(&region_)));
}

bool Region::Contains(LONG x, LONG y) const {
  return pixman_region32_contains_point(const_cast<pixman_region32_t*>(&region_), x, y, nullptr);
}

PathData Region::Outline() const {
  std::vector<Band> bands;
  for (const RECTL& r : Rects()) {
    if (bands.empty() || bands.back().top != r.top) bands.push_back({r.top, r.bottom, {}});
    bands.back().spans.emplace_back(r.left, r.right);
  }
  std::vector<Edge> edges;
  const std::vector<Span> none;
  for (std::size_t i = 0; i < bands.size(); ++i) {
    const Band& band = bands[i];
    const bool touchesAbove = i > 0 && bands[i - 1].bottom == band.top;
    HorizontalEdges(touchesAbove ? bands[i - 1].spans : none, band.spans, band.top, edges);
    if (i + 1 == bands.size() || bands[i + 1].top != band.bottom) HorizontalEdges(band.spans, none, band.bottom, edges);
    for (const Span& s : band.spans) {
      edges.push_back({{s.first, band.bottom}, {s.first, band.top}});
      edges.push_back({{s.second, band.top}, {s.second, band.bottom}});
    }
  }

  std::unordered_map<ULONGLONG, std::vector<std::size_t>> leaving;
  for (std::size_t i = 0; i < edges.size(); ++i) leaving[Key(edges[i].from)].push_back(i);
  std::vector<bool> used(edges.size(), false);
  PathData path;
  std::vector<POINTL> loop;
  for (std::size_t first = 0; first < edges.size(); ++first) {
    if (used[first]) continue;
    loop.clear();
    std::size_t e = first;
    // Each corner has as many edges leaving as arriving, so the walk comes back to where it began.
    for (;;) {
      used[e] = true;
      const POINTL p = edges[e].from;
      // Points along one straight edge collapse into its ends.
      if (loop.size() >= 2) {
        const POINTL a = loop[loop.size() - 2], b = loop.back();
        if ((a.x == b.x && b.x == p.x) || (a.y == b.y && b.y == p.y)) loop.pop_back();
      }
      loop.push_back(p);
      auto& next = leaving[Key(edges[e].to)];
      while (!next.empty() && used[next.back()]) next.pop_back();
      if (next.empty()) break;
      e = next.back();
      next.pop_back();
    }
    const auto straight = [](POINTL a, POINTL b, POINTL c) {
      return (a.x == b.x && b.x == c.x) || (a.y == b.y && b.y == c.y);
    };
    if (loop.size() > 4 && straight(loop[loop.size() - 2], loop.back(), loop.front())) loop.pop_back();
    if (loop.size() > 4 && straight(loop.back(), loop.front(), loop[1])) loop.erase(loop.begin());
    path.MoveTo({loop[0].x * 16, loop[0].y * 16});
    for (std::size_t i = 1; i < loop.size(); ++i) path.LineTo({loop[i].x * 16, loop[i].y * 16});
    path.Close();
  }
  return path;
}

}  // namespace kq::engine
