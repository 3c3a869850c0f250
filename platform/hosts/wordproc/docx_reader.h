// Reads an Office Open XML word-processing file (.docx) into the document model.
#pragma once

#include <filesystem>
#include <stdexcept>

#include "document_model.h"

namespace kq::wordproc {

// A file that is not a readable .docx: missing, not a zip archive, no main part, or XML that does not parse.
class DocxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the reader does not understand it skips; a file it cannot read at all raises DocxError.
Document ReadDocx(const std::filesystem::path& file);

}  // namespace kq::wordproc
