// The base of the document's font objects. The font room fills in the font kinds, which derive from it; the
// writer owns them through this base and has each write its objects at document end.
#pragma once

class CPDF_Font {
 public:
  virtual ~CPDF_Font() = default;

  // Writes the font's objects; at document end, once.
  virtual void WriteResources() = 0;
};
