#include "engine_state.h"

#include <atomic>

namespace kq::engine {

EngineState::EngineState(Machine&) {}

ULONG EngineState::NextXlateUniq() {
  static std::atomic<ULONG> last{0};
  ULONG uniq = ++last;
  while (uniq == 0) uniq = ++last;
  return uniq;
}

EngineState& EngineState::Current() { return CurrentMachine().Service<EngineState>(); }

Surface* EngineState::AddSurface(std::unique_ptr<Surface> surface) {
  const ULONG_PTR handle = NewHandle();
  surface->so.hsurf = reinterpret_cast<HSURF>(handle);
  Surface* raw = surface.get();
  surfaces_.emplace(&raw->so, std::move(surface));
  surfaceHandles_.emplace(handle, raw);
  return raw;
}

Surface* EngineState::FindSurface(HSURF hsurf) {
  auto it = surfaceHandles_.find(reinterpret_cast<ULONG_PTR>(hsurf));
  return it == surfaceHandles_.end() ? nullptr : it->second;
}

Surface* EngineState::FindSurface(const SURFOBJ* so) {
  auto it = surfaces_.find(so);
  return it == surfaces_.end() ? nullptr : it->second.get();
}

void EngineState::DropHandle(Surface* surface) {
  surfaceHandles_.erase(reinterpret_cast<ULONG_PTR>(surface->so.hsurf));
  surface->deleted = true;
  ReleaseSurface(surface);
}

void EngineState::ReleaseSurface(Surface* surface) {
  if (surface->deleted && surface->locks == 0) surfaces_.erase(&surface->so);
}

void EngineState::RegisterObject(const void* object, ObjectKind kind, void* owner) {
  std::lock_guard lock(mutex_);
  objects_[object] = {kind, owner};
}

void EngineState::UnregisterObject(const void* object) {
  std::lock_guard lock(mutex_);
  objects_.erase(object);
}

void* EngineState::FindObject(const void* object, ObjectKind kind) {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(object);
  return it != objects_.end() && it->second.first == kind ? it->second.second : nullptr;
}

ULONG_PTR EngineState::FileId(const std::filesystem::path& file) {
  auto [it, added] = files_.emplace(file, 0);
  if (added) it->second = files_.size();
  return it->second;
}

ULONG_PTR EngineState::FaceId(const std::filesystem::path& file, UINT face) {
  auto [it, added] = faces_.emplace(std::make_pair(file, face), 0);
  if (added) it->second = faces_.size();
  return it->second;
}

}  // namespace kq::engine

namespace kq {

ULONGLONG EngineBitmapLimit(Machine& machine) {
  auto& state = machine.Service<engine::EngineState>();
  std::lock_guard lock(state.Mutex());
  return state.bitmapLimit;
}

void SetEngineBitmapLimit(Machine& machine, ULONGLONG bytes) {
  auto& state = machine.Service<engine::EngineState>();
  std::lock_guard lock(state.Mutex());
  state.bitmapLimit = bytes;
}

}  // namespace kq
