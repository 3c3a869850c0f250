// Brushes and colour translations as the engine makes them from a program's drawing, for the parts of the
// platform that play the engine (the DDI host, the print tool) and for tests. Drivers reach them only through the
// BRUSHOBJ_ and XLATEOBJ_ accessors of win/winddi.h, which refuse objects the engine did not make. An object
// belongs to the machine bound to the thread that makes it; use it on one thread at a time.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "win/engine.h"
#include "win/winddi.h"

namespace kq {

// The translation of one surface's pixel values into another's.
class XlateObject {
 public:
  // Values stay as they are (XO_TRIVIAL).
  static std::unique_ptr<XlateObject> Identity();
  // From the colours of `source` to the nearest of `destination` (palettes as QueryPalette gives them; indexed
  // colours and PAL_RGB values are 0x00BBGGRR). An indexed source gets a table (XO_TABLE) of one destination
  // value per entry; equal formats are XO_TRIVIAL too. A destination of two colours is XO_TO_MONO.
  static std::unique_ptr<XlateObject> Between(const PaletteInfo& source, const PaletteInfo& destination);
  // An indexed source whose index i becomes entries[i] (for instance a one-bit bitmap's two colours).
  static std::unique_ptr<XlateObject> Table(std::vector<ULONG> entries);
  ~XlateObject();
  XlateObject(const XlateObject&) = delete;
  XlateObject& operator=(const XlateObject&) = delete;

  // Valid while this object lives.
  XLATEOBJ* Object();
  // As XLATEOBJ_iXlate: an index beyond a table gives 0.
  ULONG Translate(ULONG value) const;

  class Impl;

 private:
  explicit XlateObject(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Hatch styles of hatch brushes.
inline constexpr ULONG HS_HORIZONTAL = 0;
inline constexpr ULONG HS_VERTICAL = 1;
inline constexpr ULONG HS_FDIAGONAL = 2;
inline constexpr ULONG HS_BDIAGONAL = 3;
inline constexpr ULONG HS_CROSS = 4;
inline constexpr ULONG HS_DIAGCROSS = 5;
inline constexpr ULONG HS_DDI_MAX = 6;

class BrushObject {
 public:
  // A solid colour, as a pixel value of the surface it paints.
  static std::unique_ptr<BrushObject> Solid(ULONG color);
  // A pattern tiled from the brush origin: a copy of the bitmap `pattern` (at most 1024 x 1024 pixels), its
  // values translated by `xlate` (null: as they are) into the target's. Null with ERROR_INVALID_PARAMETER for a
  // surface without bits.
  static std::unique_ptr<BrushObject> Pattern(const SURFOBJ* pattern, std::unique_ptr<XlateObject> xlate = nullptr);
  // An 8 x 8 hatch (HS_...) of lines in `foreground` over `background`, both target values; a mix's background
  // operation paints the pixels between the lines.
  static std::unique_ptr<BrushObject> Hatch(ULONG style, ULONG foreground, ULONG background);
  ~BrushObject();
  BrushObject(const BrushObject&) = delete;
  BrushObject& operator=(const BrushObject&) = delete;

  // The driver's realisation, called by BRUSHOBJ_pvGetRbrush the first time a driver asks for it (the DDI host
  // calls the driver's DrvRealizeBrush from here): the brush, the target surface, the pattern (null for a solid
  // brush), the mask (null), the pattern's translation and the hatch style (HS_DDI_MAX when not a hatch).
  using Realizer = std::function<BOOL(BRUSHOBJ*, SURFOBJ*, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG)>;
  void SetRealizer(Realizer realize, SURFOBJ* target);

  // Valid while this object lives. iSolidColor is 0xFFFFFFFF unless the brush is solid.
  BRUSHOBJ* Object();

  class Impl;

 private:
  explicit BrushObject(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kq
