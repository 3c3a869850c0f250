#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>

#include "dct_internal.h"
#include "jpeg_errors.h"

static_assert(JPEG_LIB_VERSION == 62, "the driver is built against libjpeg version 62");

namespace {

// A destination in a string that grows instead of suspending.
struct Destination {
  jpeg_destination_mgr base;
  std::string* out;
};

// Everything libjpeg works on lives here, outside the frame that jumps, so nothing is lost across the jump.
struct Job {
  jpeg_compress_struct cinfo;
  QuietJpegErrors error;  // its exit jumps back to the encoder, which gives up
  Destination destination;
};

void InitDestination(j_compress_ptr) {}
void TermDestination(j_compress_ptr) {}

// Called when the whole buffer is full.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
  const std::size_t used = destination->out->size();
  bool grown = true;
  try {
    destination->out->resize(used * 2);
  } catch (...) {
    grown = false;
  }
  if (!grown) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);  // outside the handler: the exit jumps
  destination->base.next_output_byte = reinterpret_cast<JOCTET*>(destination->out->data()) + used;
  destination->base.free_in_buffer = destination->out->size() - used;
  return TRUE;
}

bool Compress(Job& job, const DctImage& image) {
  if (setjmp(job.error.exit)) {
    jpeg_destroy_compress(&job.cinfo);
    return false;
  }
  jpeg_create_compress(&job.cinfo);
  job.cinfo.dest = &job.destination.base;
  job.cinfo.image_width = static_cast<JDIMENSION>(image.width);
  job.cinfo.image_height = static_cast<JDIMENSION>(image.height);
  job.cinfo.input_components = 3;
  job.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&job.cinfo);
  jpeg_start_compress(&job.cinfo, TRUE);
  const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
  while (job.cinfo.next_scanline < job.cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.pixels + stride * job.cinfo.next_scanline);
    // The destination never suspends, so every call takes its row; anything else ends the loop.
    if (jpeg_write_scanlines(&job.cinfo, &row, 1) != 1) {
      jpeg_destroy_compress(&job.cinfo);
      return false;
    }
  }
  jpeg_finish_compress(&job.cinfo);
  jpeg_destroy_compress(&job.cinfo);
  return true;
}

}  // namespace

std::optional<std::string> EncodeJpeg(const DctImage& image, std::size_t initialCapacity) {
  // Sizes that libjpeg cannot take (above JPEG_MAX_DIMENSION) are its own to refuse, through the error exit.
  if (!image.pixels || image.width < 1 || image.height < 1 || image.byteCount < 0) return std::nullopt;
  const std::uint64_t needed = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height) * 3;
  if (needed > static_cast<std::uint64_t>(image.byteCount)) return std::nullopt;

  std::string out(std::max<std::size_t>(initialCapacity, 1), '\0');
  auto job = std::make_unique<Job>();  // zeroed, so destroying a half-made object is safe
  job->cinfo.err = job->error.Install();
  job->destination.out = &out;
  job->destination.base.next_output_byte = reinterpret_cast<JOCTET*>(out.data());
  job->destination.base.free_in_buffer = out.size();
  job->destination.base.init_destination = InitDestination;
  job->destination.base.empty_output_buffer = EmptyOutputBuffer;
  job->destination.base.term_destination = TermDestination;
  if (!Compress(*job, image)) return std::nullopt;
  out.resize(out.size() - job->destination.base.free_in_buffer);
  return out;
}

std::optional<std::string> DctEncode(const DctImage& image) {
  // Room for the pixels and the tables at first; the destination grows if the JPEG needs more.
  return EncodeJpeg(image, static_cast<std::size_t>(image.byteCount > 0 ? image.byteCount : 0) + 1024);
}
