// The word processor's document: paragraphs of runs over one text of UTF-16 units in which each paragraph ends
// with "\r", and what lies on that text (bookmarks, hyperlinks, shapes). Positions are indices into the text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

namespace kq::wordproc {

struct RunFormat {
  WString family = u"Calibri";
  double size = 11;  // points
  bool bold = false;
  bool italic = false;
  DWORD color = 0;  // 0x00BBGGRR
};

struct Run {
  WString text;  // "\t" for tabs, "\f" for a page break
  RunFormat format;
};

struct Paragraph {
  WString styleName;     // "Heading 1", "Normal", ...
  int outlineLevel = 10;  // 1..9; 10 is body text
  WString listString;    // the numbering as the list gives it ("1.", "2.1", "•"), empty when not in a list
  double spaceBefore = 0;  // points
  double spaceAfter = 0;
  double lineFactor = 1;  // multiple of the single line height
  bool pageBreakBefore = false;
  std::vector<Run> runs;

  WString Text() const {
    WString text;
    for (const auto& run : runs) text += run.text;
    return text;
  }
};

struct Bookmark {
  WString name;
  LONG start = 0;
  LONG end = 0;
};

struct Hyperlink {
  LONG start = 0;  // the range of its text (of its anchor paragraph's start for a shape)
  LONG end = 0;
  WString address;     // external target, empty for one inside the document
  WString subAddress;  // the bookmark it leads to inside the document
  int shape = -1;      // index into Document::shapes for a link that a shape carries
};

// A floating shape or picture, placed relative to the margin (0), the page (1) or its paragraph (2).
struct Shape {
  float left = 0, top = 0, width = 0, height = 0;  // points
  float rotation = 0;                              // degrees, clockwise
  int relativeHorizontal = 0;
  int relativeVertical = 0;
  LONG anchor = 0;  // position of the paragraph that holds it
};

struct PageSetup {
  float width = 612, height = 792;
  float left = 72, top = 72, right = 72, bottom = 72;
};

struct Document {
  PageSetup page;
  std::vector<Paragraph> paragraphs;
  std::vector<Bookmark> bookmarks;
  std::vector<Hyperlink> hyperlinks;
  std::vector<Shape> shapes;
  int comments = 0;
  int revisions = 0;
  int protection = -1;  // -1: none, else the kind of protection

  // The whole text, each paragraph closed by "\r".
  WString Text() const;
  // The position where each paragraph starts, and one more: the text's length.
  std::vector<LONG> ParagraphStarts() const;
};

}  // namespace kq::wordproc
