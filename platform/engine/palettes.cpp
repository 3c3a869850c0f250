// Palettes: the colour formats of devices and bitmaps.
#include "engine_state.h"

namespace {
// Far above any indexed format; keeps a bad count from asking for gigabytes.
constexpr ULONG kMaxPaletteColors = 65536;
}  // namespace

HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                          FLONG flBlue) {
  kq::PaletteInfo info;
  info.mode = iMode;
  switch (iMode) {
    case PAL_INDEXED:
      if (cColors == 0 || cColors > kMaxPaletteColors) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      info.colors.assign(cColors, 0);
      if (pulColors) info.colors.assign(pulColors, pulColors + cColors);
      break;
    case PAL_BITFIELDS:
      if (flRed == 0 || flGreen == 0 || flBlue == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      info.red = flRed;
      info.green = flGreen;
      info.blue = flBlue;
      break;
    case PAL_RGB:
    case PAL_BGR:
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
  auto& state = kq::engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  const ULONG_PTR handle = state.NewHandle();
  state.palettes.emplace(handle, std::move(info));
  return reinterpret_cast<HPALETTE>(handle);
}

BOOL EngDeletePalette(HPALETTE hpal) {
  auto& state = kq::engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  if (state.palettes.erase(reinterpret_cast<ULONG_PTR>(hpal)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

namespace kq {

std::optional<PaletteInfo> QueryPalette(HPALETTE hpal) {
  auto& state = engine::EngineState::Current();
  std::lock_guard lock(state.Mutex());
  auto it = state.palettes.find(reinterpret_cast<ULONG_PTR>(hpal));
  if (it == state.palettes.end()) return std::nullopt;
  return it->second;
}

}  // namespace kq
