// The clipboard, the movable memory blocks programs put on it, and bitmaps: a module's bitmap resources loaded as
// GDI bitmaps. The clipboard is the machine's: one thread at a time holds it open; its formats keep the order in
// which they were set. Memory formats hold blocks of GlobalAlloc, GDI formats (CF_BITMAP, ...) hold GDI handles;
// the clipboard owns what is set on it and frees it when it is emptied or the format is set again.
#pragma once

#include <cstdint>
#include <vector>

#include "win/base.h"
#include "win/bitmap_pixels.h"
#include "win/gditypes.h"

struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_SHARE = 0x2000;
inline constexpr UINT GMEM_DDESHARE = GMEM_SHARE;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Null with ERROR_NOT_ENOUGH_MEMORY for a block the machine cannot give.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// 0 with ERROR_INVALID_HANDLE for what is no block.
SIZE_T GlobalSize(HGLOBAL block);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
// Null on success, the block itself when it is no block.
HGLOBAL GlobalFree(HGLOBAL block);

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_BITMAP = 2;
inline constexpr UINT CF_METAFILEPICT = 3;
inline constexpr UINT CF_OEMTEXT = 7;
inline constexpr UINT CF_DIB = 8;
inline constexpr UINT CF_PALETTE = 9;
inline constexpr UINT CF_UNICODETEXT = 13;
inline constexpr UINT CF_ENHMETAFILE = 14;
inline constexpr UINT CF_LOCALE = 16;
inline constexpr UINT CF_DIBV5 = 17;
inline constexpr UINT CF_DSPBITMAP = 0x0082;
inline constexpr UINT CF_DSPENHMETAFILE = 0x008E;
inline constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;

// FALSE with ERROR_ACCESS_DENIED while another thread holds the clipboard open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// The calling thread must hold the clipboard open (else ERROR_CLIPBOARD_NOT_OPEN), for each of these.
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
// The format after `format` (0: the first); 0 at the end with ERROR_SUCCESS.
UINT EnumClipboardFormats(UINT format);
int CountClipboardFormats();
BOOL IsClipboardFormatAvailable(UINT format);
// True when the format's data are GDI handles rather than memory blocks.
bool IsGdiClipboardFormat(UINT format);

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_LOADMAP3DCOLORS = 0x1000;
// The colours LR_LOADMAP3DCOLORS maps: dark grey, grey and light grey of a resource to the 3-D colours.
inline constexpr DWORD kResourceShadow = 0x808080, kResourceFace = 0xC0C0C0, kResourceLight = 0xDFDFDF;
inline constexpr DWORD kSystemShadow = 0xA0A0A0, kSystemFace = 0xF0F0F0, kSystemLight = 0xE3E3E3;

// A new bitmap from a module's bitmap resource (IMAGE_BITMAP only); null with ERROR_RESOURCE_NAME_NOT_FOUND.
HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags);
// Frees a bitmap of LoadImageW or of the clipboard, or else any GDI object (wingdi.h); FALSE for what is none.
BOOL DeleteObject(HANDLE object);

namespace kq {

// Bitmap resources of a module, as its resource section would hold them. Registering an id again replaces it.
void RegisterModuleBitmap(HINSTANCE module, WORD id, BitmapPixels bitmap);
// A bitmap handle's pixels; false when it is none.
bool ReadBitmap(HBITMAP bitmap, BitmapPixels* pixels);
// A new bitmap from pixels (the clipboard owns it once set).
HBITMAP CreateBitmapFromPixels(BitmapPixels pixels);

}  // namespace kq
