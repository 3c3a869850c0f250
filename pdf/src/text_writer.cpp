#include "pdf/text_writer.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "pdf/tokens.h"

namespace {

// A string byte: controls, "(", ")" and "\" as a backslash and three octal digits, every other byte as it is.
void AppendCodeBytes(std::string& out, const MappedChar& mapped) {
  unsigned char bytes[sizeof mapped.code];
  std::memcpy(bytes, &mapped.code, sizeof bytes);
  const std::size_t count = mapped.count < sizeof bytes ? mapped.count : sizeof bytes;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char byte = bytes[i];
    if (byte < 32 || byte == '(' || byte == ')' || byte == '\\') {
      out += '\\';
      out += static_cast<char>('0' + ((byte >> 6) & 7));
      out += static_cast<char>('0' + ((byte >> 3) & 7));
      out += static_cast<char>('0' + (byte & 7));
    } else {
      out += static_cast<char>(byte);
    }
  }
}

// Numbers separated by blanks, then the operator and its blank.
void AppendOperation(std::string& out, std::initializer_list<double> operands, const char* op) {
  for (double operand : operands) {
    AppendReal(out, operand);
    out += ' ';
  }
  out += op;
  out += ' ';
}

void AppendColor(std::string& out, COLORREF color, const char* op) {
  AppendOperation(out, {(color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0}, op);
}

}  // namespace

void CPDF_TextWriter::SetDeviceSpace(double pointsPerPixel, double pageHeightPixels) {
  scale = pointsPerPixel;
  pageHeight = pageHeightPixels;
}

void CPDF_TextWriter::CloseArray() {
  if (state != kInString) return;
  pendingText += ")]TJ ";
  const auto mark = static_cast<std::int32_t>(pendingText.size() / 100);
  if (mark > lineMark) pendingText += '\n';
  lineMark = mark;
  state = kPending;
}

inline double CPDF_TextWriter::AdvanceOf(std::int32_t width, double size) {
  AdvanceSlot& slot = advances[static_cast<std::uint32_t>(width) % advances.size()];
  const auto sizeBits = std::bit_cast<std::uint64_t>(size);
  if (!slot.known || slot.width != width || slot.sizeBits != sizeBits) {
    slot.value = width * size / 1000;
    slot.width = width;
    slot.sizeBits = sizeBits;
    slot.known = true;
  }
  return slot.value;
}

std::uint32_t CPDF_TextWriter::ShowText(char32_t ch, HGLYPH glyph, COLORREF color, double a, double b, double c,
                                        double d, CPDF_Font& font, double size, double x, double y, double render,
                                        bool vertical) {
  // A glyph that cannot be placed shows nothing: no "inf" or "nan" may reach the content stream.
  // A finite value times zero is a zero, an infinity or NaN times zero a NaN: the sum is 0 only when all are finite.
  if (a * 0 + b * 0 + c * 0 + d * 0 + size * 0 + x * 0 + y * 0 + render * 0 + scale * 0 + pageHeight * 0 != 0)
    return 0;
  const double det = d * a - c * b;
  if (det == 0 || size == 0) return 0;
  const double pdfX = x * scale;
  const double pdfY = (pageHeight - y) * scale;
  // Along a line one of the two stays the same from glyph to glyph.
  double u = uQuotient.Of(d * pdfX - c * pdfY, det);
  double v = vQuotient.Of(b * pdfX - a * pdfY, c * b - d * a);
  if (!std::isfinite(u) || !std::isfinite(v)) return 0;

  const MappedChar mapped = font.MapChar(ch, glyph, vertical);
  if (mapped.count == 0) return 0;
  // A resource without a vertical form writes horizontally even inside a vertical run, so it is placed by the
  // horizontal rule and the glyphs after it keep their places.
  const bool writesVertically = vertical && mapped.vertical;

  if (a != matrixA || b != matrixB || c != matrixC || d != matrixD) {
    matrixA = a;
    matrixB = b;
    matrixC = c;
    matrixD = d;
    penX = penY = lineX = lineY = 0;
    CloseArray();
    AppendOperation(pendingText, {a, b, c, d, 0, 0}, "Tm");
  }
  const auto resource = static_cast<std::int32_t>(mapped.resource);
  if (state == kIdle || resource != fontNumber || size != fontSize) {
    fontNumber = resource;
    fontSize = size;
    CloseArray();
    pendingText += "/F";
    pendingText += IntToString(resource);
    pendingText += ' ';
    AppendOperation(pendingText, {size}, "Tf");
  }
  if (state == kIdle || color != textColor) {
    CloseArray();
    AppendColor(pendingText, color, "sc");
    textColor = color;
    AppendColor(pendingText, color, "SC");
  }
  if (state == kIdle || render != renderValue) {
    CloseArray();
    pendingText += render == 0.0 ? "0 Tr " : "2 Tr ";
    renderValue = render;
  }

  if (vertical) {
    const std::int64_t up = std::llabs(font.ascent);
    const std::int64_t down = std::llabs(font.descent);
    u += static_cast<double>((up + down) / 2 - down) / 1000;
    if (!writesVertically) {
      // Written horizontally, the glyph still takes its place in the column, as the engine lays a turned glyph:
      // centred on the column, its top at the position (the baseline an ascent below it).
      u -= mapped.width / 2000.0;
      v -= static_cast<double>(up) / 1000;
    }
  }
  const double dx = u - penX;
  const double dy = v - penY;
  const bool continues = state == kInString && (writesVertically ? dx == 0 : dy == 0);
  if (continues) {
    // Half a device pixel in text space: closer than that needs no adjustment. It changes only with the matrix.
    const double step = writesVertically ? dy : dx;
    if (!halfPixelKnown || halfPixelFor[0] != a || halfPixelFor[1] != b || halfPixelFor[2] != c ||
        halfPixelFor[3] != d || halfPixelFor[4] != scale) {
      halfPixelAcross = (d - c) * scale * 0.5 / (d * a - c * b);
      halfPixelDown = (b - a) * scale * 0.5 / (c * b - d * a);
      halfPixelFor[0] = a;
      halfPixelFor[1] = b;
      halfPixelFor[2] = c;
      halfPixelFor[3] = d;
      halfPixelFor[4] = scale;
      halfPixelKnown = true;
    }
    const double halfPixel = writesVertically ? halfPixelDown : halfPixelAcross;
    if (std::fabs(step) > std::fabs(halfPixel)) {
      pendingText += ')';
      AppendReal(pendingText, step * -1000 / size);
      pendingText += '(';
      (writesVertically ? penY : penX) += step;
    }
  } else {
    CloseArray();
    AppendOperation(pendingText, {u - lineX, v - lineY}, "TD");
    pendingText += "[(";
    lineX = penX = u;
    lineY = penY = v;
  }
  AppendCodeBytes(pendingText, mapped);
  state = kInString;
  if (writesVertically)
    penY -= 1.0;
  else
    penX += AdvanceOf(mapped.width, size);
  return mapped.resource;
}

void CPDF_TextWriter::EndText(std::string& contentStream) {
  if (pendingText.empty()) return;
  contentStream += "BT ";
  pendingText += state == kInString ? ")]TJ ET\n" : "ET\n";
  contentStream += pendingText;
  pendingText.clear();
  state = kIdle;
  lineMark = 0;
  matrixA = matrixD = 1;
  matrixB = matrixC = 0;
  penX = penY = lineX = lineY = 0;
}

void CPDF_TextWriter::Clear() {
  const double keepScale = scale;
  const double keepHeight = pageHeight;
  // The text buffer's room is kept for the next page, unless a page made it exceptionally large.
  std::string keepText;
  if (pendingText.capacity() <= kKeptTextBytes) keepText = std::move(pendingText);
  keepText.clear();
  *this = CPDF_TextWriter();
  scale = keepScale;
  pageHeight = keepHeight;
  pendingText = std::move(keepText);
}
