// The base of the document's font objects. The font room fills in the font kinds, which derive from it; the
// writer owns them through this base.
#pragma once

class CPDF_Font {
 public:
  virtual ~CPDF_Font() = default;
};
