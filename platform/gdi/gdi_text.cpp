// Text in the default GUI font: black glyphs on an opaque white cell whose top left is the point given.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "gdi_state.h"
#include "win/ansi_text.h"
#include "win/enginebrush.h"
#include "win/paint.h"

namespace {

using kq::gdi::GdiState;
using kq::gdi::HandleValue;

// The string laid out with its cell's top left at `at` (none: on the baseline at 0); null with the last error set.
std::unique_ptr<kq::TextString> LayOut(GdiState& state, HDC dc, LPCWSTR text, int count, std::optional<POINTL> at) {
  if (!state.Find<kq::gdi::Context>(HandleValue(dc))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  kq::RealizedFont* font = state.GuiFont();
  if (!font) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  kq::TextRequest request;
  request.text = kq::WString(text ? text : u"", static_cast<std::size_t>(count));
  auto string = kq::TextString::Build(*font, request);
  if (!at) return string;
  // The baseline lies below the cell's top by the cell's part above it (held in range: a cell that far away is
  // off every window anyway).
  const std::int64_t baseline = std::int64_t{at->y} - string->Object()->rclBkGround.top;
  request.origin = POINTL{at->x, static_cast<LONG>(std::clamp<std::int64_t>(baseline, INT32_MIN, INT32_MAX))};
  return kq::TextString::Build(*font, request);
}

}  // namespace

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  const auto string = LayOut(state, dc, text, count, POINTL{x, y});
  if (!string) return FALSE;
  if (count == 0) return TRUE;
  const kq::gdi::Target target(state, *state.Find<kq::gdi::Context>(HandleValue(dc)));
  SURFOBJ* so = target.Surface();
  if (!so) return TRUE;
  STROBJ* stro = string->Object();
  RECTL cell = stro->rclBkGround;
  const auto ink = kq::BrushObject::Solid(kq::gdi::ScreenValue(0x000000));
  const auto paper = kq::BrushObject::Solid(kq::gdi::ScreenValue(0xFFFFFF));
  POINTL origin{0, 0};
  return EngTextOut(so, stro, state.GuiFont()->Object(), nullptr, nullptr, &cell, ink->Object(), paper->Object(),
                    &origin, R2_COPYPEN | (R2_COPYPEN << 8));
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
  if (count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const kq::WString wide = kq::WideOfAnsi(std::string_view(text ? text : "", static_cast<std::size_t>(count)));
  return TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  auto& state = GdiState::Current();
  std::lock_guard lock(state.Mutex());
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto string = LayOut(state, dc, text, count, std::nullopt);
  if (!string) return FALSE;
  const RECTL& cell = string->Object()->rclBkGround;
  *size = SIZE{cell.right - cell.left, cell.bottom - cell.top};
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
  if (count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const kq::WString wide = kq::WideOfAnsi(std::string_view(text ? text : "", static_cast<std::size_t>(count)));
  return GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), size);
}
