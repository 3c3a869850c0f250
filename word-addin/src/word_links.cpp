#include <algorithm>
#include <cmath>
#include <limits>

#include "dovecap/word_converter.h"

namespace dovecap {

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// A scheme of two characters or more (a letter, then letters, digits, "+", "-" or ".") before the first ":".
// One letter before the colon is a drive.
bool HasUriScheme(const std::u16string& target) {
  const auto colon = target.find(u':');
  if (colon == std::u16string::npos || colon < 2 || !IsAsciiLetter(target[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char16_t c = target[i];
    if (!IsAsciiLetter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') return false;
  }
  return true;
}

std::int32_t Clamped(double value) {
  if (!(value > std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  if (!(value < std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);  // toward zero
}

}  // namespace

void WordConverter::AddLink(std::int32_t page, const std::u16string& target, bool destination, std::int32_t x,
                            std::int32_t y, std::int32_t width, std::int32_t height) {
  if (page < 1) return;  // no link lands on a page that is not one
  handover::LinkRecord record;
  record.target = target;
  if (destination) {
    record.kind = handover::kLinkDestination;
  } else {
    std::u16string& t = record.target;
    if (HasUriScheme(t)) {
      record.kind = handover::kLinkUri;
    } else {
      record.kind = handover::kLinkLaunch;
      if (t.size() >= 2 && t[1] == u':') {
        // c:\d\f.pdf starts /C\d\f.pdf
        const char16_t drive = t[0] >= u'a' && t[0] <= u'z' ? static_cast<char16_t>(t[0] - 32) : t[0];
        t[0] = u'/';
        t[1] = drive;
      } else if (t.size() >= 2 && t[0] == u'\\' && t[1] == u'\\') {
        t.erase(0, 1);
      }
    }
    // File paths use forward slashes; the driver escapes what a PDF string needs.
    std::replace(t.begin(), t.end(), u'\\', u'/');
  }
  record.left = x;
  record.top = y;
  record.right = Clamped(static_cast<double>(x) + width);
  record.bottom = Clamped(static_cast<double>(y) + height);
  links_.emplace(page, std::move(record));
}

LinkBox ShapeLinkBox(const ShapePlacement& s, float leftMargin, float topMargin, float anchorX, float anchorY) {
  using automation::kRelativeToMargin, automation::kRelativeToPage;
  double left = s.left + (s.relativeHorizontal == kRelativeToMargin ? leftMargin
                          : s.relativeHorizontal == kRelativeToPage ? 0.0f
                                                                    : anchorX);
  double top = s.top + (s.relativeVertical == kRelativeToMargin ? topMargin
                        : s.relativeVertical == kRelativeToPage ? 0.0f
                                                                : anchorY);
  double right = left + s.width;
  double bottom = top + s.height;
  // The shape turns clockwise by its rotation; the page's y axis points down.
  const double degrees = std::fmod(360.0 - s.rotation, 360.0);
  if (degrees != 0) {
    const double angle = degrees * M_PI / 180.0;
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (const auto& c : corners) {
      const double dx = c[0] - cx, dy = c[1] - cy;
      const double rx = cx + dx * std::cos(angle) - dy * std::sin(angle);
      const double ry = cy + dx * std::sin(angle) + dy * std::cos(angle);
      minX = std::min(minX, rx);
      maxX = std::max(maxX, rx);
      minY = std::min(minY, ry);
      maxY = std::max(maxY, ry);
    }
    left = minX;
    top = minY;
    right = maxX;
    bottom = maxY;
  }
  // Rotation leaves traces of rounding (49.9999999 for 50) that truncation must not turn into a lost point.
  auto snap = [](double v) { return std::nearbyint(v * 1e6) / 1e6; };
  return {Clamped(snap(left)), Clamped(snap(top)), Clamped(snap(right - left)), Clamped(snap(bottom - top))};
}

}  // namespace dovecap
