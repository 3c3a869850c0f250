#include "bench_jobs.h"

#include <png.h>

#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

namespace kqbench {

namespace {

Json Font() { return {{"file", kTextFont}, {"size", 10}}; }

Json TextOp(double x, double y, std::string text) {
  return {{"op", "text"}, {"at", {x, y}}, {"font", Font()}, {"color", "#000000"}, {"text", std::move(text)}};
}

// The letters of a UTF-8 string, each a string of its own.
std::vector<std::string> Letters(std::string_view utf8) {
  std::vector<std::string> letters;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) letters.emplace_back();
    letters.back() += c;
  }
  return letters;
}

// A PNG of smooth colours that differ with `seed`, so the pictures compress as photos and icons do.
bool WritePng(const std::filesystem::path& path, int width, int height, int seed) {
  std::vector<png_byte> pixels(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      png_byte* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
      p[0] = static_cast<png_byte>((x * 255 / width + seed * 40) & 0xFF);
      p[1] = static_cast<png_byte>((y * 255 / height + (x * y) / (width + 1)) & 0xFF);
      p[2] = static_cast<png_byte>(128 + ((x ^ y) & 63) + seed);
    }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

}  // namespace

Json TextPage(long page) {
  static constexpr std::string_view kWords[] = {
      "the",     "printer", "writes",  "every", "page",   "as",     "vectors", "and",    "text",   "that",
      "stays",   "sharp",   "at",      "any",   "zoom",   "while",  "its",     "fonts",  "keep",   "their",
      "names",   "so",      "readers", "can",   "search", "copy",   "and",     "select", "lines",  "of",
      "running", "prose",   "across",  "a",     "whole",  "report", "quarter", "budget", "review", "notes"};
  constexpr std::size_t kWordCount = std::size(kWords);
  Json ops = Json::array();
  std::size_t word = static_cast<std::size_t>(page) * 7 % kWordCount;
  for (int line = 0; line < 60; ++line) {
    std::string text;
    while (text.size() < 88) {
      if (!text.empty()) text += ' ';
      text += kWords[word++ % kWordCount];
    }
    ops.push_back(TextOp(60, 50 + 12 * line, std::move(text)));
  }
  return {{"ops", std::move(ops)}};
}

Json VectorPage(long page) {
  static constexpr const char* kColors[] = {"#1f3a93", "#c0392b", "#27ae60", "#f39c12", "#8e44ad", "#16a085"};
  Json ops = Json::array();
  for (int i = 0; i < 40; ++i) {
    const double x = 60 + (i % 8) * 60, y = 60 + (i / 8) * 60 + page % 7;
    ops.push_back({{"op", "rect"}, {"rect", {x, y, x + 48, y + 40}}, {"fill", kColors[(page + i) % 6]}});
  }
  for (int i = 0; i < 40; ++i) {
    const double y = 380 + i * 6;
    ops.push_back({{"op", "line"},
                   {"from", {60, y}},
                   {"to", {540, y + (page + i) % 30}},
                   {"stroke", {{"color", kColors[i % 6]}, {"width", 1 + i % 3}}}});
  }
  for (int i = 0; i < 10; ++i) {
    const double x = 60 + i * 48, y = 640 + (page + i) % 11;
    char d[160];
    std::snprintf(d, sizeof d, "M %g %g C %g %g %g %g %g %g L %g %g Z", x, y, x + 40, y - 30, x + 60, y + 50, x + 20,
                  y + 80, x, y + 60);
    ops.push_back({{"op", "path"},
                   {"d", d},
                   {"fill", kColors[(i + 3) % 6]},
                   {"stroke", {{"color", "#000000"}, {"width", 1}}}});
  }
  return {{"ops", std::move(ops)}};
}

Json ImagePage(long page) {
  Json ops = Json::array();
  ops.push_back({{"op", "image"}, {"file", "photo.png"}, {"rect", {72, 72, 540, 384}}});
  for (int i = 0; i < 50; ++i) {
    const double x = 72 + (i % 10) * 46, y = 420 + (i / 10) * 46;
    ops.push_back({{"op", "image"},
                   {"file", "icon" + std::to_string((page + i) % 10) + ".png"},
                   {"rect", {x, y, x + 32, y + 32}}});
  }
  return {{"ops", std::move(ops)}};
}

Json GlyphPage(long page, bool outsideCodePages) {
  // Mkhedruli and lowercase Armenian: letters of the font that no Windows code page has.
  static const std::vector<std::string> kOutside = Letters(
      "აბგდევზთიკლმნოპჟრსტუფქღყშჩცძწჭხჯჰ"
      "աբգդեզէըթժիլխծկհձղճմյնշոչպջռսվտրցւփքօֆ");
  static const std::vector<std::string> kAscii = Letters("abcdefghijklmnopqrstuvwxyz");
  const std::vector<std::string>& letters = outsideCodePages ? kOutside : kAscii;
  Json ops = Json::array();
  std::size_t next = static_cast<std::size_t>(page) % letters.size();
  for (int line = 0; line < 10; ++line) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += letters[next++ % letters.size()];
    ops.push_back(TextOp(60, 60 + 14 * line, std::move(text)));
  }
  return {{"ops", std::move(ops)}};
}

bool WritePictures(const std::filesystem::path& folder) {
  bool written = WritePng(folder / "photo.png", 1200, 800, 0);
  for (int i = 0; i < 10; ++i) written = written && WritePng(folder / ("icon" + std::to_string(i) + ".png"), 32, 32, i);
  return written;
}

bool WriteJob(const std::filesystem::path& file, const Json& settings, long pages,
              const std::function<Json(long)>& page) {
  std::ofstream out(file, std::ios::binary);
  out << "{\"document\": \"Benchmark\", \"settings\": " << settings.dump() << ", \"pages\": [";
  for (long i = 0; i < pages; ++i) out << (i ? ",\n" : "\n") << page(i).dump();
  out << "]}\n";
  return static_cast<bool>(out.flush());
}

}  // namespace kqbench
