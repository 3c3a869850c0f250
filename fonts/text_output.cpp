// The text of a text-out call: its opaque background, then each glyph through the page's text writer, with the
// text matrix and size made from the font's transform.
#include <algorithm>
#include <cmath>
#include <string>

#include "fonts/cid_embed_font.h"
#include "pdf/doc_writer.h"
#include "pdf/tokens.h"
#include "text_placement.h"

namespace {

constexpr double kItalicSlant = 0.342;
constexpr double kBoldWidthPerEm = 0.02;

// The character at `unit` of a call's string, a surrogate pair being one character, as the engine gives a pair one
// glyph; `unit` moves past it. A lone surrogate stands for itself.
char32_t NextCharacter(const WCHAR* text, std::size_t& unit) {
  const char32_t first = text[unit++];
  if (first < 0xD800 || first >= 0xDC00) return first;
  const char32_t second = text[unit];
  if (second < 0xDC00 || second >= 0xE000) return first;
  ++unit;
  return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
}

// Fills every glyph's outline (as the engine hands them with FO_PATHOBJ, relative to the glyph's origin) in the
// text colour. False, with nothing written, when a glyph comes without its outline: the text then goes out as text.
bool DrawGlyphOutlines(CPDF_DocWriter& writer, STROBJ* string, std::uint32_t color) {
  std::string paths;
  STROBJ_vEnumStart(string);
  BOOL more = FALSE;
  do {
    ULONG count = 0;
    GLYPHPOS* positions = nullptr;
    more = STROBJ_bEnum(string, &count, &positions);
    if (count == 0 || !positions) break;
    for (ULONG i = 0; i < count; ++i) {
      const GLYPHPOS& glyph = positions[i];
      if (!glyph.pgdf || !glyph.pgdf->ppo) return false;
      std::string outline = writer.PathToString(glyph.pgdf->ppo, true);
      if (outline.empty()) continue;  // a blank
      // The outline converts as if the origin were the device's; the glyph's origin moves it into place.
      paths += "q 1 0 0 1 ";
      AppendFormatG(paths, writer.ScaleToPoints(glyph.ptl.x));
      paths += ' ';
      AppendFormatG(paths, -writer.ScaleToPoints(glyph.ptl.y));
      paths += " cm ";
      paths += outline;
      paths += "f Q\n";
    }
  } while (more);
  std::string& out = *writer.contentStream;
  writer.textWriter.EndText(out);
  writer.SetFillColor(out, color);
  out += paths;
  return true;
}

}  // namespace

TextPlacement PlaceText(const CPDF_DocWriter& writer, const FONTOBJ& font, const IFIMETRICS& ifi,
                        const XFORML* transform) {
  TextPlacement placement;
  if (!transform) {
    if (font.ulStyleSize != 0) {
      placement.size = font.ulStyleSize;
    } else {
      // A record whose widest advance is -1 units gives no size, and its text is not shown.
      const double divisor = static_cast<double>(ifi.fwdMaxCharInc) + 1;
      if (divisor != 0)
        placement.size = writer.ScaleToPoints(static_cast<double>(ifi.fwdUnitsPerEm) * font.cxMax / divisor);
    }
    return placement;
  }
  // The products are the engine's single-precision ones.
  const auto scaled = [&](FLOATL element) {
    return writer.ScaleToPoints(static_cast<FLOATL>(static_cast<FLOATL>(ifi.fwdUnitsPerEm) * element));
  };
  const double A = scaled(transform->eM11), B = scaled(transform->eM12);
  const double C = scaled(transform->eM21), D = scaled(transform->eM22);
  placement.size = 1.0;
  if (font.flFontType & FO_SIM_BOLD) placement.boldWidth = (C != 0 ? std::fabs(C) : std::fabs(D)) * kBoldWidthPerEm;
  if (font.flFontType & FO_SIM_ITALIC) {
    placement.horizontal = {A, C, B + kItalicSlant * A, D + kItalicSlant * C};
    placement.vertical = {-(C - kItalicSlant * D), A - kItalicSlant * B, -D, B};
  } else {
    placement.horizontal = {A, C, B, D};
    placement.vertical = {-C, A, -D, B};
  }
  placement.verticalFace = (font.flFontType & FO_VERT_FACE) != 0;
  // A negated zero element would reach the content as "-0".
  for (TextMatrix* m : {&placement.horizontal, &placement.vertical})
    for (double* element : {&m->a, &m->b, &m->c, &m->d}) *element += 0.0;
  return placement;
}

void CPDF_DocWriter::TextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, BRUSHOBJ* foreground,
                             BRUSHOBJ* opaque, const RECTL* opaqueRect, POINTL*, MIX) {
  if (cancelled || !contentStream) return;
  FlushPendingRaster(surface);
  std::string& out = *contentStream;

  if (opaque && opaqueRect) {
    textWriter.EndText(out);
    const std::uint32_t color = BRUSHOBJ_ulGetBrushColor(opaque);
    SetFillColor(out, color);
    SetStrokeColor(out, color);
    double x0 = opaqueRect->left, y0 = opaqueRect->bottom, x1 = opaqueRect->right, y1 = opaqueRect->top;
    DeviceToPdf(x0, y0);
    DeviceToPdf(x1, y1);
    AppendFormatG(out, x0);
    out += ' ';
    AppendFormatG(out, y0);
    out += "  ";
    AppendFormatG(out, x1 - x0);
    out += ' ';
    AppendFormatG(out, y1 - y0);
    out += " re f ";
  }
  if (!string || !font) return;

  if (fillColorSet) textWriter.textColor = fillColor;
  const std::uint32_t textColor = foreground ? BRUSHOBJ_ulGetBrushColor(foreground) : 0;

  const IFIMETRICS* ifi = FONTOBJ_pifi(font);
  if (!ifi) return;
  XFORMOBJ* transform = FONTOBJ_pxoGetXform(font);
  XFORML xform{};
  const bool transformed = transform && XFORMOBJ_iGetXform(transform, &xform) != DDI_ERROR;
  const TextPlacement placement = PlaceText(*this, *font, *ifi, transformed ? &xform : nullptr);
  const double width = placement.boldWidth;
  if (width > 0 && (!lineWidthSet || lineWidth != width)) {
    // Inside a pending text object the width goes with the text that follows, and the text before keeps its own.
    if (textWriter.pendingText.empty()) {
      AppendReal(out, width);
      out += " w ";
    } else {
      textWriter.CloseArray();
      AppendReal(textWriter.pendingText, width);
      textWriter.pendingText += " w ";
    }
    lineWidth = width;
    lineWidthSet = 1;
  }

  const bool fromString = string->pwszOrg && !(string->flAccel & SO_GLYPHINDEX_TEXTOUT);
  CPDF_Font* pdfFont = SelectFont(font);
  if (!pdfFont) return;
  // PDF/A holds no font that is not embedded: such a font's glyphs are drawn from their outlines.
  if (pdfA1b && !dynamic_cast<CPDF_CIDEmbedFont*>(pdfFont) && DrawGlyphOutlines(*this, string, textColor)) return;

  // An embedded font reads glyphs that came without their characters back from the face itself (a ligature as
  // its letters), so it is handed no guessed character.
  const bool embedded = dynamic_cast<CPDF_CIDEmbedFont*>(pdfFont) != nullptr;
  bool verticalMode = placement.verticalFace;
  std::uint32_t previousResource = 0;
  ULONG n = 0;
  std::size_t unit = 0;  // where the n-th glyph's character starts in the string
  STROBJ_vEnumStart(string);
  BOOL more = FALSE;
  do {
    ULONG count = 0;
    GLYPHPOS* positions = nullptr;
    more = STROBJ_bEnumPositionsOnly(string, &count, &positions);
    if (count == 0 || !positions) break;
    for (ULONG i = 0; i < count; ++i, ++n) {
      const GLYPHPOS& glyph = positions[i];
      char32_t ch = 0;
      const bool seen = fromString && n < string->cGlyphs;
      if (seen) {
        ch = NextCharacter(string->pwszOrg, unit);
      } else {
        ch = pdfFont->GlyphToUnicode(glyph.hg);
      }
      if (placement.verticalFace) verticalMode = ch >= 0x100;
      const TextMatrix& m = verticalMode ? placement.vertical : placement.horizontal;
      const std::uint32_t resource =
          textWriter.ShowText(seen || !embedded ? ch : 0, glyph.hg, textColor, m.a, m.b, m.c, m.d, *pdfFont, placement.size, glyph.ptl.x,
                              glyph.ptl.y, width > 0 ? width : 0, verticalMode);
      if (resource == 0) continue;
      // The text writer has now set both colours to the text's.
      strokeColor = fillColor = textColor;
      strokeColorSet = fillColorSet = 1;
      if (resource != previousResource && std::find(pageFonts.begin(), pageFonts.end(), resource) == pageFonts.end())
        pageFonts.push_back(resource);
      previousResource = resource;
    }
  } while (more);
}
