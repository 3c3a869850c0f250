// How a text-out call's glyphs are placed: the text matrices and size made from the font's transform, and the line
// width of simulated bold.
#pragma once

#include "pdf/doc_writer.h"
#include "win/winddi.h"

struct TextMatrix {
  double a = 1, b = 0, c = 0, d = 1;
  bool operator==(const TextMatrix&) const = default;
};

struct TextPlacement {
  TextMatrix horizontal;
  TextMatrix vertical;       // for the characters from U+0100 on in a vertical face
  double size = 0;           // the Tf size; 0 shows nothing
  double boldWidth = 0;      // the line width of simulated bold (the glyphs are then filled and stroked); 0: none
  bool verticalFace = false;  // the face starts in vertical mode and switches by character
};

// Without a transform (null) the identity matrix at the font's style size, else at the size its widest advance
// gives; with one, its elements scaled by the em to points, at size 1, with simulated bold and italic and the
// vertical matrix of a vertical face. Lengths go through the writer's ScaleToPoints.
TextPlacement PlaceText(const CPDF_DocWriter& writer, const FONTOBJ& font, const IFIMETRICS& ifi,
                        const XFORML* transform);
