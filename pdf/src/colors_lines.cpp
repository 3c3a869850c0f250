// Colours, line widths, caps, joins and dashes, and the painting of paths, lines and solid rectangles. Only solid
// colours are written: a raster operation that has none is dropped (or, for paths and lines, left to the page
// bitmap in transparent mode).
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "pdf/doc_writer.h"
#include "pdf/tokens.h"

namespace {

constexpr std::uint32_t kNoSolidColor = 0xFFFFFFFF;
constexpr std::string_view kSolidDash = "[] 0 d ";

std::uint32_t BrushColor(BRUSHOBJ* brush) { return brush ? BRUSHOBJ_ulGetBrushColor(brush) : kNoSolidColor; }

// The colour a binary raster operation paints with the brush; nothing when it depends on the page beneath.
std::optional<std::uint32_t> ColorFromRop2(ULONG code, BRUSHOBJ* brush) {
  switch (code) {
    case R2_BLACK: return 0u;
    // A pattern or hatch brush has no solid colour to write.
    case R2_NOTCOPYPEN:
      if (BrushColor(brush) == kNoSolidColor) return std::nullopt;
      return ~BrushColor(brush);
    case R2_COPYPEN:
      if (BrushColor(brush) == kNoSolidColor) return std::nullopt;
      return BrushColor(brush);
    case R2_WHITE: return 0xFFFFFFu;
    default: return std::nullopt;
  }
}

void AppendColor(std::string& out, std::uint32_t color, const char* op) {
  for (int shift : {0, 8, 16}) {
    AppendReal(out, ((color >> shift) & 0xFF) / 255.0);
    out += ' ';
  }
  out += op;
}

// How much a transform scales lengths: the square root of its area factor, which rotation, mirroring and shear
// leave positive.
double LengthScale(XFORMOBJ* transform) {
  XFORML matrix{1, 0, 0, 1, 0, 0};
  if (XFORMOBJ_iGetXform(transform, &matrix) == DDI_ERROR) return 1;
  const double det = static_cast<double>(matrix.eM11) * matrix.eM22 - static_cast<double>(matrix.eM12) * matrix.eM21;
  const double scale = std::sqrt(std::fabs(det));
  return std::isfinite(scale) ? scale : 1;
}

// The most a transform stretches a length: the larger singular value of its matrix.
double LargestStretch(XFORMOBJ* transform) {
  XFORML m{1, 0, 0, 1, 0, 0};
  if (!transform || XFORMOBJ_iGetXform(transform, &m) == DDI_ERROR) return 1;
  const double a = m.eM11, b = m.eM12, c = m.eM21, d = m.eM22;
  const double half = (a * a + b * b + c * c + d * d) / 2, det = a * d - b * c;
  const double stretch = std::sqrt(half + std::sqrt(std::max(half * half - det * det, 0.0)));
  return std::isfinite(stretch) ? stretch : 1;
}

// How far from the path a stroke may paint, in pixels. The engine draws a cosmetic pen wider than a pixel as a round
// one of that width, and a mitre limit below 1 as 10.
double PenReach(const LINEATTRS& pen, XFORMOBJ* transform) {
  if (!(pen.fl & LA_GEOMETRIC)) return std::max<LONG>(pen.elWidth.l, 1) / 2.0;
  const double width = std::isfinite(pen.elWidth.e) ? std::fabs(pen.elWidth.e) * LargestStretch(transform) : 0;
  double factor = pen.iEndCap == ENDCAP_SQUARE ? std::sqrt(2.0) : 1;
  if (pen.iJoin == JOIN_MITER)
    factor = std::max<double>(factor, std::isfinite(pen.eMiterLimit) && pen.eMiterLimit >= 1 ? pen.eMiterLimit : 10);
  return width / 2 * factor;
}

void AppendCap(std::string& out, ULONG cap) {
  switch (cap) {
    case ENDCAP_ROUND: out += "1 J "; break;
    case ENDCAP_SQUARE: out += "2 J "; break;
    case ENDCAP_BUTT: out += "0 J "; break;
    default: break;
  }
}

void AppendJoin(std::string& out, ULONG join, FLOATL miterLimit) {
  switch (join) {
    case JOIN_ROUND: out += "1 j "; break;
    case JOIN_BEVEL: out += "2 j "; break;
    case JOIN_MITER:
      out += "0 j ";
      AppendFormatG(out, miterLimit);
      out += " M ";
      break;
    default: break;
  }
}

// A cosmetic pen's style unit: the driver advances its style by a third of an inch (denStyleStep = dpi / 3).
constexpr double kCosmeticStyleUnitPoints = 24;
// A square dot's dash, in the line's units.
constexpr double kDotLength = 0.001;
// The longest style the engine hands on.
constexpr ULONG kMostStyle = 16;

// A styled line's dash pattern in the line's units: points, or device pixels under a transform's matrix (where a
// geometric pattern scales as the width does). "[] 0 d " when the style draws nothing, cannot be read or has no
// length that shows at the precision written.
std::string DashText(const LINEATTRS& line, double pointsPerPixel, const double* factor) {
  const bool geometric = line.fl & LA_GEOMETRIC;
  const ULONG count = std::min(line.cstyle, kMostStyle);
  std::vector<double> lengths;
  double total = 0;
  for (ULONG i = 0; i < count; ++i) {
    double length = 0;
    if (geometric) {
      const double pixels = line.pstyle[i].e;
      length = factor ? pixels * *factor : pixels * pointsPerPixel;
    } else {
      const double points = static_cast<double>(line.pstyle[i].l) * kCosmeticStyleUnitPoints;
      length = factor ? points / pointsPerPixel : points;
    }
    if (!std::isfinite(length) || length < 0) return std::string(kSolidDash);
    // A dot under a square cap needs a direction to set its square along: a dash too short to see gives it one.
    if (length == 0 && geometric && line.iEndCap == ENDCAP_SQUARE) length = kDotLength;
    lengths.push_back(length);
    total += length;
  }
  if (lengths.empty() || !(total > 0)) return std::string(kSolidDash);
  // The style's state is how far into the pattern the line begins; a line that begins with a gap begins one
  // element in.
  double phase = 0;
  if (geometric && std::isfinite(line.elStyleState.e)) phase = line.elStyleState.e * (factor ? *factor : pointsPerPixel);
  if (line.fl & LA_STARTGAP) phase += lengths[0];
  std::string text = "[";
  bool drawn = false;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    if (i) text += ' ';
    const std::string length = RealToString(lengths[i]);
    drawn = drawn || length != "0";
    text += length;
  }
  // Lengths too small to write are all zero, which is no dash array: the line is drawn solid.
  if (!drawn) return std::string(kSolidDash);
  text += "] ";
  AppendReal(text, phase);
  text += " d ";
  return text;
}

const char* PaintingOperator(bool stroke, FLONG options) {
  if (options & FP_WINDINGMODE) return stroke ? "B " : "f ";
  if (options & FP_ALTERNATEMODE) return stroke ? "B* " : "f* ";
  return stroke ? "S " : "n ";
}

}  // namespace

RECTL CPDF_DocWriter::PathPixelBounds(PATHOBJ* path, XFORMOBJ* transform, const LINEATTRS* pen, bool stroked) {
  RECTFX box{};
  PATHOBJ_vGetBounds(path, &box);
  static constexpr LINEATTRS kHairline{};
  // Far beyond any page, and inside the range of a pixel coordinate either way.
  static constexpr double kMostReach = 1 << 24;
  const double reach = stroked ? std::min(PenReach(pen ? *pen : kHairline, transform) + 1, kMostReach) : 0;
  const auto pixel = [](double value) {
    return static_cast<LONG>(std::clamp<double>(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
  };
  return RECTL{pixel(std::floor(box.xLeft / 16.0 - reach)), pixel(std::floor(box.yTop / 16.0 - reach)),
               pixel(std::ceil(box.xRight / 16.0 + reach)), pixel(std::ceil(box.yBottom / 16.0 + reach))};
}

void CPDF_DocWriter::SetStrokeColor(std::string& stream, std::uint32_t color) {
  if (strokeColorSet && strokeColor == color) return;
  AppendColor(stream, color, "SC ");
  strokeColorSet = 1;
  strokeColor = color;
}

void CPDF_DocWriter::SetFillColor(std::string& stream, std::uint32_t color) {
  if (fillColorSet && fillColor == color) return;
  AppendColor(stream, color, "sc ");
  fillColorSet = 1;
  fillColor = color;
}

void CPDF_DocWriter::SetLineDash(std::string& stream, std::string_view text) {
  if (text == dashText) return;
  stream += text;
  dashText = text;
}

void CPDF_DocWriter::StrokeFillPath(SURFOBJ* surface, PATHOBJ* path, XFORMOBJ* transform, BRUSHOBJ* stroke,
                                    BRUSHOBJ* fill, POINTL*, LINEATTRS* line, MIX mix, FLONG options) {
  if (cancelled || !contentStream) return;
  FlushPendingRaster(surface);

  std::optional<std::uint32_t> strokeColorValue, fillColorValue;
  bool convertible = true;
  if (stroke) convertible = (strokeColorValue = ColorFromRop2(mix & 0xFF, stroke)).has_value();
  if (convertible && fill) convertible = (fillColorValue = ColorFromRop2((mix >> 8) & 0xFF, fill)).has_value();
  if (!convertible) {
    if (gdiPunt) AddDirtyRect(PathPixelBounds(path, transform, line, stroke != nullptr));
    return;
  }

  std::string& out = *contentStream;
  textWriter.EndText(out);
  double factor = 1;
  if (transform) {
    const double a = ScaleToPoints(1);
    out += "q ";
    for (double value : {a, 0.0, 0.0, -a, 0.0, ScaleToPoints(pageHeightPx)}) {
      AppendFormatG(out, value);
      out += ' ';
    }
    out += "cm ";
    factor = LengthScale(transform);
  }

  const bool geometric = line && (line->fl & LA_GEOMETRIC);
  double width = ScaleToPoints(1);
  if (line) {
    const double given = geometric ? static_cast<double>(line->elWidth.e) : static_cast<double>(line->elWidth.l);
    width = transform ? given * factor : ScaleToPoints(given);
  }
  if (!lineWidthSet || width != lineWidth) {
    AppendReal(out, width);
    out += " w ";
    lineWidth = width;
    lineWidthSet = 1;
  }
  if (geometric) {
    AppendFormatG(out, width);
    out += " w ";
    AppendCap(out, line->iEndCap);
    AppendJoin(out, line->iJoin, line->eMiterLimit);
  } else {
    out += "0 J 0 j ";
  }
  // A styled line is dashed in its own units.
  if (!line || !line->pstyle || line->cstyle == 0)
    SetLineDash(out, kSolidDash);
  else
    SetLineDash(out, DashText(*line, pointsPerPixel, transform ? &factor : nullptr));

  if (stroke) SetStrokeColor(out, *strokeColorValue);
  if (fill) SetFillColor(out, *fillColorValue);
  out += PathToString(path, !transform);
  out += PaintingOperator(stroke != nullptr, options);
  if (transform) {
    out += "Q ";
    ResetGraphicsState();
  }
  out += '\n';
}

void CPDF_DocWriter::LineTo(SURFOBJ* surface, LONG x1, LONG y1, LONG x2, LONG y2, BRUSHOBJ* brush, MIX mix) {
  if (cancelled || !contentStream) return;
  FlushPendingRaster(surface);
  const ULONG code = mix & 0xFF;
  if (code == R2_NOP) return;
  const std::optional<std::uint32_t> color = ColorFromRop2(code, brush);
  if (!color) {
    AddDirtyLine(x1, y1, x2, y2);
    return;
  }

  std::string& out = *contentStream;
  textWriter.EndText(out);
  SetStrokeColor(out, *color);
  double ax = x1 + 0.5, ay = y1 + 0.5, bx = x2 + 0.5, by = y2 + 0.5;
  DeviceToPdf(ax, ay);
  DeviceToPdf(bx, by);
  const double width = ScaleToPoints(1);
  if (!lineWidthSet || width != lineWidth) {
    AppendReal(out, width);
    out += " w ";
    lineWidth = width;
    lineWidthSet = 1;
  }
  SetLineDash(out, kSolidDash);
  for (double value : {ax, ay}) {
    AppendFormatG(out, value);
    out += ' ';
  }
  out += "m ";
  for (double value : {bx, by}) {
    AppendFormatG(out, value);
    out += ' ';
  }
  out += "l S ";
}

BOOL CPDF_DocWriter::FillRectangle(SURFOBJ* surface, const RECTL& rect, BRUSHOBJ* brush, ROP4 rop4) {
  if (cancelled) return TRUE;
  std::uint32_t color = 0;
  switch (rop4 & 0xFF) {
    case 0x00: color = 0; break;
    case 0xFF: color = 0xFFFFFF; break;
    case 0xF0:
    case 0x0F:
      if (!brush || brush->iSolidColor == kNoSolidColor) return FALSE;
      color = BrushColor(brush);
      if ((rop4 & 0xFF) == 0x0F) color = ~color;
      break;
    default: return FALSE;
  }
  // Outside a page there is nowhere to draw, and nothing for the raster fallback either.
  if (!contentStream) return TRUE;
  FlushPendingRaster(surface);
  double x0 = rect.left, y0 = rect.bottom, x1 = rect.right, y1 = rect.top;
  DeviceToPdf(x0, y0);
  DeviceToPdf(x1, y1);
  std::string& out = *contentStream;
  textWriter.EndText(out);
  SetFillColor(out, color);
  for (double value : {x0, y0, x1 - x0, y1 - y0}) {
    AppendFormatG(out, value);
    out += ' ';
  }
  out += "re f\n";
  return TRUE;
}
