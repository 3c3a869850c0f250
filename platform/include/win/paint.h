// Painting with GDI beyond win/wingdi.h: stock objects, device capabilities, blits between contexts, regions,
// frames, text in the default GUI font, and bitmaps, icons and cursors from a module's resources. A window's
// context (GetDC) paints the window's own pixels (win/window_surface.h); the screen's context paints nothing.
// Every GDI object lives in the machine's one handle table: GdiObjectCount tells how many a program left.
#pragma once

#include <cstddef>

#include "win/base.h"
#include "win/gditypes.h"
#include "win/wingdi.h"

struct HRGN__;
using HRGN = HRGN__*;

struct SIZE {
  LONG cx;
  LONG cy;
};
static_assert(sizeof(SIZE) == 8);

// ---- Stock objects ----
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int BLACK_PEN = 7;
// The object, shared and never deleted; null with ERROR_INVALID_PARAMETER for a kind this system has none of.
HGDIOBJ GetStockObject(int object);

// ---- Device capabilities ----
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
// Every context of the screen, a window or memory answers for the screen: its size in pixels, 32 bits a pixel in
// one plane, 96 pixels an inch. 0 for another index or what is no context.
int GetDeviceCaps(HDC dc, int index);

// ---- Blits ----
// The source context's pixels (x1, y1) onward onto the rectangle of the destination with the ternary raster
// operation (SRCCOPY, and any other the engine knows; a pattern is the destination's brush). The source may be
// null for an operation that does not read it. FALSE with ERROR_INVALID_HANDLE for what is no context.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int x1, int y1, DWORD rop);

// ---- Regions ----
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
// What a region holds, the answer of CombineRgn; RGN_ERROR when it failed.
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;
// The rectangle's pixels, right and bottom excluded (corners in either order).
HRGN CreateRectRgn(int left, int top, int right, int bottom);
// The destination becomes the two regions combined (RGN_COPY: the first alone); the destination may be one of
// them. RGN_ERROR with ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER.
int CombineRgn(HRGN dest, HRGN first, HRGN second, int mode);
// The region's bounds; its kind, RGN_ERROR for what is no region.
int GetRgnBox(HRGN region, RECT* box);
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
// The rectangle filled with the brush, right and bottom excluded.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// A frame one pixel wide along the rectangle's inside edge, right and bottom excluded.
BOOL FrameRect(HDC dc, const RECT* rect, HBRUSH brush);

// ---- Text ----
// The default GUI font: the font a context starts with. Text is black on an opaque white cell whose top left is
// (x, y); the cell is GetTextExtentPoint32's size. FALSE (ERROR_FILE_NOT_FOUND) when the machine has no font file
// for it.
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// The text in the ANSI code page.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);

// ---- Resources ----
inline LPSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(id)); }
// A new bitmap of the module's bitmap resource (LoadImageW's), which the caller deletes; null with
// ERROR_RESOURCE_NAME_NOT_FOUND.
HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name);
HBITMAP LoadBitmapA(HINSTANCE module, const char* name);
// The module's icon resource, shared (not deleted) while the module is loaded; null with
// ERROR_RESOURCE_NAME_NOT_FOUND, or ERROR_RESOURCE_DATA_NOT_FOUND for a module without resources.
HICON LoadIconW(HINSTANCE module, LPCWSTR name);
inline const LPCWSTR IDC_ARROW = reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(32512));
// The system's arrow (module null, IDC_ARROW); null with ERROR_RESOURCE_NAME_NOT_FOUND for another cursor.
HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR name);

namespace kq {

class Machine;

// The GDI objects a machine's programs hold: contexts, bitmaps, brushes, pens and regions (stock objects are not
// counted).
std::size_t GdiObjectCount(Machine& machine);

}  // namespace kq
