#include "pixels.h"

#include <cstring>

namespace kq::engine {

ULONG BitsPerPixel(ULONG format) {
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

std::optional<Pixels> Pixels::Of(const SURFOBJ* so) {
  if (!so || !so->pvScan0 || so->sizlBitmap.cx <= 0 || so->sizlBitmap.cy <= 0) return std::nullopt;
  const ULONG bpp = BitsPerPixel(so->iBitmapFormat);
  if (bpp == 0) return std::nullopt;
  Pixels p;
  p.scan0_ = static_cast<BYTE*>(so->pvScan0);
  p.bits_ = static_cast<const BYTE*>(so->pvBits);
  p.delta_ = so->lDelta;
  p.width_ = so->sizlBitmap.cx;
  p.height_ = so->sizlBitmap.cy;
  p.bpp_ = bpp;
  p.format_ = so->iBitmapFormat;
  return p;
}

void Pixels::Fill(LONG y, LONG x0, LONG x1, ULONG v) const {
  if (x0 >= x1) return;
  BYTE* row = Row(y);
  switch (bpp_) {
    case 8: std::memset(row + x0, static_cast<BYTE>(v), static_cast<std::size_t>(x1 - x0)); return;
    case 24: {
      const BYTE b[3] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16)};
      if (b[0] == b[1] && b[1] == b[2]) {
        std::memset(row + 3 * x0, b[0], 3 * static_cast<std::size_t>(x1 - x0));
        return;
      }
      for (BYTE* p = row + 3 * x0; p < row + 3 * x1; p += 3) std::memcpy(p, b, 3);
      return;
    }
    case 32:
      for (LONG x = x0; x < x1; ++x) std::memcpy(row + 4 * x, &v, 4);  // little-endian, as the bits are
      return;
    default:
      for (LONG x = x0; x < x1; ++x) Set(x, y, v);
  }
}

ULONG Rop3(BYTE rop, ULONG p, ULONG s, ULONG d) {
  switch (rop) {
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFFFF;
    case 0xCC: return s;
    case 0xF0: return p;
    case 0xAA: return d;
    case 0x33: return ~s;
    case 0x0F: return ~p;
    case 0x55: return ~d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x66: return s ^ d;
    case 0x5A: return p ^ d;
    case 0xC0: return p & s;
    case 0x44: return s & ~d;
    case 0x11: return ~(s | d);
    case 0xBB: return ~s | d;
    case 0xA0: return p & d;
    case 0xFA: return p | d;
    default: break;
  }
  ULONG r = 0;
  for (int i = 0; i < 8; ++i) {
    if (!((rop >> i) & 1)) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r;
}

bool Rop3OfRop2(ULONG rop2, BYTE* rop) {
  if (rop2 < R2_BLACK || rop2 > R2_WHITE) return false;
  const ULONG table = rop2 - 1;  // bit (pen * 2 + destination)
  *rop = 0;
  for (int i = 0; i < 8; ++i) {
    const int pen = (i >> 2) & 1, dst = i & 1;
    if ((table >> (pen * 2 + dst)) & 1) *rop = static_cast<BYTE>(*rop | (1 << i));
  }
  return true;
}

}  // namespace kq::engine
