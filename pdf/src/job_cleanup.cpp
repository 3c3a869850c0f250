// The end of a job: what one document holds is released, so the writer can take the next one.
#include "pdf/doc_writer.h"
#include "pdf/background_flate.h"
#include "win/fileapi.h"
#include "win/handleapi.h"

void CPDF_DocWriter::ReleaseAddinTables() {
  namedDests.clear();
  outlineItems.clear();
  pageLinks.clear();
  if (mapping) {
    CloseHandle(mapping);
    mapping = nullptr;
  }
  addinJob = 0;
}

void CPDF_DocWriter::CloseJob() {
  ReleaseAddinTables();
  EndProgressThread();
  progressWindow = nullptr;
  fontFaces.reset();
}

void CPDF_DocWriter::ResetJob() {
  DropEndingPage();
  // Pending text names fonts that are about to go.
  textWriter.Clear();
  documentFonts.clear();
  lastSelection = {};
  pageObjects.clear();
  xrefOffsets.clear();
  pageFonts.clear();
  pageImages.clear();
  pageShadings.clear();
  // Raster output of an unfinished page of this job must not reach the next one.
  queuedImages.clear();
  queuedSrcRects.Clear();
  queuedDestRects.Clear();
  dirtyRects.Clear();
  // A document that never reached its end leaves no part file behind.
  if (!partPath.empty()) DeleteFileW(partPath.c_str());
  partPath.clear();
  if (outputFile != INVALID_HANDLE_VALUE && outputFile != nullptr) CloseHandle(outputFile);
  outputFile = INVALID_HANDLE_VALUE;
  outputPath.clear();
  documentOpen = false;
  CloseJob();
}
