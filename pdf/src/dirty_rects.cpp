// The areas drawn into the page bitmap only, which the raster fallback writes as images.
#include "pdf/doc_writer.h"

// Nothing is recorded yet: the raster fallback, which writes the regions, comes with the image converters.
void CPDF_DocWriter::AddDirtyRect(const RECTL&) {}
void CPDF_DocWriter::AddDirtyLine(LONG, LONG, LONG, LONG) {}
