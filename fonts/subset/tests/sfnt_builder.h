// Builds small TrueType fonts and collections in memory, for the cases no installed font has, and reads the table
// directory of a font back for the checks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sfnt {

using Bytes = std::vector<std::uint8_t>;

// Big-endian writer.
struct Writer {
  Bytes bytes;
  Writer& U8(std::uint8_t v);
  Writer& U16(std::uint16_t v);
  Writer& I16(std::int16_t v) { return U16(static_cast<std::uint16_t>(v)); }
  Writer& U32(std::uint32_t v);
  Writer& Append(const Bytes& b);
  Writer& Zeros(std::size_t n);
};

std::uint16_t GetU16(const Bytes& b, std::size_t at);
std::uint32_t GetU32(const Bytes& b, std::size_t at);
void PutU16(Bytes& b, std::size_t at, std::uint16_t v);

struct Table {
  std::string tag;
  Bytes data;
};

// A complete sfnt: offset table, directory sorted by tag, checksums, tables in the given order, 4-byte aligned,
// checkSumAdjustment set when head is present. `base` is the file offset the font will stand at (collections).
Bytes BuildFont(const std::vector<Table>& tables, std::uint32_t base = 0);
// A collection of faces, each with its own copy of its tables.
Bytes BuildCollection(const std::vector<std::vector<Table>>& faces);

struct Point {
  std::int16_t x;
  std::int16_t y;
};
// A simple glyph of on-curve points, one contour per list.
Bytes SimpleGlyph(const std::vector<std::vector<Point>>& contours);

struct Component {
  std::uint16_t glyph;
  std::int16_t dx;
  std::int16_t dy;
};
// A composite glyph, each component placed by a 16-bit x/y offset.
Bytes CompositeGlyph(const std::vector<Component>& components);

struct Metric {
  std::uint16_t advance;
  std::int16_t lsb;
};

// A small font; MakeTables turns it into tables (head, hhea, maxp, hmtx, loca, glyf, name, optionally OS/2,
// vhea and vmtx).
struct FontSpec {
  std::vector<Bytes> glyphs;
  bool longLoca = true;
  std::vector<Metric> hmetrics;     // the long metrics
  std::vector<std::int16_t> hlsbs;  // side bearings of the glyphs after them
  std::vector<Metric> vmetrics;     // vhea and vmtx only when not empty
  std::vector<std::int16_t> vtsbs;
  std::optional<std::uint16_t> fsType;  // an OS/2 table only when set
};
std::vector<Table> MakeTables(const FontSpec& spec);

// A font of `count` simple glyphs, glyph g a square of side 10 + g, advance 100 + g.
FontSpec SquaresFont(std::uint16_t count);

Table* FindTable(std::vector<Table>& tables, const std::string& tag);

struct DirectoryEntry {
  std::string tag;
  std::uint32_t checksum;
  std::uint32_t offset;
  std::uint32_t length;
};

// The table directory of a plain font, in file order of the records.
struct Directory {
  std::uint32_t version = 0;
  std::uint16_t numTables = 0;
  std::uint16_t searchRange = 0;
  std::uint16_t entrySelector = 0;
  std::uint16_t rangeShift = 0;
  std::vector<DirectoryEntry> entries;
  const DirectoryEntry* Find(const std::string& tag) const;
  Bytes TableBytes(const Bytes& font, const std::string& tag) const;
};
// Reads the directory; records pointing outside the font make it fail.
std::optional<Directory> ReadDirectory(const Bytes& font);

std::uint32_t Checksum(const Bytes& b, std::size_t offset, std::size_t length);

}  // namespace sfnt
