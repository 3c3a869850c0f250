// The platform's standard built-in forms, in the order of their paper-size numbers: form i is paper size i.
#pragma once

#include <span>

#include "win/base.h"

namespace kq {

struct BuiltinForm {
  const char16_t* name;
  LONG width;   // thousandths of a millimetre
  LONG height;  // thousandths of a millimetre
};

std::span<const BuiltinForm> BuiltinForms();

}  // namespace kq
