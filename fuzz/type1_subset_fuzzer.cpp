// Fuzz target of the Type 1 subsetter. The input is a font file; its last byte picks the output mode, the glyphs
// to keep and, with its top bit, that the private part stands in plain text in the input (from the line after
// "eexec" to "closefile" and its line end) and is encrypted here, so that mutations reach the private part's
// parser.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "type1_subset.h"

namespace {

struct Input {
  const std::uint8_t* data;
  std::uint32_t size;
};

int Read(void* context, std::uint32_t offset, void* destination, std::uint32_t length) {
  const auto* in = static_cast<const Input*>(context);
  if (offset > in->size || length > in->size - offset) return -1;
  if (length) std::memcpy(destination, in->data + offset, length);
  return 0;
}

std::uint32_t Size(void* context) { return static_cast<const Input*>(context)->size; }

void EncryptPrivatePart(std::vector<std::uint8_t>& font) {
  const std::string_view text(reinterpret_cast<const char*>(font.data()), font.size());
  std::size_t begin = text.find("eexec");
  if (begin == std::string_view::npos) return;
  begin = text.find('\n', begin);
  if (begin == std::string_view::npos) return;
  ++begin;
  std::size_t end = text.find("closefile", begin);
  end = end == std::string_view::npos ? font.size() : std::min(font.size(), end + 10);
  std::uint16_t r = 55665;
  for (std::size_t i = begin; i < end; ++i) {
    const auto c = static_cast<std::uint8_t>(font[i] ^ (r >> 8));
    r = static_cast<std::uint16_t>((c + r) * 52845u + 22719u);
    font[i] = c;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 22)) return 0;
  const std::uint8_t pick = data[size - 1];
  std::vector<std::uint8_t> font(data, data + size);
  if (pick & 0x80) EncryptPrivatePart(font);
  Input in{font.data(), static_cast<std::uint32_t>(font.size())};
  T1Subsetter rec;
  T1Subsetter_Open(&rec, &Read, &Size, &in);
  if (rec.status == 0) {
    T1Subsetter_SetMode(&rec, pick & 3);
    // Every glyph, or every third one, from a start the input chooses; then indices outside the font.
    const std::uint32_t step = (pick & 4) ? 3 : 1;
    for (std::uint32_t i = (pick >> 3) & 7; i < static_cast<std::uint32_t>(rec.glyphCount) + 2; i += step) {
      T1Subsetter_AddGlyph(&rec, i);
    }
    T1Subsetter_AddGlyph(&rec, 0xFFFFFFFF);
    if (T1Subsetter_Build(&rec) == 0) {
      // The three lengths split the output (PFB adds its two-byte end marker).
      const std::uint64_t parts = std::uint64_t{rec.length1} + rec.length2 + rec.length3 + (rec.mode == 0 ? 2 : 0);
      if (parts != rec.outputUsed) __builtin_trap();
    }
  }
  T1Subsetter_Close(&rec);
  return 0;
}
