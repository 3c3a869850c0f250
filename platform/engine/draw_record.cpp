#include "draw_record.h"

#include "engine_state.h"

namespace kq::engine {

void DrawRecord::Add(EngineCall call) {
  std::lock_guard lock(mutex_);
  if (calls_.size() == kEngineCallRecordLimit) calls_.pop_front();
  calls_.push_back(std::move(call));
}

std::vector<EngineCall> DrawRecord::Calls() {
  std::lock_guard lock(mutex_);
  return {calls_.begin(), calls_.end()};
}

void DrawRecord::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

RecordCall::~RecordCall() {
  // The last error belongs to the caller; recording must not disturb it.
  const DWORD error = GetLastError();
  CurrentMachine().Service<DrawRecord>().Add({name_, bounds_, result_});
  SetLastError(error);
}

}  // namespace kq::engine

namespace kq {

std::vector<EngineCall> EngineCalls(Machine& machine) { return machine.Service<engine::DrawRecord>().Calls(); }
void ClearEngineCalls(Machine& machine) { machine.Service<engine::DrawRecord>().Clear(); }

BOOL SetSurfacePalette(HSURF hsurf, HPALETTE hpal) {
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  engine::Surface* surface = state.FindSurface(hsurf);
  auto it = state.palettes.find(reinterpret_cast<ULONG_PTR>(hpal));
  if (!surface || it == state.palettes.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  surface->palette = std::make_shared<const PaletteInfo>(it->second);
  return TRUE;
}

BOOL SetSurfaceStyleStep(HSURF hsurf, LONG xStep, LONG yStep, LONG denominator) {
  if (xStep < 1 || yStep < 1 || denominator < 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  engine::Surface* surface = state.FindSurface(hsurf);
  if (!surface) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  surface->styleStep[0] = xStep;
  surface->styleStep[1] = yStep;
  surface->styleStep[2] = denominator;
  return TRUE;
}

}  // namespace kq
