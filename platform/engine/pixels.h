// Pixel access to the bits of a bitmap surface in each of the DDI's uncompressed formats, and the raster
// operations on pixel values.
#pragma once

#include <optional>

#include "win/winddi.h"

namespace kq::engine {

// 1 to 32 bits per pixel; 0 for a format without pixels here.
ULONG BitsPerPixel(ULONG format);

class Pixels {
 public:
  // Empty for a surface without bits or of a compressed format.
  static std::optional<Pixels> Of(const SURFOBJ* so);

  LONG Width() const { return width_; }
  LONG Height() const { return height_; }
  ULONG Bits() const { return bpp_; }
  ULONG Format() const { return format_; }
  ULONG ValueMask() const { return bpp_ == 32 ? 0xFFFFFFFF : (1u << bpp_) - 1; }
  RECTL Bounds() const { return RECTL{0, 0, width_, height_}; }
  const BYTE* Bytes() const { return bits_; }
  BYTE* Row(LONG y) const { return scan0_ + static_cast<std::ptrdiff_t>(y) * delta_; }

  // x and y inside the bitmap.
  ULONG Get(LONG x, LONG y) const {
    const BYTE* row = Row(y);
    switch (bpp_) {
      case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
      case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
      case 8: return row[x];
      case 16: return row[2 * x] | (ULONG{row[2 * x + 1]} << 8);
      case 24: return row[3 * x] | (ULONG{row[3 * x + 1]} << 8) | (ULONG{row[3 * x + 2]} << 16);
      default:
        return row[4 * x] | (ULONG{row[4 * x + 1]} << 8) | (ULONG{row[4 * x + 2]} << 16) |
               (ULONG{row[4 * x + 3]} << 24);
    }
  }
  void Set(LONG x, LONG y, ULONG v) const {
    BYTE* row = Row(y);
    switch (bpp_) {
      case 1: {
        const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<BYTE>((v & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        break;
      }
      case 4: {
        BYTE& b = row[x >> 1];
        b = static_cast<BYTE>((x & 1) ? (b & 0xF0) | (v & 0xF) : (b & 0x0F) | ((v & 0xF) << 4));
        break;
      }
      case 8: row[x] = static_cast<BYTE>(v); break;
      case 16:
        row[2 * x] = static_cast<BYTE>(v);
        row[2 * x + 1] = static_cast<BYTE>(v >> 8);
        break;
      case 24:
        row[3 * x] = static_cast<BYTE>(v);
        row[3 * x + 1] = static_cast<BYTE>(v >> 8);
        row[3 * x + 2] = static_cast<BYTE>(v >> 16);
        break;
      default:
        row[4 * x] = static_cast<BYTE>(v);
        row[4 * x + 1] = static_cast<BYTE>(v >> 8);
        row[4 * x + 2] = static_cast<BYTE>(v >> 16);
        row[4 * x + 3] = static_cast<BYTE>(v >> 24);
    }
  }
  // Pixels [x0, x1) of row y set to v.
  void Fill(LONG y, LONG x0, LONG x1, ULONG v) const;

 private:
  BYTE* scan0_ = nullptr;
  const BYTE* bits_ = nullptr;
  LONG delta_ = 0;
  LONG width_ = 0, height_ = 0;
  ULONG bpp_ = 0, format_ = 0;
};

// Ternary raster operations: bit i of `rop` is the result for pattern bit (i >> 2), source bit (i >> 1) & 1 and
// destination bit i & 1, applied to every bit of the values.
ULONG Rop3(BYTE rop, ULONG p, ULONG s, ULONG d);
inline bool RopUsesSource(BYTE rop) { return ((rop >> 2) ^ rop) & 0x33; }
inline bool RopUsesPattern(BYTE rop) { return ((rop >> 4) ^ rop) & 0x0F; }
inline bool RopUsesDestination(BYTE rop) { return ((rop >> 1) ^ rop) & 0x55; }
// The ternary form of a binary raster operation R2_BLACK .. R2_WHITE (the pen as the pattern); FALSE for
// another code.
bool Rop3OfRop2(ULONG rop2, BYTE* rop);

}  // namespace kq::engine
