// Reading the fields of a drawing op, for every family of ops: numbers, flags, texts, colours "#rrggbb", names
// from a list, points and rectangles in points, and their device pixels. Errors are JobError with the field's name
// (the caller adds the op's place).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "job_file.h"
#include "job_names.h"
#include "win/gditypes.h"

namespace kqprint {

using Json = nlohmann::ordered_json;

// The field, or null when it is missing or null.
const Json* Field(const Json& object, const char* name);
const Json& Required(const Json& object, const char* name);
double Number(const Json& value, const std::string& what);
// A true/false field; false when missing.
bool Flag(const Json& object, const char* name);
// The text itself, which lives as long as `value`.
const std::string& Text(const Json& value, const std::string& what);
std::vector<double> Numbers(const Json& value, std::size_t count, const std::string& what);
COLORREF Color(const Json& value, const std::string& what);

// A field whose text is one of `names`; `fallback` when missing. An unknown text is an error that offers the
// nearest name or lists them.
template <class Value, std::size_t N>
Value Named(const Json& object, const char* name, const std::array<std::pair<std::string_view, Value>, N>& names,
            Value fallback) {
  const Json* field = Field(object, name);
  if (!field) return fallback;
  const std::string text = Text(*field, std::string("\"") + name + "\"");
  std::array<std::string_view, N> known;
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i].first == text) return names[i].second;
    known[i] = names[i].first;
  }
  throw JobError(std::string("\"") + name + "\": unknown value \"" + text + "\"" + Hint(text, known, "its values"));
}

// Geometry in points from the page's top-left corner.
struct Point {
  double x = 0, y = 0;
};
struct Rect {
  double left = 0, top = 0, right = 0, bottom = 0;
};
Point PointOf(const Json& value, const std::string& what);
Rect RectOf(const Json& value, const std::string& what);

// Points to device pixels at `pixelsPerPoint`, rounded.
// The largest distance from the page's corner the device's coordinates hold, in pixels: the engine keeps
// positions in 28.4 fixed point within 32 bits.
inline constexpr double kMaxDevicePixels = 134217727.0;
// The widest pen, the longest dash and the highest miter limit the engine takes, in device pixels.
inline constexpr double kMaxPenPixels = 1 << 20;
// Points in device pixels; JobError when they lie beyond kMaxDevicePixels (never a silent wrap).
double DevicePixels(double points, double pixelsPerPoint);
LONG Pixels(double points, double pixelsPerPoint);
POINTL Pixels(Point p, double pixelsPerPoint);
RECTL Pixels(const Rect& r, double pixelsPerPoint);

}  // namespace kqprint
