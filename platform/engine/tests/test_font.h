// Test helpers: the fonts of the machine's packages, and a reader and patcher of sfnt files that knows nothing of
// FreeType, so the engine's answers are checked against the font's own bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace testfont {

inline const std::filesystem::path kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const std::filesystem::path kDejaVuSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
inline const std::filesystem::path kDejaVuSansMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
inline const std::filesystem::path kDejaVuSerifBold = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
inline const std::filesystem::path kNimbusSansItalic = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Italic.otf";
inline const std::filesystem::path kWenQuanYi = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
inline const std::filesystem::path kNotoColorEmoji = "/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf";

class Sfnt {
 public:
  static Sfnt Load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    Sfnt f;
    f.bytes.resize(std::filesystem::file_size(path));
    in.read(reinterpret_cast<char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    return f;
  }

  void Save(const std::filesystem::path& path) const {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }

  std::uint32_t U32(std::size_t at) const {
    return std::uint32_t{bytes.at(at)} << 24 | std::uint32_t{bytes.at(at + 1)} << 16 |
           std::uint32_t{bytes.at(at + 2)} << 8 | bytes.at(at + 3);
  }
  std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(bytes.at(at) << 8 | bytes.at(at + 1)); }
  std::int16_t S16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
  void SetU16(std::size_t at, std::uint16_t v) {
    bytes.at(at) = static_cast<std::uint8_t>(v >> 8);
    bytes.at(at + 1) = static_cast<std::uint8_t>(v);
  }
  void SetU32(std::size_t at, std::uint32_t v) {
    SetU16(at, static_cast<std::uint16_t>(v >> 16));
    SetU16(at + 2, static_cast<std::uint16_t>(v));
  }

  // Offset of the table directory of a face (collections hold several).
  std::size_t Directory(unsigned face = 0) const {
    if (U32(0) == 0x74746366) return U32(12 + 4 * face);  // 'ttcf'
    return 0;
  }
  // Offset of the directory record of a table, 0 when absent.
  std::size_t Record(const char* tag, unsigned face = 0) const {
    const std::size_t dir = Directory(face);
    const std::uint32_t want = std::uint32_t(tag[0]) << 24 | std::uint32_t(tag[1]) << 16 |
                               std::uint32_t(tag[2]) << 8 | std::uint32_t(tag[3]);
    for (unsigned i = 0; i < U16(dir + 4); ++i)
      if (U32(dir + 12 + 16 * i) == want) return dir + 12 + 16 * i;
    return 0;
  }
  std::size_t Table(const char* tag, unsigned face = 0) const { return U32(Record(tag, face) + 8); }

  // The Windows Unicode BMP map (format 4) of a face.
  std::map<std::uint16_t, std::uint16_t> UnicodeMap(unsigned face = 0) const {
    std::map<std::uint16_t, std::uint16_t> map;
    const std::size_t cmap = Table("cmap", face);
    for (unsigned i = 0; i < U16(cmap + 2); ++i) {
      const std::size_t rec = cmap + 4 + 8 * i;
      if (U16(rec) != 3 || U16(rec + 2) != 1) continue;
      const std::size_t sub = cmap + U32(rec + 4);
      if (U16(sub) != 4) continue;
      const unsigned segX2 = U16(sub + 6);
      const std::size_t ends = sub + 14, starts = ends + segX2 + 2, deltas = starts + segX2, ranges = deltas + segX2;
      for (unsigned s = 0; s < segX2 / 2; ++s) {
        const unsigned end = U16(ends + 2 * s), start = U16(starts + 2 * s), delta = U16(deltas + 2 * s);
        const unsigned rangeOffset = U16(ranges + 2 * s);
        for (unsigned c = start; c <= end && c != 0xFFFF; ++c) {
          unsigned g = 0;
          if (rangeOffset == 0) {
            g = (c + delta) & 0xFFFF;
          } else {
            const unsigned raw = U16(ranges + 2 * s + rangeOffset + 2 * (c - start));
            g = raw ? (raw + delta) & 0xFFFF : 0;
          }
          if (g) map[static_cast<std::uint16_t>(c)] = static_cast<std::uint16_t>(g);
        }
      }
    }
    return map;
  }

  // A glyph's advance in font units, from hmtx.
  unsigned Advance(unsigned glyph, unsigned face = 0) const {
    const unsigned metrics = U16(Table("hhea", face) + 34);
    const std::size_t hmtx = Table("hmtx", face);
    return U16(hmtx + 4 * (glyph < metrics ? glyph : metrics - 1));
  }

  // Replaces the character map with one symbol (3, 0) map of `first`..`first + count - 1` to glyphs
  // `glyph`.. onward, written over the start of the old table.
  void UseSymbolMap(std::uint16_t first, std::uint16_t count, std::uint16_t glyph) {
    const std::size_t cmap = Table("cmap");
    const std::uint16_t last = static_cast<std::uint16_t>(first + count - 1);
    const std::uint16_t words[] = {
        0, 1, 3, 0, 0, 12,                                             // header and its one record
        4, 32, 0, 4, 4, 1, 0,                                          // format 4, two segments
        last, 0xFFFF, 0, first, 0xFFFF,                                // ends, pad, starts
        static_cast<std::uint16_t>(glyph - first), 1, 0, 0,            // deltas, range offsets
    };
    for (std::size_t i = 0; i < std::size(words); ++i) SetU16(cmap + 2 * i, words[i]);
  }

  std::vector<std::uint8_t> bytes;
};

}  // namespace testfont
