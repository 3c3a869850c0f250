// The page's text state, a member of the document writer. It turns glyphs, one at a time, into the text operators
// of the page's content stream, merging consecutive glyphs and text-out calls into as few text objects, TJ arrays
// and strings as their positions allow. The text object stays pending (without its "BT") until EndText, which
// every other writer of page content, and the page end, call first.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>

#include "pdf/font.h"
#include "win/gditypes.h"

class CPDF_TextWriter {
 public:
  // Nothing pending.
  static constexpr std::int32_t kIdle = 0;
  // A text object is pending and no TJ array is open.
  static constexpr std::int32_t kPending = 1;
  // The pending text ends inside an open string of an open TJ array.
  static constexpr std::int32_t kInString = 2;

  CPDF_TextWriter() = default;

  // Points per device pixel (72 / dpi) and the page height in device pixels.
  void SetDeviceSpace(double pointsPerPixel, double pageHeightPixels);
  // Shows one glyph at device position (x, y) with text matrix (a, b, c, d), the font's resource at `size`, fill
  // colour `color` (COLORREF) and, for a render value other than 0, stroke too. Returns the resource number used,
  // or 0 when nothing was shown: the font has no code for the character, or the matrix is singular, the size 0 or
  // a value not finite.
  std::uint32_t ShowText(char32_t ch, HGLYPH glyph, COLORREF color, double a, double b, double c, double d,
                         CPDF_Font& font, double size, double x, double y, double render, bool vertical);
  // Closes an open TJ array.
  void CloseArray();
  // Appends the pending text object to `contentStream` and clears it; nothing when no text is pending.
  void EndText(std::string& contentStream);
  // Drops any pending text and returns to the starting state (identity matrix, positions 0); the device space
  // stays. For the start of a page and the reset of a job.
  void Clear();

  // ---- Fields ----
  double matrixA = 1, matrixB = 0, matrixC = 0, matrixD = 1;  // last written with Tm (translation always 0 0)
  double scale = 0;                   // points per device pixel
  double pageHeight = 0;              // device pixels
  double penX = 0, penY = 0;          // where the next glyph would stand, text space
  double lineX = 0, lineY = 0;        // start of the current line (target of the last TD), text space
  std::int32_t fontNumber = 0;        // resource number last selected with Tf
  double fontSize = 0;                // the size it was selected at
  std::int32_t state = kIdle;
  COLORREF textColor = 0;             // last written with sc and SC
  std::string pendingText;            // the text object's operators, without the leading "BT "
  std::int32_t lineMark = 0;          // pending length / 100 at the last line break
  double renderValue = 0;             // last written with Tr

 private:
  static constexpr std::size_t kKeptTextBytes = std::size_t{1} << 20;
  // Half a device pixel in text space across and down the line, for the matrix and scale in halfPixelFor.
  bool halfPixelKnown = false;
  double halfPixelFor[5] = {};
  double halfPixelAcross = 0, halfPixelDown = 0;
  // A quotient, divided again only when its operands change (compared bit for bit, so the value is the same).
  struct Quotient {
    double Of(double numerator, double denominator) {
      const auto n = std::bit_cast<std::uint64_t>(numerator);
      const auto d = std::bit_cast<std::uint64_t>(denominator);
      if (!known || n != numeratorBits || d != denominatorBits) {
        value = numerator / denominator;
        numeratorBits = n;
        denominatorBits = d;
        known = true;
      }
      return value;
    }
    bool known = false;
    std::uint64_t numeratorBits = 0, denominatorBits = 0;
    double value = 0;
  };
  Quotient uQuotient, vQuotient;
  // A glyph's advance in text space, width x size / 1000, by width; the few widths of a text recur.
  struct AdvanceSlot {
    bool known = false;
    std::int32_t width = 0;
    std::uint64_t sizeBits = 0;
    double value = 0;
  };
  std::array<AdvanceSlot, 64> advances{};
  double AdvanceOf(std::int32_t width, double size);
};
