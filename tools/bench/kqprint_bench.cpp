// Not a test: prints a job of blank pages through the real driver and reports pages per second and the peak memory
// of the process. Run it from the release build, once per page count, and compare the peaks: the memory a job
// needs must not grow with its pages beyond the few bytes each page's objects add to the cross-reference table.
//
//   kqprint_bench [PAGES] [--vector]
//
// --vector turns the transparent imaging model off (no page bitmap to whiten for every page).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "job_file.h"
#include "print_job.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/shellapi.h"

int main(int argc, char** argv) {
  long pages = 1000;
  bool vector = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--vector") {
      vector = true;
    } else {
      char* end = nullptr;
      pages = std::strtol(argv[i], &end, 10);
      if (!end || *end || pages < 1 || pages > 1000000) {
        std::fprintf(stderr, "usage: kqprint_bench [PAGES] [--vector]\n");
        return 2;
      }
    }
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  machine->Service<kq::MachineShell>().SetOpenHandler(std::nullopt);

  kqprint::PrintJob job;
  {
    nlohmann::ordered_json document = {
        {"document", "Benchmark"},
        {"settings", {{"OpenFile", 0}, {"PPOption", 0}, {"GDIPunt", vector ? 0 : 1}}},
        {"pages", nlohmann::ordered_json::array()}};
    for (long i = 0; i < pages; ++i) document["pages"].push_back({{"ops", nlohmann::ordered_json::array()}});
    job = kqprint::ParseJob(document, machine->Root());
  }

  const std::filesystem::path output = machine->Root() / "bench.pdf";
  kqprint::PrintOptions options;
  options.output = output.string();

  // The peak so far holds the job's description; what printing adds comes on top of it.
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  const kqprint::PrintOutcome outcome = kqprint::RunJob(job, options);
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
      "pages %ld (%s mode): %.3f s, %.1f pages/s, peak memory %.1f MiB (%.1f MiB before printing), file %.1f KiB\n",
      pages, vector ? "vector" : "transparent", elapsed.count(), static_cast<double>(pages) / elapsed.count(),
      static_cast<double>(usage.ru_maxrss) / 1024.0, static_cast<double>(before.ru_maxrss) / 1024.0,
      ec ? 0.0 : static_cast<double>(bytes) / 1024.0);
  return 0;
}
