// Surfaces (bitmaps and device surfaces) and the engine's device records.
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine_state.h"
#include "pixels.h"

namespace {

using kq::engine::EngineState;
using kq::engine::Surface;

using kq::engine::BitsPerPixel;

// Bitmaps of a page's size are kept in large pages where the system offers them: drawing walks down their rows,
// each in another small page, and faulting in a page's bitmap takes a few faults instead of thousands.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

void* AllocateBits(std::size_t size, bool zero) {
  if (zero || size < 2 * kLargePage) return zero ? std::calloc(size, 1) : std::malloc(size);
  const std::size_t rounded = (size + kLargePage - 1) / kLargePage * kLargePage;
  void* memory = std::aligned_alloc(kLargePage, rounded);
  if (memory) ::madvise(memory, rounded, MADV_HUGEPAGE);  // a hint: nothing is lost without it
  return memory;
}

DHPDEV DevicePdev(EngineState& state, HDEV hdev) {
  auto it = state.devices.find(reinterpret_cast<ULONG_PTR>(hdev));
  return it == state.devices.end() ? nullptr : it->second;
}

}  // namespace

HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits) {
  const ULONG bpp = BitsPerPixel(iFormat);
  if (bpp == 0 || sizl.cx <= 0 || sizl.cy == 0 || sizl.cy == std::numeric_limits<LONG>::min() || lWidth < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const bool topDown = (fl & BMF_TOPDOWN) != 0 || sizl.cy < 0;
  const ULONGLONG height = static_cast<ULONGLONG>(sizl.cy < 0 ? -static_cast<LONGLONG>(sizl.cy) : sizl.cy);
  const ULONGLONG rowBits = static_cast<ULONGLONG>(sizl.cx) * bpp;
  const ULONGLONG rowBytes = (rowBits + 7) / 8;
  ULONGLONG stride = (rowBits + 31) / 32 * 4;  // rows are DWORD aligned
  if (lWidth != 0) {
    if (static_cast<ULONGLONG>(lWidth) < rowBytes || lWidth % 4 != 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    stride = static_cast<ULONGLONG>(lWidth);
  }
  const ULONGLONG total = stride * height;  // both below 2^32: no overflow

  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  if (stride > static_cast<ULONGLONG>(std::numeric_limits<LONG>::max()) ||
      total > std::numeric_limits<ULONG>::max() || total > state.bitmapLimit) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }

  auto surface = std::make_unique<Surface>();
  BYTE* bits = static_cast<BYTE*>(pvBits);
  if (!bits) {
    void* memory = AllocateBits(total, !(fl & BMF_NOZEROINIT));
    if (!memory) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    surface->ownedBits.reset(static_cast<BYTE*>(memory));
    bits = surface->ownedBits.get();
  }
  SURFOBJ& so = surface->so;
  so.sizlBitmap = {sizl.cx, static_cast<LONG>(height)};
  so.cjBits = static_cast<ULONG>(total);
  so.pvBits = bits;
  so.pvScan0 = topDown ? bits : bits + (height - 1) * stride;
  so.lDelta = topDown ? static_cast<LONG>(stride) : -static_cast<LONG>(stride);
  so.iUniq = state.NextSurfaceUniq();
  so.iBitmapFormat = iFormat;
  so.iType = STYPE_BITMAP;
  so.fjBitmap = static_cast<USHORT>((topDown ? BMF_TOPDOWN : 0) | (fl & (BMF_NOZEROINIT | BMF_DONTCACHE)));
  return reinterpret_cast<HBITMAP>(state.AddSurface(std::move(surface))->so.hsurf);
}

HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat) {
  if (BitsPerPixel(iFormatCompat) == 0 || sizl.cx <= 0 || sizl.cy <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  auto surface = std::make_unique<Surface>();
  SURFOBJ& so = surface->so;
  so.dhsurf = dhsurf;
  so.sizlBitmap = sizl;
  so.iUniq = state.NextSurfaceUniq();
  so.iBitmapFormat = iFormatCompat;
  so.iType = STYPE_DEVICE;
  return state.AddSurface(std::move(surface))->so.hsurf;
}

BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  Surface* surface = state.FindSurface(hsurf);
  if (!surface || !state.devices.count(reinterpret_cast<ULONG_PTR>(hdev))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  surface->so.hdev = hdev;
  surface->so.dhpdev = DevicePdev(state, hdev);
  surface->hooks = flHooks;
  return TRUE;
}

SURFOBJ* EngLockSurface(HSURF hsurf) {
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  Surface* surface = state.FindSurface(hsurf);
  if (!surface) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // The device's driver record may be set or replaced after the association; a lock hands out the current one.
  if (surface->so.hdev) surface->so.dhpdev = DevicePdev(state, surface->so.hdev);
  ++surface->locks;
  return &surface->so;
}

void EngUnlockSurface(SURFOBJ* pso) {
  if (!pso) return;
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  Surface* surface = state.FindSurface(pso);
  if (!surface || surface->locks == 0) return;
  --surface->locks;
  state.ReleaseSurface(surface);
}

BOOL EngDeleteSurface(HSURF hsurf) {
  auto& state = EngineState::Current();
  std::lock_guard lock(state.Mutex());
  Surface* surface = state.FindSurface(hsurf);
  if (!surface) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  state.DropHandle(surface);
  return TRUE;
}

namespace kq {

HDEV CreateEngineDevice() {
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  const ULONG_PTR handle = state.NewHandle();
  state.devices.emplace(handle, nullptr);
  return reinterpret_cast<HDEV>(handle);
}

BOOL SetEngineDevicePdev(HDEV hdev, DHPDEV dhpdev) {
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  auto it = state.devices.find(reinterpret_cast<ULONG_PTR>(hdev));
  if (it == state.devices.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  it->second = dhpdev;
  return TRUE;
}

BOOL DeleteEngineDevice(HDEV hdev) {
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  if (state.devices.erase(reinterpret_cast<ULONG_PTR>(hdev)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

std::optional<SurfaceInfo> QuerySurface(HSURF hsurf) {
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  const engine::Surface* surface = state.FindSurface(hsurf);
  if (!surface) return std::nullopt;
  return SurfaceInfo{surface->so.hdev, surface->hooks, surface->so.iType, surface->locks};
}

}  // namespace kq
