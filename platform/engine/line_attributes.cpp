#include "win/enginepath.h"

namespace kq {

LineAttributes LineAttributes::Cosmetic(LONG width, std::vector<LONG> style, FLONG flags, LONG styleState) {
  LineAttributes a;
  a.attrs_.fl = flags & (LA_ALTERNATE | LA_STARTGAP);
  a.attrs_.iJoin = JOIN_ROUND;
  a.attrs_.iEndCap = ENDCAP_ROUND;
  a.attrs_.elWidth.l = width;
  a.attrs_.eMiterLimit = 10;
  for (LONG s : style) a.style_.push_back(FLOAT_LONG{.l = s});
  a.attrs_.elStyleState.l = styleState;
  if (!a.style_.empty()) a.attrs_.fl |= LA_STYLED;
  a.attrs_.cstyle = static_cast<ULONG>(a.style_.size());
  a.attrs_.pstyle = a.style_.empty() ? nullptr : a.style_.data();
  return a;
}

LineAttributes LineAttributes::Geometric(FLOATL width, ULONG join, ULONG endCap, FLOATL miterLimit,
                                         std::vector<FLOATL> style, FLONG flags, FLOATL styleOffset) {
  LineAttributes a;
  a.attrs_.fl = LA_GEOMETRIC | (flags & LA_STARTGAP);
  a.attrs_.iJoin = join;
  a.attrs_.iEndCap = endCap;
  a.attrs_.elWidth.e = width;
  a.attrs_.eMiterLimit = miterLimit;
  for (FLOATL s : style) a.style_.push_back(FLOAT_LONG{.e = s});
  a.attrs_.elStyleState.e = styleOffset;
  if (!a.style_.empty()) a.attrs_.fl |= LA_STYLED;
  a.attrs_.cstyle = static_cast<ULONG>(a.style_.size());
  a.attrs_.pstyle = a.style_.empty() ? nullptr : a.style_.data();
  return a;
}

LineAttributes::LineAttributes(const LineAttributes& other) : attrs_(other.attrs_), style_(other.style_) {
  attrs_.pstyle = style_.empty() ? nullptr : style_.data();
}

LineAttributes& LineAttributes::operator=(const LineAttributes& other) {
  attrs_ = other.attrs_;
  style_ = other.style_;
  attrs_.pstyle = style_.empty() ? nullptr : style_.data();
  return *this;
}

}  // namespace kq
