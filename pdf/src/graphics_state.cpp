// The page's graphics-state record.
#include "pdf/doc_writer.h"

void CPDF_DocWriter::ResetGraphicsState() {
  strokeColorSet = 0;
  fillColorSet = 0;
  lineWidthSet = 0;
  dashText.clear();
}
