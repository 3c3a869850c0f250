#include "jpeg_header.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

#include "jpeg_errors.h"

namespace {

// libjpeg's state lives outside the frame that jumps.
struct Job {
  jpeg_decompress_struct cinfo;
  QuietJpegErrors error;
  jpeg_source_mgr source;
};

void InitSource(j_decompress_ptr) {}
// The whole buffer is presented at once: a request for more finds none, which libjpeg reports as an error.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  cinfo->err->msg_code = 0;
  cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
  return FALSE;
}
void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  if (static_cast<std::size_t>(count) > source->bytes_in_buffer) {
    FillInputBuffer(cinfo);
    return;
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<std::size_t>(count);
}
void TermSource(j_decompress_ptr) {}

bool ReadHeader(Job& job, JpegHeader& header) {
  if (setjmp(job.error.exit)) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_create_decompress(&job.cinfo);
  job.cinfo.src = &job.source;
  if (jpeg_read_header(&job.cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  header.width = job.cinfo.image_width;
  header.height = job.cinfo.image_height;
  header.components = job.cinfo.num_components;
  header.adobe = job.cinfo.saw_Adobe_marker != 0;
  jpeg_destroy_decompress(&job.cinfo);
  return true;
}

}  // namespace

std::optional<JpegHeader> ReadJpegHeader(const std::uint8_t* data, std::size_t size) {
  if (!data || size == 0) return std::nullopt;
  auto job = std::make_unique<Job>();  // zeroed, so destroying a half-made object is safe
  job->cinfo.err = job->error.Install();
  job->source.next_input_byte = data;
  job->source.bytes_in_buffer = size;
  job->source.init_source = InitSource;
  job->source.fill_input_buffer = FillInputBuffer;
  job->source.skip_input_data = SkipInputData;
  job->source.resync_to_restart = jpeg_resync_to_restart;
  job->source.term_source = TermSource;
  JpegHeader header;
  if (!ReadHeader(*job, header)) return std::nullopt;
  if (header.width == 0 || header.height == 0) return std::nullopt;
  return header;
}
