#include <zlib.h>

#include <algorithm>
#include <climits>

#include "pdf/encoders.h"

namespace {

// An output buffer up to this size is kept for the next stream; a larger one (a page of a million operations)
// goes back to the heap with its stream.
constexpr std::size_t kKeptBuffer = std::size_t{1} << 20;

}  // namespace

std::optional<std::string> FlateEncode(const void* bytes, std::size_t length, const MemoryManager& manager) {
  return FlateEncoder(manager).Encode(bytes, length);
}

FlateEncoder::FlateEncoder(const MemoryManager& manager)
    : manager_(&manager), stream_(std::make_unique<z_stream>()) {}

FlateEncoder::~FlateEncoder() {
  if (open_) deflateEnd(stream_.get());
}

bool FlateEncoder::Ready() {
  if (open_ && fresh_) return true;
  if (open_ && deflateReset(stream_.get()) == Z_OK) {
    fresh_ = true;
    return true;
  }
  if (open_) deflateEnd(stream_.get());
  *stream_ = z_stream{};
  stream_->zalloc = ZlibAlloc;
  stream_->zfree = ZlibFree;
  stream_->opaque = const_cast<MemoryManager*>(manager_);
  open_ = fresh_ = deflateInit2(stream_.get(), 6, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  return open_;
}

std::optional<std::string> FlateEncoder::Encode(const void* bytes, std::size_t length) {
  if (!Ready()) return std::nullopt;
  fresh_ = false;
  z_stream& stream = *stream_;

  const std::size_t capacity = std::max<std::size_t>(compressBound(length), length + 256);
  std::unique_ptr<char[]> large;
  char* out = nullptr;
  if (capacity <= kKeptBuffer) {
    if (bufferSize_ < capacity) {
      buffer_.reset();
      buffer_.reset(new char[capacity]);
      bufferSize_ = capacity;
    }
    out = buffer_.get();
  } else {
    large.reset(new char[capacity]);
    out = large.get();
  }
  // zlib counts in 32 bits: input and output are handed over in pieces.
  constexpr std::size_t kPiece = UINT_MAX;
  std::size_t inLeft = length;
  std::size_t outLeft = capacity;
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
  stream.avail_in = 0;
  stream.next_out = reinterpret_cast<Bytef*>(out);
  stream.avail_out = 0;
  bool done = false;
  for (;;) {
    if (stream.avail_in == 0 && inLeft > 0) {
      stream.avail_in = static_cast<uInt>(std::min(inLeft, kPiece));
      inLeft -= stream.avail_in;
    }
    if (stream.avail_out == 0) {
      if (outLeft == 0) break;  // cannot happen with the bound above
      stream.avail_out = static_cast<uInt>(std::min(outLeft, kPiece));
      outLeft -= stream.avail_out;
    }
    const int status = deflate(&stream, inLeft == 0 ? Z_FINISH : Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      done = true;
      break;
    }
    if (status != Z_OK) break;
  }
  if (!done) return std::nullopt;
  return std::string(out, reinterpret_cast<char*>(stream.next_out));
}
