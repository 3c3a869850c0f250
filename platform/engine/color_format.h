// The colours of pixel values: a palette's meaning of a pixel as an RGB colour (0x00BBGGRR) and back.
#pragma once

#include "win/engine.h"

namespace kq::engine {

class ColorFormat {
 public:
  static ColorFormat Of(const PaletteInfo& palette);
  // What a surface's pixels mean when no palette says: black and white, the sixteen standard colours, a colour
  // cube and a grey ramp for 8 bits, 5-5-5 for 16 bits, and PAL_RGB (the value is the colour) above.
  static ColorFormat Default(ULONG bitmapFormat);
  static ColorFormat Rgb();

  ULONG ToRgb(ULONG pixel) const;
  // An indexed format gives its nearest colour, the first of equals.
  ULONG FromRgb(ULONG rgb) const;
  bool SameAs(const ColorFormat& other) const;
  const PaletteInfo& Palette() const { return palette_; }
  bool Indexed() const { return palette_.mode == PAL_INDEXED; }

 private:
  PaletteInfo palette_;
};

inline BYTE Red(ULONG rgb) { return static_cast<BYTE>(rgb); }
inline BYTE Green(ULONG rgb) { return static_cast<BYTE>(rgb >> 8); }
inline BYTE Blue(ULONG rgb) { return static_cast<BYTE>(rgb >> 16); }
inline ULONG MakeRgb(ULONG r, ULONG g, ULONG b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }

}  // namespace kq::engine
