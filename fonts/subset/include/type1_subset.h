// Type 1 font subsetter: reads a Type 1 font program (PFB segments, or PFA text with a hexadecimal or binary
// eexec part) through the caller's callbacks, keeps the glyphs asked for together with the components of their
// accented (seac) composites, and writes a new Type 1 font with only those glyphs, an encoding that gives each
// kept glyph its code, and the private part encrypted again.
//
// Calling order: T1Subsetter_Open, check `status`, T1Subsetter_SetMode, any number of T1Subsetter_AddGlyph,
// T1Subsetter_Build, T1Subsetter_Close. The result is the bytes [output, output + outputUsed); length1, length2
// and length3 split it into the clear part, the private part and the trailer (in PFB mode each with its segment
// header, the end marker after them). A PDF /FontFile stream takes kT1ModeFontFile and the three lengths as its
// /Length1, /Length2 and /Length3.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Copies `length` bytes at `offset` of the font into `destination`; 0 on success.
using T1ReadProc = int (*)(void* context, std::uint32_t offset, void* destination, std::uint32_t length);
// The font's size in bytes.
using T1SizeProc = std::uint32_t (*)(void* context);

// Output modes (T1Subsetter_SetMode). Other values leave the mode as it is.
inline constexpr std::uint32_t kT1ModePfb = 0;       // PFB segments: text, binary private part, text, end marker
inline constexpr std::uint32_t kT1ModeHex = 1;       // private part in lowercase hexadecimal between two LF bytes
inline constexpr std::uint32_t kT1ModePlain = 2;     // private part decrypted, unchanged
inline constexpr std::uint32_t kT1ModeFontFile = 3;  // binary private part, no framing: a PDF /FontFile stream

// One entry of the CharStrings dictionary.
struct T1Glyph {
  std::uint32_t code = 0;  // new code; 0 = not kept (glyph 0, ".notdef", always has code 0)
  std::string name;        // without the leading "/"
  const std::uint8_t* charstringStart = nullptr;  // encrypted charstring, inside `decrypted` (or a built-in one)
  const std::uint8_t* charstringEnd = nullptr;
  bool walking = false;  // its seac components are being kept
};

struct T1Subsetter {
  T1ReadProc read = nullptr;
  T1SizeProc size = nullptr;
  void* context = nullptr;

  // Offsets are into `image` or `decrypted`.
  std::vector<std::uint8_t> image;  // the whole file
  std::size_t imageEnd = 0;         // in PFB input, the end-of-file segment header
  std::size_t clearStart = 0, clearEnd = 0;
  std::size_t encryptedStart = 0, encryptedEnd = 0;
  std::vector<std::uint8_t> decrypted;  // the private part, its four leading random bytes included
  std::uint32_t hexInput = 0;

  std::size_t charStringsPos = 0;  // "/CharStrings"
  std::size_t countEnd = 0;        // just after the declared glyph count
  std::size_t firstGlyphPos = 0;   // first glyph entry
  std::size_t lastGlyphEnd = 0;    // just after the last glyph entry and the white space behind it
  std::size_t closefileEnd = 0;    // just after "closefile"
  std::size_t cleartomarkPos = 0;  // in `image`

  std::string rdToken, ndToken;  // "RD" and "ND", or "-|" and "|-"

  std::vector<T1Glyph> glyphs;       // CharStrings order, ".notdef" at index 0
  std::array<std::uint32_t, 256> standardGlyphs{};  // first glyph named by each StandardEncoding code, 0 if none
  std::vector<std::uint32_t> kept;   // glyph indices by new code
  std::int32_t glyphCount = 0;
  std::uint32_t keptCount = 0;       // also the next new code
  std::uint32_t declaredCount = 0;
  std::uint32_t tooManyGlyphs = 0;   // the dictionary holds more entries than it declares

  std::int32_t status = -1;
  std::uint32_t mode = kT1ModePfb;
  std::uint16_t r = 55665;  // eexec encryption state
  std::uint32_t plainOutput = 0, hexOutput = 0;

  std::unique_ptr<std::uint8_t[]> output;
  std::uint32_t outputUsed = 0, outputCapacity = 0;

  std::uint32_t length1 = 0, length2 = 0, length3 = 0;  // length3 is read as a signed value
};

// Fills the record and parses the font; `status` is 0, or -1 when the font cannot be read or is not a Type 1 font.
T1Subsetter* T1Subsetter_Open(T1Subsetter* record, T1ReadProc read, T1SizeProc size, void* context);
// Frees every buffer the record holds.
void T1Subsetter_Close(T1Subsetter* record);
void T1Subsetter_SetMode(T1Subsetter* record, std::uint32_t mode);
// Keeps a glyph (by its index in `glyphs`) and answers its new code: 0 for an index outside 1 .. glyphCount - 1,
// when the 256 codes are used up, or when the font did not open.
std::uint32_t T1Subsetter_AddGlyph(T1Subsetter* record, std::uint32_t glyphIndex);
// Writes the subset font into the output buffer and sets the three lengths; 0, or -1.
int T1Subsetter_Build(T1Subsetter* record);
