// The font families of the graphics engine, as a program enumerates them on a device context: every face of the
// font files the engine knows (the machine's C:\Windows\Fonts, then the system's fonts), one callback per family
// and character set. Window device contexts come from GetDC.
#pragma once

#include "win/base.h"
#include "win/gditypes.h"

struct HDC__;
using HDC = HDC__*;

// A device context for drawing in a window's client area (null: the screen); null when the window does not exist.
HDC GetDC(HWND window);
// 1 when the context was released, 0 when it is not one of GetDC's.
int ReleaseDC(HWND window, HDC context);

inline constexpr DWORD RASTER_FONTTYPE = 0x0001;
inline constexpr DWORD DEVICE_FONTTYPE = 0x0002;
inline constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;
// ntmFlags of a family's metrics.
inline constexpr DWORD NTM_ITALIC = 0x00000001;
inline constexpr DWORD NTM_BOLD = 0x00000020;
inline constexpr DWORD NTM_REGULAR = 0x00000040;
inline constexpr DWORD NTM_PS_OPENTYPE = 0x00020000;
inline constexpr DWORD NTM_TT_OPENTYPE = 0x00040000;
inline constexpr DWORD NTM_TYPE1 = 0x00100000;

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
static_assert(sizeof(TEXTMETRICW) == 60);

struct NEWTEXTMETRICW {
  TEXTMETRICW tm;
  DWORD ntmFlags;
  UINT ntmSizeEM;
  UINT ntmCellHeight;
  UINT ntmAvgWidth;
};
static_assert(sizeof(NEWTEXTMETRICW) == 76);

inline constexpr int LF_FULLFACESIZE = 64;
struct ENUMLOGFONTEXW {
  LOGFONTW elfLogFont;
  WCHAR elfFullName[LF_FULLFACESIZE];
  WCHAR elfStyle[LF_FACESIZE];
  WCHAR elfScript[LF_FACESIZE];
};
static_assert(sizeof(ENUMLOGFONTEXW) == 348);

// The callback gets an ENUMLOGFONTEXW as its LOGFONTW and a NEWTEXTMETRICW as its TEXTMETRICW; answering 0 stops
// the enumeration.
using FONTENUMPROCW = int (*)(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType, LPARAM lParam);

// With an empty lfFaceName: every family once (its first face, with lfCharSet ANSI_CHARSET, or SYMBOL_CHARSET
// for a symbol font); with a face name: the faces of that family (ignoring ASCII case). TrueType and OpenType
// faces are TRUETYPE_FONTTYPE, Type 1 faces 0 (NTM_TYPE1).
// Families are given in the order of the font files' names. The answer is the callback's last answer (1 when no
// family was found); 0 with ERROR_INVALID_PARAMETER for a null context, font or callback.
int EnumFontFamiliesExW(HDC context, LOGFONTW* font, FONTENUMPROCW callback, LPARAM lParam, DWORD flags);
