#include <zlib.h>

#include <algorithm>
#include <climits>

#include "pdf/encoders.h"

std::optional<std::string> FlateEncode(const void* bytes, std::size_t length, const MemoryManager& manager) {
  z_stream stream{};
  stream.zalloc = ZlibAlloc;
  stream.zfree = ZlibFree;
  stream.opaque = const_cast<MemoryManager*>(&manager);
  if (deflateInit2(&stream, 6, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;

  std::string out(std::max<std::size_t>(compressBound(length), length + 256), '\0');
  // zlib counts in 32 bits: input and output are handed over in pieces.
  constexpr std::size_t kPiece = UINT_MAX;
  std::size_t inLeft = length;
  std::size_t outLeft = out.size();
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
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
  const std::size_t produced = static_cast<std::size_t>(reinterpret_cast<char*>(stream.next_out) - out.data());
  deflateEnd(&stream);
  if (!done) return std::nullopt;
  out.resize(produced);
  return out;
}
