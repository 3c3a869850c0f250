#include "image_file.h"

#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

#include "job_file.h"

// After the platform's headers: it defines TRUE and FALSE as macros.
#include <jpeglib.h>
#include <jerror.h>

namespace kqprint {

namespace {

// Larger images would not fit beside the job in memory.
constexpr std::uint64_t kMaxPixels = 1ULL << 26;

std::size_t Stride(LONG width, ULONG bits) { return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4; }

[[noreturn]] void Bad(const std::filesystem::path& path, const std::string& what) {
  throw JobError(path.string() + ": " + what);
}

void CheckSize(const std::filesystem::path& path, std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0 || width * height > kMaxPixels) Bad(path, "the image is empty or too large");
}

// libpng's state for one image, freed on every way out (a refused size included).
struct PngRead {
  png_image image{};
  PngRead() { image.version = PNG_IMAGE_VERSION; }
  ~PngRead() { png_image_free(&image); }
  PngRead(const PngRead&) = delete;
  PngRead& operator=(const PngRead&) = delete;
};

ImageFile ReadPng(const std::filesystem::path& path, const std::vector<BYTE>& file) {
  PngRead read;
  png_image& image = read.image;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) Bad(path, "not a PNG file we can read");
  CheckSize(path, image.width, image.height);
  ImageFile out;
  out.width = static_cast<LONG>(image.width);
  out.height = static_cast<LONG>(image.height);
  out.alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  out.bitsPerPixel = out.alpha ? 32 : 24;
  image.format = out.alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  const std::size_t stride = Stride(out.width, out.bitsPerPixel);
  out.bits.resize(stride * static_cast<std::size_t>(out.height));
  if (!png_image_finish_read(&image, nullptr, out.bits.data(), static_cast<png_int_32>(stride), nullptr))
    Bad(path, "the PNG data is damaged");
  if (out.alpha) {
    // The engine blends premultiplied pixels.
    for (LONG y = 0; y < out.height; ++y) {
      BYTE* p = out.bits.data() + stride * static_cast<std::size_t>(y);
      for (LONG x = 0; x < out.width; ++x, p += 4)
        for (int c = 0; c < 3; ++c) p[c] = static_cast<BYTE>((p[c] * p[3] + 127) / 255);
    }
  }
  return out;
}

struct JpegError {
  jpeg_error_mgr base;
  std::jmp_buf exit;
  bool damaged = false;  // the decoder met data it had to make up or skip
};

void JpegExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->exit, 1); }
// Warnings that the data is cut short or corrupt mark the file damaged: its pixels are partly invented, and a
// driver that takes the file as it is would pass the damage on. Other warnings and traces are dropped.
void JpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HUFF_BAD_CODE:
      reinterpret_cast<JpegError*>(cinfo->err)->damaged = true;
      break;
    default:
      break;
  }
}

// libjpeg's state, outside the frame that jumps.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegError error;
};

bool DecodeJpeg(JpegJob& job, const std::vector<BYTE>& file, ImageFile& out) {
  if (setjmp(job.error.exit)) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_create_decompress(&job.cinfo);
  jpeg_mem_src(&job.cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&job.cinfo, TRUE);
  job.cinfo.out_color_space = JCS_RGB;
  if (std::uint64_t{job.cinfo.image_width} * job.cinfo.image_height > kMaxPixels) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_start_decompress(&job.cinfo);
  out.width = static_cast<LONG>(job.cinfo.output_width);
  out.height = static_cast<LONG>(job.cinfo.output_height);
  const std::size_t stride = Stride(out.width, 24);
  out.bits.assign(stride * static_cast<std::size_t>(out.height), 0);
  while (job.cinfo.output_scanline < job.cinfo.output_height) {
    JSAMPROW row = out.bits.data() + stride * job.cinfo.output_scanline;
    jpeg_read_scanlines(&job.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&job.cinfo);
  jpeg_destroy_decompress(&job.cinfo);
  // Red first from the decoder; the bitmap holds blue first.
  for (LONG y = 0; y < out.height; ++y) {
    BYTE* p = out.bits.data() + stride * static_cast<std::size_t>(y);
    for (LONG x = 0; x < out.width; ++x, p += 3) std::swap(p[0], p[2]);
  }
  return true;
}

ImageFile ReadJpeg(const std::filesystem::path& path, std::vector<BYTE> file) {
  auto job = std::make_unique<JpegJob>();
  job->cinfo.err = jpeg_std_error(&job->error.base);
  job->error.base.error_exit = JpegExit;
  job->error.base.emit_message = JpegMessage;
  ImageFile out;
  if (!DecodeJpeg(*job, file, out) || out.width <= 0 || out.height <= 0) Bad(path, "not a JPEG file we can read");
  if (job->error.damaged) Bad(path, "the JPEG data is damaged or cut short");
  out.jpeg = std::move(file);
  return out;
}

std::uint32_t Le(const std::vector<BYTE>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t{b[at + i]} << (8 * i);
  return v;
}

ImageFile ReadBmp(const std::filesystem::path& path, const std::vector<BYTE>& file) {
  if (file.size() < 54) Bad(path, "a BMP file too short for its headers");
  const std::uint32_t offset = Le(file, 10, 4);
  const std::uint32_t header = Le(file, 14, 4);
  const auto width = static_cast<std::int32_t>(Le(file, 18, 4));
  const auto height = static_cast<std::int32_t>(Le(file, 22, 4));
  const std::uint32_t bits = Le(file, 28, 2);
  const std::uint32_t compression = Le(file, 30, 4);
  std::uint32_t colors = Le(file, 46, 4);
  // Bit fields (3) only for 16-bit pixels, whose masks follow a 40-byte header.
  const bool fields = compression == 3 && bits == 16 && header == 40 && file.size() >= 66;
  if (header < 40 || width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min() ||
      (compression != 0 && !fields) || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    Bad(path, "only uncompressed BMPs of 1, 4, 8, 16, 24 or 32 bits are read");
  const bool topDown = height < 0;
  const LONG rows = topDown ? -height : height;
  CheckSize(path, static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(rows));
  ImageFile out;
  out.width = width;
  out.height = rows;
  out.bitsPerPixel = bits;
  if (fields) {
    out.masks = {Le(file, 54, 4), Le(file, 58, 4), Le(file, 62, 4)};
    // Each mask one run of bits within the pixel's 16, none sharing a bit with another.
    const auto [red, green, blue] = out.masks;
    for (const std::uint32_t m : out.masks)
      if (m == 0 || m > 0xFFFF || ((m >> std::countr_zero(m)) & ((m >> std::countr_zero(m)) + 1)) != 0)
        Bad(path, "the BMP's colour masks are not runs of bits within its 16-bit pixels");
    if ((red & green) || (red & blue) || (green & blue)) Bad(path, "the BMP's colour masks overlap");
  }
  if (bits <= 8) {
    if (colors == 0 || colors > (1u << bits)) colors = 1u << bits;
    const std::size_t table = 14 + std::size_t{header};
    if (table + 4 * std::size_t{colors} > file.size()) Bad(path, "the BMP's colour table is cut short");
    for (std::uint32_t i = 0; i < colors; ++i) {
      const std::size_t at = table + 4 * i;
      out.palette.push_back(file[at + 2] | file[at + 1] << 8 | file[at] << 16);
    }
  }
  const std::size_t stride = Stride(width, bits);
  if (offset > file.size() || stride * static_cast<std::size_t>(rows) > file.size() - offset)
    Bad(path, "the BMP's pixels are cut short");
  out.bits.resize(stride * static_cast<std::size_t>(rows));
  for (LONG y = 0; y < rows; ++y) {
    const LONG from = topDown ? y : rows - 1 - y;
    std::memcpy(out.bits.data() + stride * static_cast<std::size_t>(y),
                file.data() + offset + stride * static_cast<std::size_t>(from), stride);
  }
  return out;
}

}  // namespace

kq::BitmapBits ImageFile::Bitmap() const {
  kq::BitmapBits bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = bitsPerPixel;
  bitmap.bits = bits;
  bitmap.palette = palette;
  bitmap.masks = masks;
  return bitmap;
}

ImageFile ReadImageFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) Bad(path, "not found");
  if (std::filesystem::is_directory(path, ec)) Bad(path, "is a folder, not an image file");
  std::ifstream in(path, std::ios::binary);
  if (!in) Bad(path, "cannot be read (" + std::error_code(errno, std::generic_category()).message() + ")");
  return DecodeImageFile(path, std::vector<BYTE>((std::istreambuf_iterator<char>(in)), {}));
}

ImageFile DecodeImageFile(const std::filesystem::path& path, std::vector<BYTE> file) {
  if (file.size() >= 8 && png_sig_cmp(file.data(), 0, 8) == 0) return ReadPng(path, file);
  if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) return ReadJpeg(path, std::move(file));
  if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return ReadBmp(path, file);
  Bad(path, "neither a PNG, a JPEG nor a BMP file");
}

}  // namespace kqprint
