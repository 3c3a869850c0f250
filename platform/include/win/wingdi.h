// User-mode device contexts and device-independent bitmaps over the graphics engine's bitmaps: the screen (32 bits
// a pixel), memory contexts compatible with it, bitmaps, solid brushes and pens, rectangles, and stretching DIBs in
// and reading them back. Handles belong to the machine that was bound when they were made.
#pragma once

#include "win/base.h"
#include "win/gditypes.h"

struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
struct HPEN__;
using HPEN = HPEN__*;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: the first row is the top one
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
static_assert(sizeof(BITMAPINFO) == 44);

inline constexpr DWORD BI_RGB = 0;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr int PS_SOLID = 0;
// The screen's format: 32 bits a pixel, blue, green, red and an unused byte in memory.
inline constexpr int kScreenBitsPerPixel = 32;

// A context of a window's client area or (null) of the screen; null when the window does not exist. ReleaseDC gives
// it back: 1, and 0 for anything that is not one of GetDC's.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// A memory context with the screen's format, holding a 1 x 1 bitmap until another is selected.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// A bitmap of the screen's format, white-less (zeroed); null when it cannot be made (ERROR_NOT_ENOUGH_MEMORY, or
// ERROR_INVALID_PARAMETER for a size below 1).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
// Selects a bitmap (memory contexts only), a brush or a pen; the one it replaces, or null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// A bitmap, brush or pen that no context holds selected; FALSE otherwise.
BOOL DeleteObject(HGDIOBJ object);
// The rectangle's inside filled with the brush and its edge drawn with the pen (a solid pen of width 1), right and
// bottom excluded.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
// The ellipse inscribed in the rectangle (right and bottom excluded): its inside filled with the brush, its edge
// drawn with the pen (a solid pen of width 1).
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
// A 24- or 32-bit BI_RGB DIB's source rectangle stretched onto the destination (a negative width or height
// mirrors) with SRCCOPY; the source rows it used, or 0 on failure.
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// Rows of the bitmap as a 24- or 32-bit BI_RGB DIB (top-down for a negative height). Without `bits` it fills in
// biSizeImage and returns the bitmap's height; else the rows copied, or 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
