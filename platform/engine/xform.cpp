#include "engine_state.h"
#include "win/enginepath.h"
#include "xform_object.h"

namespace kq::engine {

XformObject::XformObject(const std::shared_ptr<Machine>& machine, const XFORML& matrix)
    : machine_(machine), matrix_(matrix) {
  machine->Service<EngineState>().RegisterObject(&object_, EngineState::ObjectKind::Xform, this);
}

XformObject::~XformObject() {
  if (auto machine = machine_.lock()) machine->Service<EngineState>().UnregisterObject(&object_);
}

}  // namespace kq::engine

ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform) {
  using kq::engine::EngineState;
  auto* xform = static_cast<kq::engine::XformObject*>(
      pxo ? EngineState::Current().FindObject(pxo, EngineState::ObjectKind::Xform) : nullptr);
  if (!xform) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return DDI_ERROR;
  }
  const XFORML& m = xform->Matrix();
  if (pxform) *pxform = m;
  if (m.eM12 != 0 || m.eM21 != 0) return GX_GENERAL;
  if (m.eM11 != 1 || m.eM22 != 1) return GX_SCALE;
  return m.eDx != 0 || m.eDy != 0 ? GX_OFFSET : GX_IDENTITY;
}

namespace kq {

class TransformObject::Impl {
 public:
  explicit Impl(const XFORML& matrix) : xform(CurrentMachineShared(), matrix) {}
  engine::XformObject xform;
};

TransformObject::TransformObject(const XFORML& matrix) : impl_(std::make_unique<Impl>(matrix)) {}
TransformObject::~TransformObject() = default;
XFORMOBJ* TransformObject::Object() { return impl_->xform.Object(); }

}  // namespace kq
