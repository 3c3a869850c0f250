// Small CFF programs and OpenType fonts around them, for the cases no installed font has: CID-keyed programs with
// each charset format, charsets that are missing, predefined or broken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sfnt_builder.h"

namespace cfftest {

using Bytes = std::vector<std::uint8_t>;

// A Type 2 number.
inline void Number(Bytes& out, int v) {
  if (v >= -107 && v <= 107) {
    out.push_back(static_cast<std::uint8_t>(v + 139));
  } else if (v >= 108 && v <= 1131) {
    out.push_back(static_cast<std::uint8_t>((v - 108) / 256 + 247));
    out.push_back(static_cast<std::uint8_t>((v - 108) % 256));
  } else if (v <= -108 && v >= -1131) {
    out.push_back(static_cast<std::uint8_t>((-v - 108) / 256 + 251));
    out.push_back(static_cast<std::uint8_t>((-v - 108) % 256));
  } else {
    out.push_back(28);
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
  }
}

// A DICT integer of fixed size (operator 29), so a DICT's size does not depend on the offsets it holds.
inline void Int32(Bytes& out, std::int32_t v) {
  out.push_back(29);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> shift));
}

// A square glyph of the given advance: "w 50 0 rmoveto side 0 0 side -side 0 rlineto endchar".
inline Bytes Square(int width, int side) {
  Bytes cs;
  Number(cs, width);
  Number(cs, 50);
  Number(cs, 0);
  cs.push_back(21);
  for (int v : {side, 0, 0, side, -side, 0}) Number(cs, v);
  cs.push_back(5);
  cs.push_back(14);
  return cs;
}

inline Bytes Index(const std::vector<Bytes>& items) {
  Bytes out;
  out.push_back(static_cast<std::uint8_t>(items.size() >> 8));
  out.push_back(static_cast<std::uint8_t>(items.size()));
  if (items.empty()) return out;
  out.push_back(4);  // offset size
  std::uint32_t offset = 1;
  const auto put = [&](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
  };
  put(offset);
  for (const Bytes& item : items) put(offset += static_cast<std::uint32_t>(item.size()));
  for (const Bytes& item : items) out.insert(out.end(), item.begin(), item.end());
  return out;
}

// Charset bytes, format byte first.
inline Bytes Format0(const std::vector<std::uint16_t>& cids) {
  Bytes out = {0};
  for (std::uint16_t cid : cids) {
    out.push_back(static_cast<std::uint8_t>(cid >> 8));
    out.push_back(static_cast<std::uint8_t>(cid));
  }
  return out;
}

struct CharsetRange {
  std::uint16_t first;
  std::uint16_t left;
};
inline Bytes RangeFormat(std::uint8_t format, const std::vector<CharsetRange>& ranges) {
  Bytes out = {format};
  for (const CharsetRange& r : ranges) {
    out.push_back(static_cast<std::uint8_t>(r.first >> 8));
    out.push_back(static_cast<std::uint8_t>(r.first));
    if (format == 2) out.push_back(static_cast<std::uint8_t>(r.left >> 8));
    out.push_back(static_cast<std::uint8_t>(r.left));
  }
  return out;
}

struct Program {
  bool cidKeyed = true;
  std::optional<Bytes> charset;          // no charset operator when absent
  std::optional<std::int32_t> charsetAt;  // where the operator points, in place of the charset's own place
  std::vector<Bytes> charStrings;
};

// Header, Name, Top DICT, String and Global Subr indexes, then the charset, FDSelect, CharStrings, FDArray and
// Private DICT.
inline Bytes Build(const Program& p) {
  const Bytes header = {1, 0, 4, 4};
  const Bytes names = Index({Bytes{'C', 'i', 'd', 'T', 'e', 's', 't'}});
  const Bytes strings = Index({Bytes{'A', 'd', 'o', 'b', 'e'}, Bytes{'I', 'd', 'e', 'n', 't', 'i', 't', 'y'}});
  const Bytes globalSubrs = Index({});
  const Bytes privateDict = {139, 20, 139, 21};  // defaultWidthX 0, nominalWidthX 0
  const auto glyphs = static_cast<std::uint16_t>(p.charStrings.size());
  const Bytes fdSelect = {3, 0, 1, 0, 0, 0, static_cast<std::uint8_t>(glyphs >> 8), static_cast<std::uint8_t>(glyphs)};
  const Bytes charStrings = Index(p.charStrings);

  // The Top DICT's size does not depend on its offsets: build it once to measure, once with the offsets.
  std::int32_t charsetAt = 0, fdSelectAt = 0, charStringsAt = 0, fdArrayAt = 0, privateAt = 0;
  const auto topDict = [&] {
    Bytes d;
    if (p.cidKeyed) {
      Int32(d, 391);
      Int32(d, 392);
      Int32(d, 0);
      d.insert(d.end(), {12, 30});
    }
    if (p.charset || p.charsetAt) {
      Int32(d, p.charsetAt.value_or(charsetAt));
      d.push_back(15);
    }
    Int32(d, charStringsAt);
    d.push_back(17);
    if (p.cidKeyed) {
      Int32(d, fdArrayAt);
      d.insert(d.end(), {12, 36});
      Int32(d, fdSelectAt);
      d.insert(d.end(), {12, 37});
    } else {
      Int32(d, static_cast<std::int32_t>(privateDict.size()));
      Int32(d, privateAt);
      d.push_back(18);
    }
    return d;
  };
  const auto fdArray = [&] {
    Bytes fd;
    Int32(fd, static_cast<std::int32_t>(privateDict.size()));
    Int32(fd, privateAt);
    fd.push_back(18);
    return Index({fd});
  };
  const std::size_t front = header.size() + names.size() + Index({topDict()}).size() + strings.size() + globalSubrs.size();
  const Bytes charset = p.charset.value_or(Bytes{});
  charsetAt = static_cast<std::int32_t>(front);
  fdSelectAt = static_cast<std::int32_t>(charsetAt + charset.size());
  charStringsAt = static_cast<std::int32_t>(fdSelectAt + fdSelect.size());
  fdArrayAt = static_cast<std::int32_t>(charStringsAt + charStrings.size());
  privateAt = static_cast<std::int32_t>(fdArrayAt + fdArray().size());

  Bytes out = header;
  for (const Bytes& part : {names, Index({topDict()}), strings, globalSubrs, charset, fdSelect, charStrings, fdArray(),
                            privateDict})
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A cmap of one format 4 subtable (Windows, Unicode BMP) mapping `first`, `first` + 1, ... to glyphs 1, 2, ...
inline Bytes Cmap(std::uint16_t first, std::uint16_t count) {
  sfnt::Writer w;
  w.U16(0).U16(1).U16(3).U16(1).U32(12);
  const auto last = static_cast<std::uint16_t>(first + count - 1);
  w.U16(4).U16(32).U16(0).U16(4).U16(4).U16(1).U16(0);
  w.U16(last).U16(0xFFFF).U16(0);
  w.U16(first).U16(0xFFFF);
  w.U16(static_cast<std::uint16_t>(1 - first)).U16(1);
  w.U16(0).U16(0);
  return w.bytes;
}

// A naming table of Windows English records: family, style, full name and PostScript name.
inline Bytes Names(const std::u16string& family) {
  const std::vector<std::pair<std::uint16_t, std::u16string>> records = {
      {1, family}, {2, u"Regular"}, {4, family}, {6, family}};
  sfnt::Writer w;
  w.U16(0).U16(static_cast<std::uint16_t>(records.size())).U16(static_cast<std::uint16_t>(6 + 12 * records.size()));
  std::uint16_t offset = 0;
  for (const auto& [id, text] : records) {
    const auto length = static_cast<std::uint16_t>(2 * text.size());
    w.U16(3).U16(1).U16(0x409).U16(id).U16(length).U16(offset);
    offset = static_cast<std::uint16_t>(offset + length);
  }
  for (const auto& record : records)
    for (char16_t unit : record.second) w.U16(unit);
  return w.bytes;
}

// An OpenType font around a CID-keyed program: .notdef and one square per CID, the squares mapped from "A" on,
// each advance 600 + 100 x its place; embedding flags `fsType`; `charsetAt` points the charset operator elsewhere.
inline Bytes CidKeyedOpenType(const std::vector<std::uint16_t>& cids, std::uint16_t fsType = 0,
                              std::optional<std::int32_t> charsetAt = std::nullopt) {
  Program program;
  program.charset = Format0(cids);
  program.charsetAt = charsetAt;
  std::vector<sfnt::Metric> metrics;
  program.charStrings.push_back(Square(500, 0));
  metrics.push_back({500, 0});
  for (std::size_t i = 0; i < cids.size(); ++i) {
    const int width = 600 + 100 * static_cast<int>(i);
    program.charStrings.push_back(Square(width, 400));
    metrics.push_back({static_cast<std::uint16_t>(width), 50});
  }
  sfnt::FontSpec spec = sfnt::SquaresFont(static_cast<std::uint16_t>(cids.size() + 1));
  spec.hmetrics = metrics;
  spec.fsType = fsType;
  std::vector<sfnt::Table> tables;
  for (sfnt::Table& t : sfnt::MakeTables(spec))
    if (t.tag != "glyf" && t.tag != "loca") tables.push_back(std::move(t));
  sfnt::Writer maxp;
  maxp.U32(0x00005000).U16(static_cast<std::uint16_t>(cids.size() + 1));
  sfnt::FindTable(tables, "maxp")->data = maxp.bytes;
  sfnt::FindTable(tables, "name")->data = Names(u"CidTest");
  tables.push_back({"cmap", Cmap(u'A', static_cast<std::uint16_t>(cids.size()))});
  tables.push_back({"CFF ", Build(program)});
  sfnt::Writer post;
  post.U32(0x00030000).Zeros(28);
  tables.push_back({"post", post.bytes});
  Bytes font = sfnt::BuildFont(tables);
  // CFF outlines: the "OTTO" version tag.
  font[0] = 'O';
  font[1] = 'T';
  font[2] = 'T';
  font[3] = 'O';
  return font;
}

}  // namespace cfftest
