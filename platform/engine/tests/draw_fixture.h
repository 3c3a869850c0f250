// Test helpers for the engine's drawing: bitmaps that free themselves, and pixel reads that know nothing of the
// engine's own pixel code.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "win/engine.h"
#include "win/enginebrush.h"
#include "win/enginedraw.h"
#include "win/enginepath.h"
#include "win/winddi.h"

// Found by argument lookup for the DDI's global records.
inline bool operator==(POINTFIX a, POINTFIX b) { return a.x == b.x && a.y == b.y; }
inline std::ostream& operator<<(std::ostream& os, POINTFIX p) { return os << "(" << p.x << "," << p.y << ")"; }

namespace drawtest {

class Bitmap {
 public:
  Bitmap(LONG cx, LONG cy, ULONG format, FLONG flags = 0) {
    hbm_ = EngCreateBitmap(SIZEL{cx, cy}, 0, format, flags, nullptr);
    so_ = EngLockSurface(reinterpret_cast<HSURF>(hbm_));
  }
  ~Bitmap() {
    EngUnlockSurface(so_);
    EngDeleteSurface(reinterpret_cast<HSURF>(hbm_));
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  SURFOBJ* so() const { return so_; }
  HSURF hsurf() const { return reinterpret_cast<HSURF>(hbm_); }
  RECTL all() const { return RECTL{0, 0, so_->sizlBitmap.cx, so_->sizlBitmap.cy}; }

  BYTE* Row(LONG y) const { return static_cast<BYTE*>(so_->pvScan0) + static_cast<std::ptrdiff_t>(y) * so_->lDelta; }
  ULONG Get(LONG x, LONG y) const {
    const BYTE* r = Row(y);
    switch (so_->iBitmapFormat) {
      case BMF_1BPP: return (r[x / 8] >> (7 - x % 8)) & 1;
      case BMF_4BPP: return x % 2 ? r[x / 2] & 0xF : r[x / 2] >> 4;
      case BMF_8BPP: return r[x];
      case BMF_16BPP: return r[2 * x] | r[2 * x + 1] << 8;
      case BMF_24BPP: return r[3 * x] | r[3 * x + 1] << 8 | r[3 * x + 2] << 16;
      default: return r[4 * x] | r[4 * x + 1] << 8 | r[4 * x + 2] << 16 | ULONG{r[4 * x + 3]} << 24;
    }
  }
  void Set(LONG x, LONG y, ULONG v) {
    BYTE* r = Row(y);
    switch (so_->iBitmapFormat) {
      case BMF_1BPP: r[x / 8] = static_cast<BYTE>((r[x / 8] & ~(0x80 >> x % 8)) | ((v & 1) << (7 - x % 8))); break;
      case BMF_4BPP:
        r[x / 2] = static_cast<BYTE>(x % 2 ? (r[x / 2] & 0xF0) | (v & 0xF) : (r[x / 2] & 0x0F) | (v << 4));
        break;
      case BMF_8BPP: r[x] = static_cast<BYTE>(v); break;
      case BMF_16BPP: r[2 * x] = static_cast<BYTE>(v), r[2 * x + 1] = static_cast<BYTE>(v >> 8); break;
      case BMF_24BPP: std::memcpy(r + 3 * x, &v, 3); break;
      default: std::memcpy(r + 4 * x, &v, 4);
    }
  }
  void FillAll(ULONG v) {
    for (LONG y = 0; y < so_->sizlBitmap.cy; ++y)
      for (LONG x = 0; x < so_->sizlBitmap.cx; ++x) Set(x, y, v);
  }
  // The pixels equal to `v`, as a picture row by row ("#" for v, "." else), for readable failures.
  std::string Picture(ULONG v) const {
    std::string s;
    for (LONG y = 0; y < so_->sizlBitmap.cy; ++y) {
      for (LONG x = 0; x < so_->sizlBitmap.cx; ++x) s += Get(x, y) == v ? '#' : '.';
      s += '\n';
    }
    return s;
  }
  int Count(ULONG v) const {
    int n = 0;
    for (LONG y = 0; y < so_->sizlBitmap.cy; ++y)
      for (LONG x = 0; x < so_->sizlBitmap.cx; ++x) n += Get(x, y) == v;
    return n;
  }

 private:
  HBITMAP hbm_;
  SURFOBJ* so_;
};

// The records of a path, from the start.
struct Record {
  FLONG flags;
  std::vector<POINTFIX> points;
};
inline std::vector<Record> Records(PATHOBJ* ppo) {
  std::vector<Record> out;
  PATHOBJ_vEnumStart(ppo);
  for (int guard = 0; guard < 100000; ++guard) {
    PATHDATA pd;
    const BOOL more = PATHOBJ_bEnum(ppo, &pd);
    if (pd.count) out.push_back({pd.flags, std::vector<POINTFIX>(pd.pptfx, pd.pptfx + pd.count)});
    if (!more) break;
  }
  return out;
}

inline POINTFIX Fx(LONG x, LONG y) { return POINTFIX{x * 16, y * 16}; }

constexpr ULONG kWhite = 0xFFFFFF;
constexpr ULONG kRed = 0x0000FF;
constexpr ULONG kBlue = 0xFF0000;

}  // namespace drawtest
