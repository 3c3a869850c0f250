#include "win/clipboard.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "win/dialog_templates.h"
#include "win/machine.h"
#include "win/processthreadsapi.h"
#include "win/user.h"
#include "win/wingdi.h"

namespace kq {

namespace {

// Blocks larger than this are refused, as a machine out of memory would.
constexpr SIZE_T kLargestBlock = SIZE_T{1} << 31;

struct ClipboardService {
  explicit ClipboardService(Machine&) {}

  std::mutex mutex;
  std::uintptr_t nextHandle = 0x40000;
  struct Block {
    std::vector<std::byte> data;
    SIZE_T size;
  };
  std::map<HGLOBAL, Block> blocks;
  std::map<std::pair<HINSTANCE, WORD>, BitmapPixels> resources;
  DWORD openBy = 0;  // the thread holding the clipboard open
  std::vector<std::pair<UINT, HANDLE>> formats;

  template <class H>
  H NewHandle() {
    nextHandle += 4;
    return reinterpret_cast<H>(nextHandle);
  }
  // Frees what the clipboard held for a format: a block, or a GDI object of the gdi room.
  void Release(UINT format, HANDLE data) {
    if (IsGdiClipboardFormat(format))
      DeleteObject(static_cast<HGDIOBJ>(data));
    else
      blocks.erase(static_cast<HGLOBAL>(data));
  }
  bool HeldByCaller() {
    if (openBy != 0 && openBy == GetCurrentThreadId()) return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
  }
};

ClipboardService& Clipboard() { return CurrentMachine().Service<ClipboardService>(); }

std::uint32_t Map3DColor(std::uint32_t pixel) {
  switch (pixel & 0xFFFFFF) {
    case kResourceShadow: return kSystemShadow;
    case kResourceFace: return kSystemFace;
    case kResourceLight: return kSystemLight;
    default: return pixel;
  }
}

}  // namespace

void RegisterModuleBitmap(HINSTANCE module, WORD id, BitmapPixels bitmap) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  c.resources[{module, id}] = std::move(bitmap);
}

}  // namespace kq

using kq::Clipboard;

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
  if (bytes > kq::kLargestBlock) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  const HGLOBAL block = c.NewHandle<HGLOBAL>();
  // Every block starts zero-filled, GMEM_ZEROINIT or not; a block of no bytes still has an address.
  c.blocks.emplace(block, kq::ClipboardService::Block{std::vector<std::byte>(std::max<SIZE_T>(bytes, 1)), bytes});
  return block;
}

SIZE_T GlobalSize(HGLOBAL block) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  const auto it = c.blocks.find(block);
  if (it == c.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}

LPVOID GlobalLock(HGLOBAL block) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  const auto it = c.blocks.find(block);
  if (it == c.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.data.data();
}

BOOL GlobalUnlock(HGLOBAL block) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  return c.blocks.count(block) ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  if (!c.blocks.erase(block)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
  }
  return nullptr;
}

bool IsGdiClipboardFormat(UINT format) {
  switch (format) {
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_ENHMETAFILE:
    case CF_DSPBITMAP:
    case CF_DSPENHMETAFILE:
      return true;
    default:
      return false;
  }
}

BOOL OpenClipboard(HWND) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  const DWORD me = GetCurrentThreadId();
  if (c.openBy != 0 && c.openBy != me) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  c.openBy = me;
  return TRUE;
}

BOOL CloseClipboard() {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  if (!c.HeldByCaller()) return FALSE;
  c.openBy = 0;
  return TRUE;
}

BOOL EmptyClipboard() {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  if (!c.HeldByCaller()) return FALSE;
  for (const auto& [format, data] : c.formats) c.Release(format, data);
  c.formats.clear();
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  if (!c.HeldByCaller()) return nullptr;
  const bool known = IsGdiClipboardFormat(format) ? kq::ReadBitmap(static_cast<HBITMAP>(data), nullptr)
                                                       : c.blocks.count(static_cast<HGLOBAL>(data)) > 0;
  if (format == 0 || !known) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto it = std::find_if(c.formats.begin(), c.formats.end(), [format](const auto& f) { return f.first == format; });
  if (it != c.formats.end()) {
    if (it->second != data) c.Release(format, it->second);
    it->second = data;
  } else {
    c.formats.emplace_back(format, data);
  }
  return data;
}

HANDLE GetClipboardData(UINT format) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  if (!c.HeldByCaller()) return nullptr;
  for (const auto& [f, data] : c.formats)
    if (f == format) return data;
  SetLastError(ERROR_SUCCESS);
  return nullptr;
}

UINT EnumClipboardFormats(UINT format) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  if (!c.HeldByCaller()) return 0;
  auto it = c.formats.begin();
  if (format != 0) {
    it = std::find_if(c.formats.begin(), c.formats.end(), [format](const auto& f) { return f.first == format; });
    if (it != c.formats.end()) ++it;
  }
  SetLastError(ERROR_SUCCESS);
  return it == c.formats.end() ? 0 : it->first;
}

int CountClipboardFormats() {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  return static_cast<int>(c.formats.size());
}

BOOL IsClipboardFormatAvailable(UINT format) {
  auto& c = Clipboard();
  std::lock_guard lock(c.mutex);
  return std::any_of(c.formats.begin(), c.formats.end(), [format](const auto& f) { return f.first == format; });
}

// The bitmaps a module registered on the machine, then those compiled into it (win/dialog_templates.h); each load
// is a new GDI bitmap.
HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int, int, UINT flags) {
  if (!IS_INTRESOURCE(name) || type != IMAGE_BITMAP) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  kq::BitmapPixels bitmap;
  {
    auto& c = Clipboard();
    std::lock_guard lock(c.mutex);
    const auto it = c.resources.find({module, id});
    if (it != c.resources.end()) bitmap = it->second;
  }
  if (bitmap.pixels.empty()) {
    const kq::PictureResource* picture = kq::FindBitmapResource(module, id);
    if (!picture) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return nullptr;
    }
    bitmap = {picture->width, picture->height, {picture->pixels.begin(), picture->pixels.end()}};
  }
  if (flags & LR_LOADMAP3DCOLORS)
    std::transform(bitmap.pixels.begin(), bitmap.pixels.end(), bitmap.pixels.begin(), kq::Map3DColor);
  return kq::CreateBitmapFromPixels(std::move(bitmap));
}

BOOL DeleteObject(HANDLE object) { return DeleteObject(static_cast<HGDIOBJ>(object)); }
