// The engine's side of its XLATEOBJs: translating pixel values in drawing calls.
#pragma once

#include <optional>

#include "win/enginebrush.h"

namespace kq::engine {

class Translator {
 public:
  // Null translates nothing; a translation the engine did not make is read from its public fields (XO_TRIVIAL,
  // XO_TABLE), anything else fails with ERROR_INVALID_PARAMETER.
  static std::optional<Translator> Of(XLATEOBJ* pxlo);
  ULONG operator()(ULONG value) const {
    if (object_) return Translate(object_, value);
    if (table_) return value < entries_ ? table_[value] : 0;
    return value;
  }
  bool Trivial() const { return !object_ && !table_; }

 private:
  static ULONG Translate(const XlateObject::Impl* object, ULONG value);
  const XlateObject::Impl* object_ = nullptr;
  const ULONG* table_ = nullptr;
  ULONG entries_ = 0;
};

}  // namespace kq::engine
