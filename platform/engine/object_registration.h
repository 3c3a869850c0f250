// The registration of an object the engine hands drivers, so the accessors can find it and refuse anything else.
#pragma once

#include <memory>

#include "engine_state.h"

namespace kq::engine {

class Registration {
 public:
  // On the machine bound to the calling thread, until this goes.
  Registration(const void* object, EngineState::ObjectKind kind, void* owner)
      : machine_(CurrentMachineShared()), object_(object) {
    machine_.lock()->Service<EngineState>().RegisterObject(object, kind, owner);
  }
  ~Registration() {
    // Weakly held: a machine's own services may keep engine objects.
    if (auto machine = machine_.lock()) machine->Service<EngineState>().UnregisterObject(object_);
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

 private:
  std::weak_ptr<Machine> machine_;
  const void* object_;
};

// The owner registered for `object` on the current machine; null (with ERROR_INVALID_PARAMETER) for a null
// pointer or an object of another kind or maker.
template <class Owner>
Owner* FindObject(const void* object, EngineState::ObjectKind kind) {
  auto* owner = static_cast<Owner*>(object ? EngineState::Current().FindObject(object, kind) : nullptr);
  if (!owner) SetLastError(ERROR_INVALID_PARAMETER);
  return owner;
}

}  // namespace kq::engine
