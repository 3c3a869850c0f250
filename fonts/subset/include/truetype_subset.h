// TrueType subsetter: reads one TrueType font (or one face of a collection) through a read callback, keeps the
// glyphs asked for, renumbered from 0 in order of first use, and writes a smaller TrueType font holding only those
// glyphs (composite components included). A plain record with free functions; no font engine inside.
//
// Calling order: TTSubsetter_Open, check status, any number of TTSubsetter_GetFsType, TTSubsetter_SetTableFlags
// and TTSubsetter_AddGlyph, one TTSubsetter_Build, TTSubsetter_Close. The subset font is the bytes from
// output.start to output.start + output.position.
#pragma once

#include <cstdint>

// Reads `length` bytes at `offset` of the font into `destination`: 0 on success, non-zero on failure.
using TTReadCallback = int (*)(void* context, std::uint32_t offset, void* destination, std::uint32_t length);

// Results of the subsetter. TT_ABSENT passes only between a table writer and the build, never out of it.
inline constexpr int TT_OK = 0;
inline constexpr int TT_FAILED = -1;
inline constexpr int TT_ABSENT = -2;

// Table flags: which metrics tables the subset carries.
inline constexpr std::uint32_t TT_TABLES_HORIZONTAL = 0x1;  // hhea and hmtx
inline constexpr std::uint32_t TT_TABLES_VERTICAL = 0x2;    // vhea and vmtx

// One table directory record of the source font, in host order.
struct TTTableRecord {
  std::uint32_t tag;
  std::uint32_t checksum;
  std::uint32_t offset;
  std::uint32_t length;
};

// One kept glyph, indexed by its new id.
struct TTKeptGlyph {
  std::uint32_t sourceGlyph;
  std::uint32_t newOffset;  // offset of the glyph in the subset's glyf table
};

// The subset font as it is written; grows by doubling.
struct TTOutputBuffer {
  std::uint8_t* start = nullptr;
  std::uint32_t position = 0;
  std::uint32_t capacity = 0;
};

struct TTSubsetter {
  TTReadCallback read = nullptr;
  void* context = nullptr;
  std::uint16_t numTables = 0;
  TTTableRecord* tables = nullptr;
  std::int32_t status = TT_FAILED;
  std::uint16_t keptCount = 0;
  TTKeptGlyph* kept = nullptr;        // numGlyphs + 1 records; record keptCount ends the glyf table
  std::uint16_t* glyphMap = nullptr;  // numGlyphs entries: new id, or 0 when the glyph is not kept
  std::uint32_t checkSumAdjustmentPos = 0;
  std::uint16_t indexToLocFormat = 0;
  std::uint16_t numGlyphs = 0;
  std::uint32_t tableFlags = TT_TABLES_HORIZONTAL;
  TTOutputBuffer output;

  TTSubsetter() = default;
  TTSubsetter(const TTSubsetter&) = delete;
  TTSubsetter& operator=(const TTSubsetter&) = delete;
  ~TTSubsetter();
};

// Fills the record from the font; record->status is 0 when the font can be subset, -1 otherwise. A plain font
// ignores the face index; in a collection it must name one of its faces.
TTSubsetter* TTSubsetter_Open(TTSubsetter* record, std::uint32_t faceIndex, TTReadCallback read, void* context);

// Frees every buffer of the record (the record itself is the caller's). Safe to call more than once.
void TTSubsetter_Close(TTSubsetter* record);

// The OS/2 embedding flags (fsType); 0 when the font has no readable OS/2 table.
std::uint16_t TTSubsetter_GetFsType(TTSubsetter* record);

void TTSubsetter_SetTableFlags(TTSubsetter* record, std::uint32_t flags);

// The glyph's new id, given on first use. Glyph 0 and ids not below the glyph count answer 0.
std::uint16_t TTSubsetter_AddGlyph(TTSubsetter* record, std::uint16_t sourceGlyph);

// Writes the subset font into record->output: 0, or -1 on a read or allocation failure or a malformed font.
int TTSubsetter_Build(TTSubsetter* record);

// Sum of the bytes as big-endian 32-bit words, the last word padded with zeros.
std::uint32_t TTSubsetter_Checksum(const std::uint8_t* bytes, std::uint32_t length);
