// A program's text as the engine hands it to the driver: a font realised for the device, the string's glyph
// positions (with outlines when the driver asked for them) and DrvTextOut with its brushes and opaque rectangle.
#include <algorithm>
#include <cmath>

#include "app_drawing.h"
#include "color_glyphs.h"
#include "text_layout.h"

namespace kq {

using appgdi::DrawCall;

namespace {
// The glyphs of an outline font to the driver's DrvTextOut.
bool ShowString(DrawCall& call, DeviceContext::Drawing::Font* font, POINTL origin, WStringView text,
                const TextStyle& style, ULONG rop2);
}  // namespace

bool DeviceContext::TextOut(POINTL origin, WStringView text, const TextStyle& style, ULONG rop2) {
  if (!CanDraw()) return false;
  if (!appgdi::ValidRop2(rop2)) return false;
  // A string that starts outside the device's coordinate space is refused; one that runs out of it is cut.
  if (!appgdi::InDeviceSpace({origin.x, origin.y})) return false;
  const bool opaque = style.background.has_value();
  if (text.empty()) {
    // No glyphs: what is left is the opaque rectangle.
    if (!opaque || !style.opaqueRect) return true;
    return FillRect(*style.opaqueRect, Brush{*style.background}, PATCOPY);
  }
  std::optional<std::vector<engine::ColorGlyphImage>> images;
  {
    DrawCall call(machine_, *drawing_);
    if (!call.Ready()) return false;
    if (Drawing::Font* font = drawing_->FontFor(style.font)) return ShowString(call, font, origin, text, style, rop2);
    // A face of colour bitmaps alone has no outlines for the driver: its glyphs go as images.
    const DWORD error = GetLastError();
    FontRequest wanted = style.font;
    wanted.dpi = static_cast<LONG>(drawing_->device.GdiInfo().ulLogPixelsY);
    images = engine::LayOutColorGlyphs(wanted, text, style.glyphIndices, origin);
    if (!images) {
      SetLastError(error);
      return false;
    }
  }
  if (opaque) {
    RECTL box = style.opaqueRect.value_or(RECTL{origin.x, origin.y, origin.x, origin.y});
    if (!style.opaqueRect)
      for (const auto& image : *images)
        box = {std::min(box.left, image.dest.left), std::min(box.top, image.dest.top),
               std::max(box.right, image.dest.right), std::max(box.bottom, image.dest.bottom)};
    if (!FillRect(box, Brush{*style.background}, PATCOPY)) return false;
  }
  for (const auto& image : *images) {
    BitmapBits bits;
    bits.width = image.width;
    bits.height = image.height;
    bits.bitsPerPixel = 32;
    bits.bits = image.bgra;
    bits.stride = image.width * 4;
    if (!AlphaBlend(bits, image.dest, std::nullopt, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA})) return false;
  }
  return true;
}

namespace {

bool ShowString(DrawCall& call, DeviceContext::Drawing::Font* font, POINTL origin, WStringView text,
                const TextStyle& style, ULONG rop2) {
  const bool opaque = style.background.has_value();

  TextRequest request;
  request.text = WString(text);
  request.origin = origin;
  request.glyphIndices = style.glyphIndices;
  request.glyphMode = font->glyphMode;
  // Right-to-left and complex scripts go as a program that lays them out hands them: shaped glyphs by index, in
  // visual order, with their advances.
  if (!style.glyphIndices) {
    if (auto laidOut = engine::LayOutComplexText(*font->font, text)) {
      request.text = std::move(laidOut->glyphs);
      request.advances = std::move(laidOut->advances);
      request.glyphIndices = true;
    }
  }
  auto string = TextString::Build(*font->font, request);
  STROBJ* stro = string->Object();

  RECTL opaqueRect = style.opaqueRect ? appgdi::OrderedRect(*style.opaqueRect) : stro->rclBkGround;
  // Glyphs may reach past the string's box: half an em to the sides holds overhangs and slants, a quarter above
  // and below what reaches past the font's ascent and descent.
  const RECTL box = stro->rclBkGround;
  const LONG across = static_cast<LONG>(std::ceil(font->font->EmPixels() / 2));
  const LONG up = static_cast<LONG>(std::ceil(font->font->EmPixels() / 4));
  const RECTL wide = appgdi::Grow(box, across), tall = appgdi::Grow(box, up);
  RECTL bounds{wide.left, tall.top, wide.right, tall.bottom};
  if (opaque) {
    bounds = RECTL{std::min(bounds.left, opaqueRect.left), std::min(bounds.top, opaqueRect.top),
                   std::max(bounds.right, opaqueRect.right), std::max(bounds.bottom, opaqueRect.bottom)};
  }
  CLIPOBJ* clip = call.Clip(bounds);
  if (!clip) return true;
  BRUSHOBJ* fore = call.Solid(style.color);
  BRUSHOBJ* back = opaque ? call.Solid(*style.background) : nullptr;
  if (!fore || (opaque && !back)) return false;
  DrawCall::Begin();
  return DrawCall::Done(DdiTextOut(call.Surface(), stro, font->font->Object(), clip, nullptr,
                                   opaque ? &opaqueRect : nullptr, fore, back, call.BrushOrigin(),
                                   DrawCall::Mix(rop2)));
}

}  // namespace

}  // namespace kq
