// The page's pending text run, a member of the document writer. The text room fills in its state and operations.
#pragma once

#include <string>

class CPDF_TextWriter {
 public:
  CPDF_TextWriter() = default;

  // Appends the pending text object to `contentStream` and clears it; nothing when no text is pending.
  void EndText(std::string& contentStream);
};
