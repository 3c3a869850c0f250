// Common controls. The progress bar ("msctls_progress32") is always registered: range 0..100, position 0 and step
// 10 when created; positions are kept inside the range.
#pragma once

#include "win/base.h"
#include "win/user.h"

inline constexpr const WCHAR* PROGRESS_CLASSW = u"msctls_progress32";

inline constexpr UINT PBM_SETRANGE = WM_USER + 1;    // lParam: low word minimum, high word maximum
inline constexpr UINT PBM_SETPOS = WM_USER + 2;      // wParam: position; returns the previous one
inline constexpr UINT PBM_DELTAPOS = WM_USER + 3;    // wParam: amount to add
inline constexpr UINT PBM_SETSTEP = WM_USER + 4;     // wParam: step of PBM_STEPIT
inline constexpr UINT PBM_STEPIT = WM_USER + 5;      // past the maximum it starts again from the minimum
inline constexpr UINT PBM_SETRANGE32 = WM_USER + 6;  // wParam minimum, lParam maximum
inline constexpr UINT PBM_GETRANGE = WM_USER + 7;    // wParam TRUE: the minimum, else the maximum; fills a PBRANGE
inline constexpr UINT PBM_GETPOS = WM_USER + 8;

struct PBRANGE {
  int iLow;
  int iHigh;
};
