// Fuzz target of the TrueType subsetter: the input is the font. Its last bytes also pick the face of a collection,
// the table flags and a few glyphs, so every seed stays a font as it is. A subset that builds must be a
// well-formed font: directory inside the output, every checksum right.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "truetype_subset.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::size_t size;
};

int ReadInput(void* context, std::uint32_t offset, void* destination, std::uint32_t length) {
  const auto* in = static_cast<const Input*>(context);
  if (std::uint64_t{offset} + length > in->size) return -1;
  std::memcpy(destination, in->data + offset, length);
  return 0;
}

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckSubset(const TTSubsetter& s) {
  const std::uint8_t* out = s.output.start;
  const std::uint32_t size = s.output.position;
  Check(size >= 12 && size % 4 == 0 && s.output.capacity >= size);
  const std::uint16_t numTables = U16(out + 4);
  Check(12u + 16u * numTables <= size);
  std::uint32_t previousTag = 0;
  for (std::uint32_t i = 0; i < numTables; ++i) {
    const std::uint8_t* r = out + 12 + 16 * i;
    const std::uint32_t tag = U32(r);
    const std::uint32_t offset = U32(r + 8);
    const std::uint32_t length = U32(r + 12);
    Check(i == 0 || tag > previousTag);
    Check(offset % 4 == 0 && std::uint64_t{offset} + length <= size);
    std::uint32_t checksum = TTSubsetter_Checksum(out + offset, length);
    if (tag == 0x68656164u) checksum -= U32(out + offset + 8);  // head counts checkSumAdjustment as 0
    Check(checksum == U32(r + 4));
    previousTag = tag;
  }
  Check(TTSubsetter_Checksum(out, size) == 0xB1B0AFBAu);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16 || size > 0xFFFFFFFFu) return 0;
  Input in{data, size};
  const std::uint8_t* tail = data + size - 10;
  const std::uint32_t face = std::memcmp(data, "ttcf", 4) == 0 ? tail[0] % 4 : tail[0];
  TTSubsetter s;
  TTSubsetter_Open(&s, face, ReadInput, &in);
  if (s.status != TT_OK) return 0;
  TTSubsetter_GetFsType(&s);
  TTSubsetter_SetTableFlags(&s, tail[1] % 4);
  const auto last = static_cast<std::uint16_t>(s.numGlyphs - 1);
  const auto beyond = static_cast<std::uint16_t>(s.numGlyphs);
  const auto some = static_cast<std::uint16_t>(U16(tail + 6) % s.numGlyphs);
  const auto other = static_cast<std::uint16_t>(U16(tail + 8) % s.numGlyphs);
  const std::uint16_t glyphs[] = {1, 2, last, beyond, U16(tail + 2), U16(tail + 4), some, other};
  for (std::uint16_t g : glyphs) {
    const std::uint16_t id = TTSubsetter_AddGlyph(&s, g);
    Check(id < s.keptCount && (g < s.numGlyphs || id == 0));
  }
  if (TTSubsetter_Build(&s) == TT_OK) CheckSubset(s);
  TTSubsetter_Close(&s);
  return 0;
}
