// Where font selection asks for an embedded font.
#pragma once

#include <memory>

#include "pdf/doc_writer.h"
#include "pdf/font.h"

// The embedded (CID-keyed) font of a text run's font, set up and ready; null when its font program cannot be
// embedded, and selection goes on to a named font. A failed allocation throws.
std::unique_ptr<CPDF_Font> CreateEmbeddedFont(CPDF_DocWriter& writer, FONTOBJ* fontObject, const IFIMETRICS& ifi,
                                              const kq::WString& uniqueName, DWORD embedMode);
