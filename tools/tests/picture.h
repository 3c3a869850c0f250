// Pages rendered by the outside readers for end-to-end tests: pdftoppm's or mutool's picture of page 1 as 8-bit
// RGB pixels, and what tests ask of it.
#pragma once

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "endtoend_fixture.h"

namespace e2e {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;

  std::array<int, 3> At(int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
  }
  // Dark pixels (every channel below 128) in the rectangle, clipped to the picture.
  int Ink(int left, int top, int right, int bottom) const {
    int dark = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
      for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
        const auto p = At(x, y);
        dark += p[0] < 128 && p[1] < 128 && p[2] < 128;
      }
    return dark;
  }
};

inline std::optional<Picture> ReadPpm(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  Picture picture;
  in >> magic >> picture.width >> picture.height >> maxValue;
  if (magic != "P6" || maxValue != 255 || picture.width <= 0 || picture.height <= 0) return std::nullopt;
  in.get();
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  in.read(reinterpret_cast<char*>(picture.pixels.data()), static_cast<std::streamsize>(picture.pixels.size()));
  if (!in) return std::nullopt;
  return picture;
}

// Page 1 at `dpi` through pdftoppm.
inline std::optional<Picture> Render(const std::filesystem::path& pdf, int dpi) {
  const std::filesystem::path base = pdf.parent_path() / (pdf.stem().string() + "-render");
  const CommandResult run = RunCommand("pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile " +
                                       Quote(pdf.string()) + " " + Quote(base.string()));
  if (run.status != 0) {
    ADD_FAILURE() << run.output;
    return std::nullopt;
  }
  return ReadPpm(base.string() + ".ppm");
}

// Page 1 at `dpi` through mutool draw.
inline std::optional<Picture> RenderWithMupdf(const std::filesystem::path& pdf, int dpi) {
  const std::filesystem::path file = pdf.parent_path() / (pdf.stem().string() + "-mupdf.ppm");
  const CommandResult run = RunCommand("mutool draw -q -r " + std::to_string(dpi) + " -o " + Quote(file.string()) +
                                       " " + Quote(pdf.string()) + " 1");
  if (run.status != 0) {
    ADD_FAILURE() << run.output;
    return std::nullopt;
  }
  return ReadPpm(file);
}

inline bool Near(std::array<int, 3> a, std::array<int, 3> b) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > 24) return false;
  return true;
}

}  // namespace e2e
