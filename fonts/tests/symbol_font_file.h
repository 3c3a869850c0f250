// A symbol font made for the tests: DejaVu Sans with its character map replaced by one Windows symbol (3, 0) map
// of U+F020..U+F07E onto glyphs 3.., as symbol fonts map their codes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "font_fixture.h"

namespace fonttest {

inline constexpr std::uint16_t kSymbolFirst = 0xF020;
inline constexpr std::uint16_t kSymbolLast = 0xF07E;
inline constexpr std::uint16_t kSymbolFirstGlyph = 3;

inline std::uint32_t BigEndian32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{b.at(at)} << 24 | std::uint32_t{b.at(at + 1)} << 16 | std::uint32_t{b.at(at + 2)} << 8 |
         b.at(at + 3);
}

// Writes the font to `path` and returns it; empty when DejaVu Sans has no character map to replace.
inline std::filesystem::path WriteSymbolFont(const std::filesystem::path& path) {
  std::vector<std::uint8_t> font = ReadFile(kDejaVuSans);
  const unsigned tables = static_cast<unsigned>(font.at(4) << 8 | font.at(5));
  std::size_t cmap = 0;
  for (unsigned i = 0; i < tables; ++i)
    if (BigEndian32(font, 12 + 16 * i) == 0x636D6170) cmap = BigEndian32(font, 12 + 16 * i + 8);  // 'cmap'
  if (cmap == 0) return {};
  const std::uint16_t words[] = {
      0, 1, 3, 0, 0, 12,                                                // header, one record at offset 12
      4, 32, 0, 4, 4, 1, 0,                                             // format 4 of two segments
      kSymbolLast, 0xFFFF, 0, kSymbolFirst, 0xFFFF,                     // ends, pad, starts
      static_cast<std::uint16_t>(kSymbolFirstGlyph - kSymbolFirst), 1,  // deltas
      0, 0,                                                             // range offsets
  };
  for (std::size_t i = 0; i < std::size(words); ++i) {
    font.at(cmap + 2 * i) = static_cast<std::uint8_t>(words[i] >> 8);
    font.at(cmap + 2 * i + 1) = static_cast<std::uint8_t>(words[i]);
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(font.data()),
                                              static_cast<std::streamsize>(font.size()));
  return path;
}

}  // namespace fonttest
