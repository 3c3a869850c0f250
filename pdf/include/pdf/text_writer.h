// The page's pending text run, a member of the document writer. The text room fills in its state and operations.
#pragma once

class CPDF_TextWriter {
 public:
  CPDF_TextWriter() = default;
};
