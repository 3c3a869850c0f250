// The application side's drawing state and the frame of one drawing call: the device's colours, the selected
// clip, the fonts realised for the device, and the surface and objects that a call hands the driver.
#pragma once

#include <initializer_list>
#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "color_format.h"
#include "win/appgdi.h"
#include "win/enginepath.h"

namespace kq {

struct DeviceContext::Drawing {
  // Gives the device's surface its palette and style step and reads its colours; the machine is bound.
  explicit Drawing(DdiDevice& device);
  ~Drawing();

  struct Font {
    FontRequest request;
    std::unique_ptr<RealizedFont> font;
    ULONG glyphMode;
  };
  // The font realised for `request` at the device's resolution, with the driver's glyph mode; null with the last
  // error set. The most recent few are kept.
  Font* FontFor(const FontRequest& request);

  DdiDevice& device;
  engine::ColorFormat colors;  // the meaning of the device's pixel values
  RECTL surface{0, 0, 0, 0};
  std::unique_ptr<ClipObject> clip;  // the selected clip; null: none
  std::unique_ptr<ClipObject> edge;  // the surface's own bounds, for calls that reach past them
  std::list<Font> fonts;             // most recent first
};

namespace appgdi {

// The engine's path of a program's path; null with ERROR_INVALID_PARAMETER for a coordinate it refuses.
std::unique_ptr<PathObject> MakePath(const DevicePath& path);
// The line attributes of a pen; nothing with ERROR_INVALID_PARAMETER for a pen out of range.
std::optional<LineAttributes> PenAttributes(const Pen& pen);
// Whether a pen goes to DrvLineTo: cosmetic and solid.
inline bool SimplePen(const Pen& pen) { return !pen.geometric && pen.dash.empty(); }
// How far a stroke with the pen reaches past its path, in whole pixels; miters reach only where lines join.
LONG PenReach(const Pen& pen, bool joins);
// The device pixels a path's points may touch, `reach` pixels around them.
RECTL PathBounds(PATHOBJ* ppo, LONG reach);
// FALSE with ERROR_INVALID_PARAMETER unless every value lies in the device's coordinate space (what 28.4 fixed
// point holds), where positions and sizes are worked out without overflow.
bool InDeviceSpace(std::initializer_list<LONG> values);
inline bool InDeviceSpace(const RECTL& r) { return InDeviceSpace({r.left, r.top, r.right, r.bottom}); }
// FALSE with ERROR_INVALID_PARAMETER unless `rop2` is R2_BLACK .. R2_WHITE.
bool ValidRop2(ULONG rop2);
bool ValidBrush(const Brush& brush);
RECTL OrderedRect(const RECTL& rect);
bool EmptyRect(const RECTL& rect);
RECTL Grow(const RECTL& rect, LONG by);

// One drawing call: the device's machine bound, its surface locked, and the objects the call hands the driver,
// which live until the call is over.
class DrawCall {
 public:
  DrawCall(const std::shared_ptr<Machine>& machine, DeviceContext::Drawing& drawing);
  ~DrawCall();
  DrawCall(const DrawCall&) = delete;
  DrawCall& operator=(const DrawCall&) = delete;

  // False (with the last error) when the surface cannot be locked.
  bool Ready() const { return so_ != nullptr; }
  SURFOBJ* Surface() const { return so_; }
  DeviceContext::Drawing& State() const { return drawing_; }
  FLONG Hooks() const { return hooks_; }
  // The clip of a call that may touch `bounds`: trivial when the selected clip (or the surface) holds all of it,
  // else the selected clip or the surface's bounds. Null when the clip hides all of it.
  CLIPOBJ* Clip(const RECTL& bounds);
  BRUSHOBJ* MakeBrush(const Brush& brush);
  BRUSHOBJ* Solid(COLORREF color) { return MakeBrush(Brush{color}); }
  XFORMOBJ* Identity();
  // The translation of a palette's colours into the device's.
  XLATEOBJ* Xlate(const PaletteInfo& source);
  // The mix of `rop2`: the same operation for the background, but none between the lines of a hatch without one.
  static MIX Mix(ULONG rop2, const Brush* brush = nullptr);
  POINTL* BrushOrigin() { return &origin_; }
  // A routed call's answer: false with its last error, ERROR_GEN_FAILURE when it set none.
  static bool Done(BOOL result);
  // Clears the last error before a routed call.
  static void Begin();

 private:
  MachineScope scope_;
  DeviceContext::Drawing& drawing_;
  SURFOBJ* so_ = nullptr;
  FLONG hooks_ = 0;
  POINTL origin_{0, 0};
  std::unique_ptr<ClipObject> trivial_;
  std::vector<std::unique_ptr<BrushObject>> brushes_;
  std::unique_ptr<TransformObject> identity_;
  std::unique_ptr<XlateObject> xlate_;
};

}  // namespace appgdi
}  // namespace kq
