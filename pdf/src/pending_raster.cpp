// The raster output that waits for the page.
#include "pdf/doc_writer.h"

// Nothing waits yet: the dirty regions and the image queue come with the raster and image converters.
void CPDF_DocWriter::FlushPendingRaster(SURFOBJ*) {}
