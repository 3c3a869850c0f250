#include "sfnt_builder.h"

#include <algorithm>
#include <stdexcept>

namespace sfnt {

Writer& Writer::U8(std::uint8_t v) {
  bytes.push_back(v);
  return *this;
}

Writer& Writer::U16(std::uint16_t v) {
  bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  bytes.push_back(static_cast<std::uint8_t>(v));
  return *this;
}

Writer& Writer::U32(std::uint32_t v) {
  U16(static_cast<std::uint16_t>(v >> 16));
  return U16(static_cast<std::uint16_t>(v));
}

Writer& Writer::Append(const Bytes& b) {
  bytes.insert(bytes.end(), b.begin(), b.end());
  return *this;
}

Writer& Writer::Zeros(std::size_t n) {
  bytes.insert(bytes.end(), n, 0);
  return *this;
}

std::uint16_t GetU16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) << 8 | b.at(at + 1));
}

std::uint32_t GetU32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(GetU16(b, at)) << 16 | GetU16(b, at + 2);
}

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v >> 8);
  b.at(at + 1) = static_cast<std::uint8_t>(v);
}

static void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutU16(b, at, static_cast<std::uint16_t>(v >> 16));
  PutU16(b, at + 2, static_cast<std::uint16_t>(v));
}

std::uint32_t Checksum(const Bytes& b, std::size_t offset, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < length; i += 4) {
    std::uint32_t word = 0;
    for (std::size_t j = 0; j < 4; ++j) word = word << 8 | (i + j < length ? b.at(offset + i + j) : 0u);
    sum += word;
  }
  return sum;
}

static std::uint32_t TagValue(const std::string& tag) {
  if (tag.size() != 4) throw std::invalid_argument("tag " + tag);
  return static_cast<std::uint32_t>(static_cast<unsigned char>(tag[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(tag[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(tag[2])) << 8 | static_cast<unsigned char>(tag[3]);
}

static void WriteOffsetTable(Writer& w, std::size_t count) {
  std::uint16_t power = 1;
  std::uint16_t log2 = 0;
  while (power * 2u <= count) {
    power = static_cast<std::uint16_t>(power * 2);
    ++log2;
  }
  w.U32(0x00010000).U16(static_cast<std::uint16_t>(count)).U16(static_cast<std::uint16_t>(16 * power)).U16(log2);
  w.U16(static_cast<std::uint16_t>(16 * count - 16 * power));
}

// Lays out one face's tables after its directory, starting at `base`, and fills the directory at `dirAt`.
static void LayOut(Bytes& file, std::size_t dirAt, const std::vector<Table>& tables) {
  std::vector<std::size_t> order(tables.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return TagValue(tables[a].tag) < TagValue(tables[b].tag); });
  std::vector<std::uint32_t> offsets(tables.size());
  for (std::size_t i = 0; i < tables.size(); ++i) {
    offsets[i] = static_cast<std::uint32_t>(file.size());
    file.insert(file.end(), tables[i].data.begin(), tables[i].data.end());
    file.resize((file.size() + 3) & ~std::size_t{3}, 0);
  }
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::size_t i = order[k];
    const std::size_t r = dirAt + 16 * k;
    PutU32(file, r, TagValue(tables[i].tag));
    PutU32(file, r + 4, Checksum(file, offsets[i], tables[i].data.size()));
    PutU32(file, r + 8, offsets[i]);
    PutU32(file, r + 12, static_cast<std::uint32_t>(tables[i].data.size()));
  }
}

static void SetAdjustment(Bytes& file, const std::vector<Table>& tables, std::size_t dirAt) {
  for (std::size_t k = 0; k < tables.size(); ++k) {
    if (GetU32(file, dirAt + 16 * k) == TagValue("head")) {
      const std::uint32_t at = GetU32(file, dirAt + 16 * k + 8);
      PutU32(file, at + 8, 0);
      PutU32(file, at + 8, 0xB1B0AFBAu - Checksum(file, 0, file.size()));
    }
  }
}

Bytes BuildFont(const std::vector<Table>& tables, std::uint32_t base) {
  Writer w;
  w.Zeros(base);
  WriteOffsetTable(w, tables.size());
  w.Zeros(16 * tables.size());
  Bytes file = std::move(w.bytes);
  LayOut(file, base + 12, tables);
  if (base == 0) SetAdjustment(file, tables, 12);
  return file;
}

Bytes BuildCollection(const std::vector<std::vector<Table>>& faces) {
  Writer w;
  w.U32(TagValue("ttcf")).U32(0x00010000).U32(static_cast<std::uint32_t>(faces.size()));
  w.Zeros(4 * faces.size());
  Bytes file = std::move(w.bytes);
  for (std::size_t f = 0; f < faces.size(); ++f) {
    const std::size_t dirAt = file.size();
    PutU32(file, 12 + 4 * f, static_cast<std::uint32_t>(dirAt));
    Writer header;
    WriteOffsetTable(header, faces[f].size());
    header.Zeros(16 * faces[f].size());
    file.insert(file.end(), header.bytes.begin(), header.bytes.end());
    LayOut(file, dirAt + 12, faces[f]);
  }
  return file;
}

Bytes SimpleGlyph(const std::vector<std::vector<Point>>& contours) {
  std::int16_t xMin = 0x7FFF, yMin = 0x7FFF, xMax = -0x7FFF, yMax = -0x7FFF;
  std::size_t points = 0;
  for (const auto& c : contours) {
    for (const Point& p : c) {
      xMin = std::min(xMin, p.x);
      yMin = std::min(yMin, p.y);
      xMax = std::max(xMax, p.x);
      yMax = std::max(yMax, p.y);
    }
    points += c.size();
  }
  Writer w;
  w.I16(static_cast<std::int16_t>(contours.size())).I16(xMin).I16(yMin).I16(xMax).I16(yMax);
  std::size_t end = 0;
  for (const auto& c : contours) {
    end += c.size();
    w.U16(static_cast<std::uint16_t>(end - 1));
  }
  w.U16(0);                                             // no instructions
  for (std::size_t i = 0; i < points; ++i) w.U8(0x01);  // on curve, 16-bit deltas
  std::int16_t last = 0;
  for (const auto& c : contours) {
    for (const Point& p : c) {
      w.I16(static_cast<std::int16_t>(p.x - last));
      last = p.x;
    }
  }
  last = 0;
  for (const auto& c : contours) {
    for (const Point& p : c) {
      w.I16(static_cast<std::int16_t>(p.y - last));
      last = p.y;
    }
  }
  return w.bytes;
}

Bytes CompositeGlyph(const std::vector<Component>& components) {
  Writer w;
  w.I16(-1).I16(0).I16(0).I16(100).I16(100);
  for (std::size_t i = 0; i < components.size(); ++i) {
    std::uint16_t flags = 0x0001 | 0x0002;  // 16-bit arguments, x/y offsets
    if (i + 1 < components.size()) flags |= 0x0020;
    w.U16(flags).U16(components[i].glyph).I16(components[i].dx).I16(components[i].dy);
  }
  return w.bytes;
}

static Bytes Head(bool longLoca) {
  Writer w;
  w.U32(0x00010000).U32(0x00010000).U32(0).U32(0x5F0F3CF5).U16(0).U16(1000);
  w.Zeros(16);  // created, modified
  w.I16(0).I16(0).I16(1000).I16(1000);
  w.U16(0).U16(8).I16(2).I16(longLoca ? 1 : 0).I16(0);
  return w.bytes;
}

static Bytes MetricsHeader(std::size_t longCount) {
  Writer w;
  w.U32(0x00010000).I16(800).I16(-200).I16(0).U16(2000);
  w.Zeros(22);
  w.U16(static_cast<std::uint16_t>(longCount));
  return w.bytes;
}

static Bytes MetricsTable(const std::vector<Metric>& metrics, const std::vector<std::int16_t>& bearings) {
  Writer w;
  for (const Metric& m : metrics) w.U16(m.advance).I16(m.lsb);
  for (std::int16_t b : bearings) w.I16(b);
  return w.bytes;
}

std::vector<Table> MakeTables(const FontSpec& spec) {
  Writer loca;
  Writer glyf;
  for (const Bytes& g : spec.glyphs) {
    const auto at = static_cast<std::uint32_t>(glyf.bytes.size());
    spec.longLoca ? loca.U32(at) : loca.U16(static_cast<std::uint16_t>(at / 2));
    glyf.Append(g);
    if (glyf.bytes.size() % 2) glyf.U8(0);
  }
  const auto end = static_cast<std::uint32_t>(glyf.bytes.size());
  spec.longLoca ? loca.U32(end) : loca.U16(static_cast<std::uint16_t>(end / 2));

  Writer maxp;
  maxp.U32(0x00010000).U16(static_cast<std::uint16_t>(spec.glyphs.size()));
  maxp.U16(200).U16(20).U16(200).U16(20).U16(2).U16(0).U16(0).U16(0).U16(0).U16(0).U16(0).U16(8).U16(4);

  Writer name;
  name.U16(0).U16(0).U16(6);

  std::vector<Table> tables = {
      {"head", Head(spec.longLoca)}, {"hhea", MetricsHeader(spec.hmetrics.size())},
      {"maxp", maxp.bytes},          {"hmtx", MetricsTable(spec.hmetrics, spec.hlsbs)},
      {"loca", loca.bytes},          {"glyf", glyf.bytes},
      {"name", name.bytes},
  };
  if (!spec.vmetrics.empty()) {
    tables.push_back({"vhea", MetricsHeader(spec.vmetrics.size())});
    tables.push_back({"vmtx", MetricsTable(spec.vmetrics, spec.vtsbs)});
  }
  if (spec.fsType) {
    Writer os2;
    os2.U16(0).I16(500).U16(400).U16(5).U16(*spec.fsType).Zeros(68);
    tables.push_back({"OS/2", os2.bytes});
  }
  return tables;
}

FontSpec SquaresFont(std::uint16_t count) {
  FontSpec spec;
  for (std::uint16_t g = 0; g < count; ++g) {
    const auto side = static_cast<std::int16_t>(10 + g);
    spec.glyphs.push_back(SimpleGlyph({{{0, 0}, {0, side}, {side, side}, {side, 0}}}));
    spec.hmetrics.push_back({static_cast<std::uint16_t>(100 + g), 0});
  }
  return spec;
}

Table* FindTable(std::vector<Table>& tables, const std::string& tag) {
  for (Table& t : tables) {
    if (t.tag == tag) return &t;
  }
  return nullptr;
}

const DirectoryEntry* Directory::Find(const std::string& tag) const {
  for (const DirectoryEntry& e : entries) {
    if (e.tag == tag) return &e;
  }
  return nullptr;
}

Bytes Directory::TableBytes(const Bytes& font, const std::string& tag) const {
  const DirectoryEntry* e = Find(tag);
  if (e == nullptr) return {};
  return Bytes(font.begin() + e->offset, font.begin() + e->offset + e->length);
}

std::optional<Directory> ReadDirectory(const Bytes& font) {
  if (font.size() < 12) return std::nullopt;
  Directory d;
  d.version = GetU32(font, 0);
  d.numTables = GetU16(font, 4);
  d.searchRange = GetU16(font, 6);
  d.entrySelector = GetU16(font, 8);
  d.rangeShift = GetU16(font, 10);
  if (font.size() < 12 + 16u * d.numTables) return std::nullopt;
  for (std::size_t i = 0; i < d.numTables; ++i) {
    const std::size_t r = 12 + 16 * i;
    DirectoryEntry e{
        std::string(font.begin() + static_cast<std::ptrdiff_t>(r), font.begin() + static_cast<std::ptrdiff_t>(r + 4)),
        GetU32(font, r + 4), GetU32(font, r + 8), GetU32(font, r + 12)};
    if (std::uint64_t{e.offset} + e.length > font.size()) return std::nullopt;
    d.entries.push_back(e);
  }
  return d;
}

}  // namespace sfnt
