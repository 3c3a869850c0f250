// Which installed face prints a run's character, as a word processor picks it: the run's family where fontconfig
// has it installed, else a face of its kind (serif, monospaced, else sans) and style; for a character that face
// lacks, an installed face that has it, TrueType outlines first (the system's own fonts are TrueType).
#pragma once

#include <filesystem>
#include <memory>

#include "document_model.h"

namespace kq::wordproc {

struct FontFace {
  std::filesystem::path file;
  unsigned index = 0;  // the face inside a collection
  bool operator==(const FontFace&) const = default;
  auto operator<=>(const FontFace&) const = default;
};

class FontChoice {
 public:
  FontChoice();
  ~FontChoice();
  FontChoice(const FontChoice&) = delete;
  FontChoice& operator=(const FontChoice&) = delete;

  // The face of the run's own text (its family, bold and italic). One face is always the same object, so its
  // address tells it apart; it lives as long as this object.
  const FontFace& Primary(const RunFormat& format);
  // The face for one character that the primary face lacks; the primary face again when no face has it.
  const FontFace& Fallback(const RunFormat& format, char32_t c);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kq::wordproc
