// PATHOBJs: the path builder and the path accessors.
#include "path_object.h"

#include <algorithm>

#include "object_registration.h"

namespace kq {

namespace {
constexpr ULONG kDefaultRecordLimit = 128;
using Kind = engine::EngineState::ObjectKind;
}  // namespace

class PathObject::Impl {
 public:
  explicit Impl(PathObject* path) : registration(&po, Kind::Path, this), owner(path) {}

  void Changed() {
    po.cCurves = data.Curves();
    po.fl = data.HasBeziers() ? PO_BEZIERS : 0;
    stale = true;
  }

  BOOL Done(bool ok) {
    if (!ok) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    Changed();
    return TRUE;
  }

  PATHOBJ po{};
  engine::Registration registration;
  PathObject* owner;
  engine::PathData data;
  ULONG limit = kDefaultRecordLimit;
  std::vector<engine::PathData::Record> records;
  std::size_t cursor = 0;
  bool stale = true;
  bool driverOwned = false;  // made for a driver, which frees it with EngDeletePath
};

PathObject::PathObject() : impl_(std::make_unique<Impl>(this)) {}
PathObject::~PathObject() = default;

BOOL PathObject::MoveTo(double x, double y) {
  POINTFIX p;
  return impl_->Done(engine::ToFix(x, &p.x) && engine::ToFix(y, &p.y) && impl_->data.MoveTo(p));
}

BOOL PathObject::LineTo(double x, double y) {
  POINTFIX p;
  return impl_->Done(engine::ToFix(x, &p.x) && engine::ToFix(y, &p.y) && impl_->data.LineTo(p));
}

BOOL PathObject::BezierTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  POINTFIX a, b, c;
  const bool ok = engine::ToFix(x1, &a.x) && engine::ToFix(y1, &a.y) && engine::ToFix(x2, &b.x) &&
                  engine::ToFix(y2, &b.y) && engine::ToFix(x3, &c.x) && engine::ToFix(y3, &c.y);
  return impl_->Done(ok && impl_->data.BezierTo(a, b, c));
}

BOOL PathObject::MoveTo(POINTFIX p) { return impl_->Done(impl_->data.MoveTo(p)); }
BOOL PathObject::LineTo(POINTFIX p) { return impl_->Done(impl_->data.LineTo(p)); }
BOOL PathObject::BezierTo(POINTFIX c1, POINTFIX c2, POINTFIX end) {
  return impl_->Done(impl_->data.BezierTo(c1, c2, end));
}

void PathObject::CloseFigure() {
  impl_->data.Close();
  impl_->Changed();
}

void PathObject::SetRecordLimit(ULONG points) {
  impl_->limit = std::max<ULONG>(points, 4);
  impl_->stale = true;
}

PATHOBJ* PathObject::Object() { return &impl_->po; }

}  // namespace kq

namespace kq::engine {

namespace {

PathObject::Impl* ImplOf(PATHOBJ* ppo) { return FindObject<PathObject::Impl>(ppo, Kind::Path); }

}  // namespace

const PathData* PathOf(PATHOBJ* ppo) {
  auto* impl = ImplOf(ppo);
  return impl ? &impl->data : nullptr;
}

const PathData& DataOf(const PathObject& path) {
  static const PathData kEmpty;
  auto* impl = ImplOf(const_cast<PathObject&>(path).Object());
  return impl ? impl->data : kEmpty;  // a path of another machine reads as empty here
}

void SetData(PathObject& path, PathData data) {
  auto* impl = ImplOf(path.Object());
  impl->data = std::move(data);
  impl->Changed();
}

PATHOBJ* NewDriverPath(PathData data) {
  auto* path = new PathObject();
  SetData(*path, std::move(data));
  ImplOf(path->Object())->driverOwned = true;
  return path->Object();
}

}  // namespace kq::engine

void EngDeletePath(PATHOBJ* ppo) {
  auto* impl = kq::engine::ImplOf(ppo);
  if (!impl) return;
  if (!impl->driverOwned) {
    // The engine's own paths live as long as their call; a driver never frees them.
    SetLastError(ERROR_INVALID_PARAMETER);
    return;
  }
  delete impl->owner;
}

void PATHOBJ_vEnumStart(PATHOBJ* ppo) {
  auto* impl = kq::engine::ImplOf(ppo);
  if (!impl) return;
  impl->cursor = 0;
  impl->stale = true;
}

BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd) {
  auto* impl = kq::engine::ImplOf(ppo);
  if (ppd) *ppd = PATHDATA{};
  if (!impl || !ppd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (impl->stale) {
    impl->records = impl->data.Records(impl->limit);
    impl->stale = false;
  }
  if (impl->cursor >= impl->records.size()) return FALSE;
  const auto& record = impl->records[impl->cursor++];
  ppd->flags = record.flags;
  ppd->count = record.count;
  ppd->pptfx = const_cast<POINTFIX*>(impl->data.Points().data()) + record.first;
  return impl->cursor < impl->records.size() ? TRUE : FALSE;
}

void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx) {
  auto* impl = kq::engine::ImplOf(ppo);
  if (!prectfx) return;
  *prectfx = impl ? impl->data.Bounds() : RECTFX{};
}
