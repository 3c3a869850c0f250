// Not a test: prints a job file of blank pages through the real driver as the print tool does (read as a stream)
// and reports pages per second and the peak memory of the process. Run it from the release build, once per page
// count, and compare the peaks: the memory a job needs must not grow with its pages beyond the few bytes each
// page's objects add to the cross-reference table.
//
//   kqprint_bench [PAGES] [--vector] [--text | --images]
//   kqprint_bench --job JOB.json -o OUT.pdf
//
// --vector turns the transparent imaging model off (no page bitmap to whiten for every page). --text fills every
// page with running text (60 lines of about 90 characters in 10-point DejaVu Sans) instead of leaving it blank.
// --images puts on every page a photo of 1,200 x 800 pixels and 50 icons of 32 x 32 (PNG files written for the
// run). --job prints a job file that is already written (kqbench's) and says on its last line "print-peak-kib N":
// how far printing raised the process's peak memory, the printing's own memory without the process around it.
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "bench_jobs.h"
#include "job_file.h"
#include "print_job.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/shellapi.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kqprint_bench [PAGES] [--vector] [--text | --images]\n"
               "       kqprint_bench --job JOB.json -o OUT.pdf\n");
  return 2;
}

long PeakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
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
  std::filesystem::path givenJob, givenOutput;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--vector") {
      vector = true;
    } else if (arg == "--text") {
      text = true;
    } else if (arg == "--images") {
      images = true;
    } else if ((arg == "--job" || arg == "-o") && i + 1 < argc) {
      (arg == "--job" ? givenJob : givenOutput) = argv[++i];
    } else {
      char* end = nullptr;
      pages = std::strtol(argv[i], &end, 10);
      if (!end || *end || pages < 1 || pages > 1000000) return Usage();
    }
  }
  if (givenJob.empty() != givenOutput.empty()) return Usage();

  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  machine->Service<kq::MachineShell>().SetOpenHandler(std::nullopt);

  // The job goes to a file a page at a time, as a program writes it, and is printed from there as kqprint does.
  std::filesystem::path jobFile = givenJob;
  if (jobFile.empty()) {
    if (images && !kqbench::WritePictures(machine->Root())) {
      std::fprintf(stderr, "kqprint_bench: the pictures could not be written\n");
      return 1;
    }
    jobFile = machine->Root() / "bench.json";
    const kqbench::Json settings = {{"OpenFile", 0}, {"PPOption", 0}, {"GDIPunt", vector ? 0 : 1}};
    const bool written = kqbench::WriteJob(jobFile, settings, pages, [&](long page) {
      if (text) return kqbench::TextPage(page);
      if (images) return kqbench::ImagePage(page);
      return kqbench::Json{{"ops", kqbench::Json::array()}};
    });
    if (!written) {
      std::fprintf(stderr, "kqprint_bench: the job file could not be written\n");
      return 1;
    }
  }

  const std::filesystem::path output = givenOutput.empty() ? *kq::DriveFolder(*machine, u'C') / "bench.pdf" : givenOutput;
  kqprint::PrintOptions options;
  options.output = output.string();

  // The peak before printing holds what making the job file took; reading and printing it come on top.
  const long before = PeakKib();
  const auto start = std::chrono::steady_clock::now();
  kqprint::PrintOutcome outcome;
  try {
    kqprint::JobStream job = kqprint::JobStream::OpenFile(jobFile);
    outcome = kqprint::RunJob(job.Head(), [&](const kqprint::PageSink& sink) { job.Pages(sink); }, options);
  } catch (const kqprint::JobError& e) {
    outcome.failure = e.what();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!outcome.printed) {
    std::fprintf(stderr, "kqprint_bench: %s\n", outcome.failure.c_str());
    return 1;
  }
  // A figure stands only for a job that made its PDF.
  if (!outcome.fileName || *outcome.fileName == u"FALSE") {
    std::fprintf(stderr, "kqprint_bench: the job wrote no PDF\n");
    return 1;
  }
  const long peak = PeakKib();
  if (!givenJob.empty()) {
    std::printf("print-peak-kib %ld\n", peak - before);
    return 0;
  }

  std::error_code ec;
  const auto bytes = std::filesystem::file_size(output, ec);
  std::printf(
      "pages %ld (%s mode%s): %.3f s, %.1f pages/s, peak memory %.1f MiB (%.1f MiB before printing), file %.1f KiB, "
      "%.0f bytes per page\n",
      pages, vector ? "vector" : "transparent", text ? ", running text" : images ? ", images" : "", elapsed.count(),
      static_cast<double>(pages) / elapsed.count(), static_cast<double>(peak) / 1024.0,
      static_cast<double>(before) / 1024.0, ec ? 0.0 : static_cast<double>(bytes) / 1024.0,
      ec ? 0.0 : static_cast<double>(bytes) / static_cast<double>(pages));
  return 0;
}
