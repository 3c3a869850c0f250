// The benchmarks' jobs: pages of running text, vector drawing, pictures and lines of single glyphs, written to a
// job file a page at a time as a program writes it. Every page differs a little from the one before.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

namespace kqbench {

using Json = nlohmann::ordered_json;

// The text pages' font, named by its file as a job names it.
inline constexpr const char* kTextFont = "DejaVuSans.ttf";

// 60 lines of running text in 10-point type.
Json TextPage(long page);
// Rectangles, lines and closed curves, filled and stroked.
Json VectorPage(long page);
// A photo of 1,200 x 800 pixels and 50 icons of 32 x 32 (the files WritePictures writes).
Json ImagePage(long page);
// 600 glyphs in 10 lines: lowercase ASCII letters, or Georgian and Armenian letters, which no code page holds.
Json GlyphPage(long page, bool outsideCodePages);

// The PNG files ImagePage names, written into `folder`; false when one cannot be written.
bool WritePictures(const std::filesystem::path& folder);

// Writes a job of `pages` pages made by `page`, with the settings given; false when the file cannot be written.
bool WriteJob(const std::filesystem::path& file, const Json& settings, long pages,
              const std::function<Json(long)>& page);

}  // namespace kqbench
