// Types and numbers that the application side of the graphics engine (GDI) and its driver interface (DDI) share:
// points and rectangles, colours, GDI object handles, the logical font record, PANOSE, colour adjustment, the
// gradient vertex and mesh records, blend functions, charsets, pitch and family, weights and mix codes. Layouts
// are the platform's x64 layouts.
#pragma once

#include "win/base.h"

// ---- Handles of GDI objects ----
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HPALETTE__;
using HPALETTE = HPALETTE__*;

using COLORREF = DWORD;  // 0x00BBGGRR
using COLOR16 = USHORT;

// ---- Geometry ----
struct POINTL {
  LONG x;
  LONG y;
};
using PPOINTL = POINTL*;

// Right and bottom lie outside the rectangle.
struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using PRECTL = RECTL*;

struct SIZEL {
  LONG cx;
  LONG cy;
};
using PSIZEL = SIZEL*;

static_assert(sizeof(POINTL) == 8 && sizeof(RECTL) == 16 && sizeof(SIZEL) == 8);

// ---- Logical font ----
inline constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTW) == 92);

struct PANOSE {
  BYTE bFamilyType;
  BYTE bSerifStyle;
  BYTE bWeight;
  BYTE bProportion;
  BYTE bContrast;
  BYTE bStrokeVariation;
  BYTE bArmStyle;
  BYTE bLetterform;
  BYTE bMidline;
  BYTE bXHeight;
};
static_assert(sizeof(PANOSE) == 10);

// ---- Colour adjustment (halftoning input of the stretching blits) ----
struct COLORADJUSTMENT {
  WORD caSize;
  WORD caFlags;
  WORD caIlluminantIndex;
  WORD caRedGamma;
  WORD caGreenGamma;
  WORD caBlueGamma;
  WORD caReferenceBlack;
  WORD caReferenceWhite;
  SHORT caContrast;
  SHORT caBrightness;
  SHORT caColorfulness;
  SHORT caRedGreenTint;
};
static_assert(sizeof(COLORADJUSTMENT) == 24);

// ---- Gradient fills ----
struct TRIVERTEX {
  LONG x;
  LONG y;
  COLOR16 Red;  // 0x0000 .. 0xFF00
  COLOR16 Green;
  COLOR16 Blue;
  COLOR16 Alpha;
};
using PTRIVERTEX = TRIVERTEX*;

struct GRADIENT_TRIANGLE {
  ULONG Vertex1;
  ULONG Vertex2;
  ULONG Vertex3;
};

struct GRADIENT_RECT {
  ULONG UpperLeft;
  ULONG LowerRight;
};

static_assert(sizeof(TRIVERTEX) == 16 && sizeof(GRADIENT_TRIANGLE) == 12 && sizeof(GRADIENT_RECT) == 8);

inline constexpr ULONG GRADIENT_FILL_RECT_H = 0x00;
inline constexpr ULONG GRADIENT_FILL_RECT_V = 0x01;
inline constexpr ULONG GRADIENT_FILL_TRIANGLE = 0x02;
inline constexpr ULONG GRADIENT_FILL_OP_FLAG = 0xFF;

// ---- Alpha blending ----
struct BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
};
static_assert(sizeof(BLENDFUNCTION) == 4);

inline constexpr BYTE AC_SRC_OVER = 0x00;
inline constexpr BYTE AC_SRC_ALPHA = 0x01;

// ---- Charsets ----
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE SYMBOL_CHARSET = 2;
inline constexpr BYTE MAC_CHARSET = 77;
inline constexpr BYTE SHIFTJIS_CHARSET = 128;
inline constexpr BYTE HANGUL_CHARSET = 129;
inline constexpr BYTE JOHAB_CHARSET = 130;
inline constexpr BYTE GB2312_CHARSET = 134;
inline constexpr BYTE CHINESEBIG5_CHARSET = 136;
inline constexpr BYTE GREEK_CHARSET = 161;
inline constexpr BYTE TURKISH_CHARSET = 162;
inline constexpr BYTE VIETNAMESE_CHARSET = 163;
inline constexpr BYTE HEBREW_CHARSET = 177;
inline constexpr BYTE ARABIC_CHARSET = 178;
inline constexpr BYTE BALTIC_CHARSET = 186;
inline constexpr BYTE RUSSIAN_CHARSET = 204;
inline constexpr BYTE THAI_CHARSET = 222;
inline constexpr BYTE EASTEUROPE_CHARSET = 238;
inline constexpr BYTE OEM_CHARSET = 255;

// ---- Pitch and family ----
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;
inline constexpr BYTE FF_SCRIPT = 0x40;
inline constexpr BYTE FF_DECORATIVE = 0x50;

// ---- Weights ----
inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_THIN = 100;
inline constexpr LONG FW_EXTRALIGHT = 200;
inline constexpr LONG FW_LIGHT = 300;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_MEDIUM = 500;
inline constexpr LONG FW_SEMIBOLD = 600;
inline constexpr LONG FW_BOLD = 700;
inline constexpr LONG FW_EXTRABOLD = 800;
inline constexpr LONG FW_HEAVY = 900;

// ---- Binary raster operations (the bytes of a MIX) ----
inline constexpr ULONG R2_BLACK = 1;
inline constexpr ULONG R2_NOTMERGEPEN = 2;
inline constexpr ULONG R2_MASKNOTPEN = 3;
inline constexpr ULONG R2_NOTCOPYPEN = 4;
inline constexpr ULONG R2_MASKPENNOT = 5;
inline constexpr ULONG R2_NOT = 6;
inline constexpr ULONG R2_XORPEN = 7;
inline constexpr ULONG R2_NOTMASKPEN = 8;
inline constexpr ULONG R2_MASKPEN = 9;
inline constexpr ULONG R2_NOTXORPEN = 10;
inline constexpr ULONG R2_NOP = 11;
inline constexpr ULONG R2_MERGENOTPEN = 12;
inline constexpr ULONG R2_COPYPEN = 13;
inline constexpr ULONG R2_MERGEPENNOT = 14;
inline constexpr ULONG R2_MERGEPEN = 15;
inline constexpr ULONG R2_WHITE = 16;

// ---- Ternary raster operations ----
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCINVERT = 0x00660046;

// ---- Stretching modes ----
inline constexpr ULONG BLACKONWHITE = 1;
inline constexpr ULONG WHITEONBLACK = 2;
inline constexpr ULONG COLORONCOLOR = 3;
inline constexpr ULONG HALFTONE = 4;
