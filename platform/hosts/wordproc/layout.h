// The document laid out into pages: greedy line breaking with the engine's font metrics inside the page's margins.
// Every position of the text has a box on a line; everything is in points from the page's top-left corner.
#pragma once

#include <memory>
#include <vector>

#include "document_model.h"
#include "font_choice.h"
#include "win/enginefont.h"

namespace kq::wordproc {

struct LineBox {
  int page = 1;       // from 1
  double top = 0;     // points from the page's top edge
  double height = 0;
  double ascent = 0;  // from the top to the baseline
};

struct CharBox {
  int line = 0;
  double x = 0;  // points from the page's left edge
  double width = 0;
};

// A stretch of one run on one line, as it is drawn.
struct TextPiece {
  int line = 0;
  double x = 0;
  WString text;
  RunFormat format;
  FontFace face;  // the face that has its characters
};

struct Layout {
  std::vector<LineBox> lines;
  std::vector<CharBox> chars;  // one per position of the document's text
  std::vector<TextPiece> pieces;
  int pages = 1;
};

// The engine's request for a face at the format's size, style and the device's resolution.
FontRequest FontFor(const FontFace& face, const RunFormat& format, LONG dpi);

// Chosen and realised fonts for measuring, kept across layouts.
class FontCache {
 public:
  FontCache();
  ~FontCache();
  // The face that prints a character of the format: its own face, or one that has the character.
  const FontFace& Face(const RunFormat& format, WCHAR c);
  // Advance of a character in points; line height and ascent in points of the character's face (the format's own
  // face for 0) at the format's size.
  double Advance(const RunFormat& format, WCHAR c);
  double LineHeight(const RunFormat& format, WCHAR c = 0);
  double Ascent(const RunFormat& format, WCHAR c = 0);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

Layout LayOut(const Document& document, FontCache& fonts);

}  // namespace kq::wordproc
