#include "op_fields.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kqprint {

const Json* Field(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() || found->is_null() ? nullptr : &*found;
}

const Json& Required(const Json& object, const char* name) {
  const Json* field = Field(object, name);
  if (!field) throw JobError(std::string("\"") + name + "\" is missing");
  return *field;
}

double Number(const Json& value, const std::string& what) {
  if (!value.is_number()) throw JobError(what + ": not a number");
  const double number = value.get<double>();
  if (!std::isfinite(number)) throw JobError(what + ": not a finite number");
  return number;
}

bool Flag(const Json& object, const char* name) {
  const Json* field = Field(object, name);
  if (!field) return false;
  if (!field->is_boolean()) throw JobError(std::string("\"") + name + "\": not true or false");
  return field->get<bool>();
}

const std::string& Text(const Json& value, const std::string& what) {
  if (!value.is_string()) throw JobError(what + ": not a text");
  return value.get_ref<const std::string&>();
}

namespace {

// N numbers: a point or a rectangle read without an allocation.
template <std::size_t N>
std::array<double, N> NumberArray(const Json& value, const std::string& what) {
  if (!value.is_array() || value.size() != N) throw JobError(what + ": an array of " + std::to_string(N) + " numbers");
  std::array<double, N> numbers;
  for (std::size_t i = 0; i < N; ++i) numbers[i] = Number(value[i], what);
  return numbers;
}

}  // namespace

std::vector<double> Numbers(const Json& value, std::size_t count, const std::string& what) {
  if (!value.is_array() || value.size() != count)
    throw JobError(what + ": an array of " + std::to_string(count) + " numbers");
  std::vector<double> numbers;
  for (std::size_t i = 0; i < count; ++i) numbers.push_back(Number(value[i], what));
  return numbers;
}

COLORREF Color(const Json& value, const std::string& what) {
  const std::string_view text = value.is_string() ? std::string_view(value.get_ref<const std::string&>()) : "";
  unsigned rgb = 0;
  const bool hex = text.size() == 7 && text[0] == '#' &&
                   std::from_chars(text.data() + 1, text.data() + 7, rgb, 16).ptr == text.data() + 7;
  if (!hex) throw JobError(what + ": a colour is written \"#rrggbb\"");
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

Point PointOf(const Json& value, const std::string& what) {
  const auto numbers = NumberArray<2>(value, what);
  return {numbers[0], numbers[1]};
}

Rect RectOf(const Json& value, const std::string& what) {
  const auto n = NumberArray<4>(value, what);
  return {n[0], n[1], n[2], n[3]};
}

double DevicePixels(double points, double pixelsPerPoint) {
  const double pixels = points * pixelsPerPoint;
  if (!(std::abs(pixels) <= kMaxDevicePixels)) {
    char text[160];
    std::snprintf(text, sizeof text, "%g points lie beyond the device's coordinates (%g points either way at %g dpi)",
                  points, kMaxDevicePixels / pixelsPerPoint, pixelsPerPoint * 72);
    throw JobError(text);
  }
  return pixels;
}

LONG Pixels(double points, double pixelsPerPoint) {
  return static_cast<LONG>(std::lround(DevicePixels(points, pixelsPerPoint)));
}
POINTL Pixels(Point p, double scale) { return {Pixels(p.x, scale), Pixels(p.y, scale)}; }
RECTL Pixels(const Rect& r, double scale) {
  return {Pixels(r.left, scale), Pixels(r.top, scale), Pixels(r.right, scale), Pixels(r.bottom, scale)};
}

}  // namespace kqprint
