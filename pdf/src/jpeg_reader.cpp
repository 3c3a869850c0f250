// JPEG data read with libjpeg from a buffer that holds all of it: the header alone, or every scan to the end.
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "jpeg_errors.h"
#include "jpeg_header.h"
#include "pdf/jpeg_decode.h"

namespace {

// What libjpeg may hold for one image, its buffers of coefficients included.
constexpr long kMostDecoderMemory = 1L << 30;

// libjpeg's state lives outside the frame that jumps.
struct Job {
  jpeg_decompress_struct cinfo;
  QuietJpegErrors error;
  jpeg_source_mgr source;
  std::vector<JSAMPLE> row;  // one decoded line
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

// One decoded line into the output row: grey repeated, CMYK with its ink taken from white.
void StoreRow(const jpeg_decompress_struct& cinfo, const JSAMPLE* in, std::uint8_t* out) {
  const bool inverted = cinfo.saw_Adobe_marker != 0;
  for (JDIMENSION x = 0; x < cinfo.output_width; ++x, out += 3) {
    switch (cinfo.out_color_space) {
      case JCS_GRAYSCALE: out[0] = out[1] = out[2] = in[x]; break;
      case JCS_CMYK: {
        const JSAMPLE* p = in + 4 * x;
        const unsigned white = inverted ? p[3] : 255u - p[3];
        for (int c = 0; c < 3; ++c)
          out[c] = static_cast<std::uint8_t>((inverted ? p[c] : 255u - p[c]) * white / 255u);
        break;
      }
      default:
        out[0] = in[3 * x];
        out[1] = in[3 * x + 1];
        out[2] = in[3 * x + 2];
    }
  }
}

// The header; with `image`, every scan to the end too, its pixels kept when they take at most `mostBytes`.
bool Read(Job& job, JpegHeader& header, DecodedJpeg* image, std::size_t mostBytes) {
  if (setjmp(job.error.exit)) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_create_decompress(&job.cinfo);
  job.cinfo.src = &job.source;
  // A progressive or multi-scan image keeps every coefficient of the size its header claims: data of a few bytes
  // may claim billions of pixels. Beyond kMostDecoderMemory libjpeg, which has no backing store, refuses it.
  job.cinfo.mem->max_memory_to_use = kMostDecoderMemory;
  if (jpeg_read_header(&job.cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  header.width = job.cinfo.image_width;
  header.height = job.cinfo.image_height;
  header.components = job.cinfo.num_components;
  header.adobe = job.cinfo.saw_Adobe_marker != 0;
  if (!image) {
    jpeg_destroy_decompress(&job.cinfo);
    return true;
  }
  switch (job.cinfo.num_components) {
    case 1: job.cinfo.out_color_space = JCS_GRAYSCALE; break;
    case 3: job.cinfo.out_color_space = JCS_RGB; break;
    case 4: job.cinfo.out_color_space = JCS_CMYK; break;
    default: jpeg_destroy_decompress(&job.cinfo); return false;
  }
  image->width = header.width;
  image->height = header.height;
  const bool keep = std::uint64_t{header.width} * header.height * 3 <= mostBytes;
  // Without pixels to keep, an eighth of the size still reads every coefficient, for little of the work.
  if (!keep) {
    job.cinfo.scale_num = 1;
    job.cinfo.scale_denom = 8;
  }
  jpeg_start_decompress(&job.cinfo);
  job.row.resize(static_cast<std::size_t>(job.cinfo.output_width) * job.cinfo.output_components);
  if (keep) image->rgb.resize(std::size_t{header.width} * header.height * 3);
  while (job.cinfo.output_scanline < job.cinfo.output_height) {
    const JDIMENSION line = job.cinfo.output_scanline;
    JSAMPROW row = job.row.data();
    // The source never suspends, so a call without a line is a fault.
    if (jpeg_read_scanlines(&job.cinfo, &row, 1) != 1) {
      jpeg_destroy_decompress(&job.cinfo);
      return false;
    }
    if (keep) StoreRow(job.cinfo, job.row.data(), image->rgb.data() + std::size_t{line} * header.width * 3);
  }
  // Reads on to the end-of-image marker: data cut short fails here at the latest.
  jpeg_finish_decompress(&job.cinfo);
  jpeg_destroy_decompress(&job.cinfo);
  return true;
}

// A job reading the buffer, which is presented whole.
std::unique_ptr<Job> JobOver(const std::uint8_t* data, std::size_t size) {
  auto job = std::make_unique<Job>();  // zeroed, so destroying a half-made object is safe
  job->cinfo.err = job->error.Install();
  job->source.next_input_byte = data;
  job->source.bytes_in_buffer = size;
  job->source.init_source = InitSource;
  job->source.fill_input_buffer = FillInputBuffer;
  job->source.skip_input_data = SkipInputData;
  job->source.resync_to_restart = jpeg_resync_to_restart;
  job->source.term_source = TermSource;
  return job;
}

}  // namespace

DecodedJpeg DecodeJpeg(const std::uint8_t* data, std::size_t size, std::size_t mostBytes) {
  DecodedJpeg image;
  if (!data || size == 0) return image;
  auto job = JobOver(data, size);
  JpegHeader header;
  image.whole = Read(*job, header, &image, mostBytes) && image.width > 0 && image.height > 0;
  if (!image.whole) image.rgb.clear();
  return image;
}

std::optional<JpegHeader> ReadJpegHeader(const std::uint8_t* data, std::size_t size) {
  if (!data || size == 0) return std::nullopt;
  auto job = JobOver(data, size);
  JpegHeader header;
  if (!Read(*job, header, nullptr, 0)) return std::nullopt;
  if (header.width == 0 || header.height == 0) return std::nullopt;
  return header;
}
