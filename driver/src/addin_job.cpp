// The add-in's hand-over reader is not built yet: there is never a block to claim, so every document names its
// own destination.
#include "pdf/doc_writer.h"

bool CPDF_DocWriter::OpenAddinJob() { return false; }
