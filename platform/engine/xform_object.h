// An XFORMOBJ the engine hands a driver: a matrix registered with the machine's engine, so XFORMOBJ_iGetXform can
// read it back.
#pragma once

#include <memory>

#include "win/machine.h"
#include "win/winddi.h"

namespace kq::engine {

class XformObject {
 public:
  // Holds the machine weakly: a machine's own services may keep engine objects.
  XformObject(const std::shared_ptr<Machine>& machine, const XFORML& matrix);
  ~XformObject();
  XformObject(const XformObject&) = delete;
  XformObject& operator=(const XformObject&) = delete;

  XFORMOBJ* Object() { return &object_; }
  const XFORML& Matrix() const { return matrix_; }

 private:
  std::weak_ptr<Machine> machine_;
  XFORMOBJ object_{};
  XFORML matrix_;
};

}  // namespace kq::engine
