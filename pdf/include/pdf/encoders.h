// The two stream encoders: Flate (zlib) for every compressed stream of the file, DCT (libjpeg, version 62) for
// photographic images. Each says plainly when it could not encode; it never hands back partial data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "pdf/memory.h"

// The complete zlib stream of the input (level 6, 15-bit window, memory level 8, default strategy: the bytes of
// zlib's compress), allocating through `manager`; nothing when zlib fails.
std::optional<std::string> FlateEncode(const void* bytes, std::size_t length,
                                       const MemoryManager& manager = ProcessMemoryManager());

struct z_stream_s;

// FlateEncode for many streams in turn: one compression state, reset between streams rather than made anew, and
// one output buffer kept while it is small. Each Encode gives exactly the bytes FlateEncode gives; a failure
// leaves the encoder usable. `manager` must outlive the encoder.
class FlateEncoder {
 public:
  explicit FlateEncoder(const MemoryManager& manager = ProcessMemoryManager());
  ~FlateEncoder();
  FlateEncoder(const FlateEncoder&) = delete;
  FlateEncoder& operator=(const FlateEncoder&) = delete;

  std::optional<std::string> Encode(const void* bytes, std::size_t length);

 private:
  // A state ready for a new stream; false when zlib cannot make one.
  bool Ready();

  const MemoryManager* manager_;
  std::unique_ptr<z_stream_s> stream_;
  bool open_ = false;    // stream_ holds an initialised state
  bool fresh_ = false;   // ... that no stream has used since it was made or reset
  std::unique_ptr<char[]> buffer_;  // the output of a stream up to kKeptBuffer bytes
  std::size_t bufferSize_ = 0;
};

// An RGB image: 3 bytes a pixel (red, green, blue), rows of exactly 3 x width bytes, top row first.
struct DctImage {
  const std::uint8_t* pixels = nullptr;
  std::int32_t byteCount = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// A baseline JPEG file of the image (quality 75, standard tables). Nothing when there is no JPEG to be had: a size
// libjpeg cannot take, fewer pixel bytes than the size needs, or a libjpeg error; the caller then uses Flate.
std::optional<std::string> DctEncode(const DctImage& image);
