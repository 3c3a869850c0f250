// Not a test: prints a job file of blank pages through the real driver as the print tool does (read as a stream)
// and reports pages per second and the peak memory of the process. Run it from the release build, once per page count, and compare the peaks: the memory a job
// needs must not grow with its pages beyond the few bytes each page's objects add to the cross-reference table.
//
//   kqprint_bench [PAGES] [--vector] [--text | --images]
//
// --vector turns the transparent imaging model off (no page bitmap to whiten for every page). --text fills every
// page with running text (50 lines of about 90 characters in 10-point DejaVu Sans) instead of leaving it blank.
// --images puts on every page a photo of 1,200 x 800 pixels and 50 icons of 32 x 32 (PNG files written for the
// run).
#include <malloc.h>
#include <png.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "job_file.h"
#include "print_job.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/shellapi.h"

namespace {

// A page of running text: the words go round, so every page differs a little from the one before.
nlohmann::ordered_json TextPage(long page) {
  static constexpr std::string_view kWords[] = {
      "the",     "printer", "writes", "every",  "page",   "as",      "vectors", "and",    "text",   "that",
      "stays",   "sharp",   "at",     "any",    "zoom",   "while",   "its",     "fonts",  "keep",   "their",
      "names",   "so",      "readers", "can",   "search", "copy",    "and",     "select", "lines",  "of",
      "running", "prose",   "across", "a",      "whole",  "report", "quarter", "budget", "review", "notes"};
  constexpr std::size_t kWordCount = std::size(kWords);
  nlohmann::ordered_json ops = nlohmann::ordered_json::array();
  std::size_t word = static_cast<std::size_t>(page) * 7 % kWordCount;
  for (int line = 0; line < 50; ++line) {
    std::string text;
    while (text.size() < 88) {
      if (!text.empty()) text += ' ';
      text += kWords[word++ % kWordCount];
    }
    ops.push_back({{"op", "text"},
                   {"at", {72, 72 + 14 * line}},
                   {"font", {{"file", "DejaVuSans.ttf"}, {"size", 10}}},
                   {"color", "#000000"},
                   {"text", text}});
  }
  return {{"ops", std::move(ops)}};
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

nlohmann::ordered_json ImagePage(long page) {
  nlohmann::ordered_json ops = nlohmann::ordered_json::array();
  ops.push_back({{"op", "image"}, {"file", "photo.png"}, {"rect", {72, 72, 540, 384}}});
  for (int i = 0; i < 50; ++i) {
    const double x = 72 + (i % 10) * 46, y = 420 + (i / 10) * 46;
    ops.push_back({{"op", "image"},
                   {"file", "icon" + std::to_string((page + i) % 10) + ".png"},
                   {"rect", {x, y, x + 32, y + 32}}});
  }
  return {{"ops", std::move(ops)}};
}

}  // namespace

int main(int argc, char** argv) {
  // As kqprint does: each page's buffers stay in the process for the next page.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  long pages = 1000;
  bool vector = false;
  bool text = false;
  bool images = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--vector") {
      vector = true;
    } else if (arg == "--text") {
      text = true;
    } else if (arg == "--images") {
      images = true;
    } else {
      char* end = nullptr;
      pages = std::strtol(argv[i], &end, 10);
      if (!end || *end || pages < 1 || pages > 1000000) {
        std::fprintf(stderr, "usage: kqprint_bench [PAGES] [--vector] [--text | --images]\n");
        return 2;
      }
    }
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  machine->Service<kq::MachineShell>().SetOpenHandler(std::nullopt);

  if (images) {
    bool written = WritePng(machine->Root() / "photo.png", 1200, 800, 0);
    for (int i = 0; i < 10; ++i) written = written && WritePng(machine->Root() / ("icon" + std::to_string(i) + ".png"), 32, 32, i);
    if (!written) {
      std::fprintf(stderr, "kqprint_bench: the pictures could not be written\n");
      return 1;
    }
  }

  // The job goes to a file a page at a time, as a program writes it, and is printed from there as kqprint does.
  const std::filesystem::path jobFile = machine->Root() / "bench.json";
  {
    std::ofstream out(jobFile, std::ios::binary);
    const nlohmann::ordered_json settings = {{"OpenFile", 0}, {"PPOption", 0}, {"GDIPunt", vector ? 0 : 1}};
    out << "{\"document\": \"Benchmark\", \"settings\": " << settings.dump() << ", \"pages\": [";
    for (long i = 0; i < pages; ++i)
      out << (i ? ",\n" : "\n")
          << (text     ? TextPage(i)
              : images ? ImagePage(i)
                       : nlohmann::ordered_json{{"ops", nlohmann::ordered_json::array()}})
                 .dump();
    out << "]}\n";
    if (!out.flush()) {
      std::fprintf(stderr, "kqprint_bench: the job file could not be written\n");
      return 1;
    }
  }

  const std::filesystem::path output = machine->Root() / "bench.pdf";
  kqprint::PrintOptions options;
  options.output = output.string();

  // The peak before printing holds what making the job file took; reading and printing it come on top.
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  kqprint::JobStream job = kqprint::JobStream::OpenFile(jobFile);
  const kqprint::PrintOutcome outcome =
      kqprint::RunJob(job.Head(), [&](const kqprint::PageSink& sink) { job.Pages(sink); }, options);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!outcome.printed) {
    std::fprintf(stderr, "kqprint_bench: %s\n", outcome.failure.c_str());
    return 1;
  }

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(output, ec);
  std::printf(
      "pages %ld (%s mode%s): %.3f s, %.1f pages/s, peak memory %.1f MiB (%.1f MiB before printing), file %.1f KiB, "
      "%.0f bytes per page\n",
      pages, vector ? "vector" : "transparent", text ? ", running text" : images ? ", images" : "", elapsed.count(),
      static_cast<double>(pages) / elapsed.count(), static_cast<double>(usage.ru_maxrss) / 1024.0,
      static_cast<double>(before.ru_maxrss) / 1024.0, ec ? 0.0 : static_cast<double>(bytes) / 1024.0,
      ec ? 0.0 : static_cast<double>(bytes) / static_cast<double>(pages));
  return 0;
}
