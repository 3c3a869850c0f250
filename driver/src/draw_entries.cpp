// The drawing entries: each finds its device and writer, applies the ignore-background test, brings the page's
// clip in line and hands the call to the vector converter, to the engine's own drawing into the page bitmap, or to
// both, as the imaging model of the device says.
#include "telodrv/draw_entries.h"

#include <algorithm>
#include <array>

#include "draw_target.h"
#include "printer_settings/setting_values.h"
#include "telodrv/os_version.h"

namespace telodrv {

namespace {

// The system versions (major x 100 + minor, 5.1 to 6.0) on which the text of a transparent page is drawn into the
// page bitmap as well as into the PDF, so that a raster region cut later over it still shows it. The window is the
// driver's given behaviour; outside it the text goes to the PDF only.
constexpr DWORD kFirstTextIntoBitmapVersion = 501;
constexpr DWORD kLastTextIntoBitmapVersion = 600;
// The engine reads at most this many extra rectangles of a string.
constexpr int kMaxExtraRects = 64;

// The engine's text drawing, before it draws: the opaque and extra rectangles and the box of the glyphs' ink where they lie (a
// string's own box may be narrower than its glyphs' overhangs). A glyph the font does not describe, or any glyph of
// a vertical face (whose glyphs may be turned), counts the string's box grown by its longer side on every side.
void InkingText(const Target& target, STROBJ* string, FONTOBJ* font, const RECTL* extra, const RECTL* opaque) {
  if (opaque) Inking(target, *opaque);
  for (int i = 0; extra && i < kMaxExtraRects; ++i) {
    const RECTL& r = extra[i];
    if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) break;
    Inking(target, r);
  }
  if (!string || !font) return;
  const auto whole = [&] {
    const RECTL& b = string->rclBkGround;
    const LONG grow = std::max(b.bottom - b.top, b.right - b.left);
    Inking(target, RECTL{b.left - grow, b.top - grow, b.right + grow, b.bottom + grow});
  };
  if (font->flFontType & FO_VERT_FACE) return whole();
  STROBJ_vEnumStart(string);
  RECTL box{0, 0, 0, 0};
  // A line repeats few glyphs: their ink boxes are asked of the font once a string.
  struct Known {
    HGLYPH glyph;
    RECTL ink;
  };
  std::array<Known, 64> known;
  std::size_t knownCount = 0;
  bool more = true;
  while (more) {
    ULONG count = 0;
    GLYPHPOS* positions = nullptr;
    more = STROBJ_bEnumPositionsOnly(string, &count, &positions);
    for (ULONG i = 0; i < count && positions; ++i) {
      HGLYPH glyph = positions[i].hg;
      const Known* found = nullptr;
      for (std::size_t k = 0; k < knownCount && !found; ++k)
        if (known[k].glyph == glyph) found = &known[k];
      if (!found) {
        void* data = nullptr;
        if (FONTOBJ_cGetGlyphs(font, FO_PATHOBJ, 1, &glyph, &data) != 1 || !data) {
          STROBJ_vEnumStart(string);
          return whole();
        }
        Known& slot = known[knownCount < known.size() ? knownCount++ : glyph % known.size()];
        slot = Known{glyph, static_cast<const GLYPHDATA*>(data)->rclInk};
        found = &slot;
      }
      const RECTL& ink = found->ink;
      const POINTL at = positions[i].ptl;
      if (ink.left < ink.right && ink.top < ink.bottom) {
        const RECTL r{ink.left + at.x, ink.top + at.y, ink.right + at.x, ink.bottom + at.y};
        box = box.left == box.right ? r
                                    : RECTL{std::min(box.left, r.left), std::min(box.top, r.top),
                                            std::max(box.right, r.right), std::max(box.bottom, r.bottom)};
      }
    }
  }
  if (box.left != box.right) Inking(target, box, 1);
  STROBJ_vEnumStart(string);
}

}  // namespace

ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ* font) {
  if (!font || font->flFontType == 0) return FO_PATHOBJ;
  const IFIMETRICS* ifi = FONTOBJ_pifi(font);
  if (!(font->flFontType & FO_TYPE_TRUETYPE) || !ifi || ifi->fsType != FM_TYPE_LICENSED) return FO_HGLYPHS;
  DriverPdev* pdev = PdevFromHandle(dhpdev);
  const CPDF_DocWriter* writer = pdev ? pdev->writer.get() : nullptr;
  if (!writer) return FO_HGLYPHS;
  if (writer->pdfA1b) return FO_PATHOBJ;
  if (writer->fontEmbed == setting_value::kEmbedAll) return FO_PATHOBJ;
  if (writer->fontEmbed != setting_value::kEmbedListed) return FO_HGLYPHS;
  return writer->IsFaceInEmbedList(IfiMetricsString(*ifi, ifi->dpwszFamilyName)) ? FO_PATHOBJ : FO_HGLYPHS;
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclTrg,
               POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
  const auto target = TargetOf(psoTrg);
  if (!target || !prclTrg) return TRUE;
  if (target->ignoreBackground && UsesDestination(rop4)) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  const RECTL bounds = Normalized(*prclTrg);
  writer.EmitClip(psoTrg, pco, &bounds);

  const auto image = [&] {
    if (!psoSrc || !pptlSrc) return;
    const RECTL from{pptlSrc->x, pptlSrc->y, pptlSrc->x + (bounds.right - bounds.left),
                     pptlSrc->y + (bounds.bottom - bounds.top)};
    writer.DrawBitmap(psoSrc, pxlo, *prclTrg, from);
  };
  if (!target->transparent) {
    if (psoSrc)
      image();
    else if (!psoMask)
      writer.FillRectangle(psoTrg, *prclTrg, pbo, rop4);
    return TRUE;
  }
  const auto engineDraw = [&](SURFOBJ* source, XLATEOBJ* xlate) {
    Inking(*target, bounds);
    ReadingSource(*target, source);
    EngBitBlt(psoTrg, source, psoMask, pco, xlate, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
  };
  const bool copies = !psoMask && pptlSrc && (rop4 & 0xFFFF) == 0xCCCC;
  if (DrawCompressedSource(*target, psoTrg, psoSrc, copies, bounds, image, engineDraw)) return TRUE;
  engineDraw(psoSrc, pxlo);
  if (!psoSrc && !psoMask && writer.FillRectangle(psoTrg, *prclTrg, pbo, rop4)) return TRUE;
  writer.AddDirtyRect(*prclTrg);
  return TRUE;
}

BOOL DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2, RECTL* prclBounds,
               MIX mix) {
  const auto target = TargetOf(pso);
  if (!target) return TRUE;
  if (target->ignoreBackground && MixUsesDestination(mix)) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  writer.EmitClip(pso, pco, prclBounds);
  if (target->transparent) {
    Inking(*target, RECTL{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)});
    EngLineTo(pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix);
  }
  writer.LineTo(pso, x1, y1, x2, y2, pbo, mix);
  return TRUE;
}

BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* pptlBrushOrg,
                   LINEATTRS* plineattrs, MIX mix) {
  const auto target = TargetOf(pso);
  if (!target || !ppo) return TRUE;
  if (target->ignoreBackground && MixUsesDestination(mix)) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  const RECTL bounds = CPDF_DocWriter::PathPixelBounds(ppo, pxo, plineattrs, true);
  writer.EmitClip(pso, pco, &bounds);
  writer.StrokeFillPath(pso, ppo, pxo, pbo, nullptr, pptlBrushOrg, plineattrs, mix, 0);
  if (target->transparent) {
    Inking(*target, bounds);
    EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
  }
  return TRUE;
}

BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                 FLONG flOptions) {
  const auto target = TargetOf(pso);
  if (!target || !ppo) return TRUE;
  if (target->ignoreBackground && MixUsesDestination(mix)) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  const RECTL bounds = CPDF_DocWriter::PathPixelBounds(ppo, nullptr, nullptr, false);
  writer.EmitClip(pso, pco, &bounds);
  writer.StrokeFillPath(pso, ppo, nullptr, nullptr, pbo, pptlBrushOrg, nullptr, mix, flOptions);
  if (target->transparent) {
    Inking(*target, bounds);
    EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
  }
  return TRUE;
}

BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                          LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                          FLONG flOptions) {
  const auto target = TargetOf(pso);
  if (!target || !ppo) return TRUE;
  if (target->ignoreBackground && MixUsesDestination(mixFill)) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  const RECTL bounds = CPDF_DocWriter::PathPixelBounds(ppo, pxo, plineattrs, pboStroke != nullptr);
  writer.EmitClip(pso, pco, &bounds);
  writer.StrokeFillPath(pso, ppo, pxo, pboStroke, pboFill, pptlBrushOrg, plineattrs, mixFill, flOptions);
  if (target->transparent) {
    Inking(*target, bounds);
    EngStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill, flOptions);
  }
  return TRUE;
}

BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  const auto target = TargetOf(pso);
  if (!target) return TRUE;
  CPDF_DocWriter& writer = *target->writer;
  writer.EmitClip(pso, pco, nullptr);
  if (target->transparent && OsVersionNumber >= kFirstTextIntoBitmapVersion &&
      OsVersionNumber <= kLastTextIntoBitmapVersion) {
    InkingText(*target, pstro, pfo, prclExtra, prclOpaque);
    EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
  }
  writer.TextOut(pso, pstro, pfo, pboFore, pboOpaque, prclOpaque, pptlOrg, mix);
  return TRUE;
}

}  // namespace telodrv
