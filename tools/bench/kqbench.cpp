// kqbench: not a test. Times whole processes: kqprint printing a job file, against kqbench_cairo printing the same
// job with cairo's PDF surface, run alternately on the same job file in a fresh state root, and prints one table.
// Each pair's PDFs must have the job's page count (qpdf) before the row is shown.
//
//   kqbench [--jobs NAME,...] [--pages N,...] [--runs N] [--keep]
//
// The jobs are named in Jobs(); --pages defaults to 1000,10000 and --runs (pairs per row, the median shown) to 1.
// --keep leaves the jobs and both PDFs in the temporary folder, to look at.
// "print MB" is how far printing the job raises the peak memory of a process that prints in-process
// (kqprint_bench --job): the printing's own memory, without the process around it.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench_jobs.h"

namespace {

namespace fs = std::filesystem;

struct JobKind {
  std::string_view name;
  std::string_view label;
  bool transparent;  // the printer's default imaging model; else vector mode
  bool fontBeside;   // the font file lies beside the job; else only in the system's font folders
  bool pictures;
  std::function<kqbench::Json(long)> page;
};

const std::vector<JobKind>& Jobs() {
  static const std::vector<JobKind> jobs = {
      {"text", "text, font beside the job", false, true, false, kqbench::TextPage},
      {"text-system", "text, font in system folders", false, false, false, kqbench::TextPage},
      {"vector", "vector drawing", false, false, false, kqbench::VectorPage},
      {"transparent", "transparent text", true, false, false, kqbench::TextPage},
      {"images", "images", false, false, true, kqbench::ImagePage},
      {"ascii", "600 ASCII glyphs", false, false, false, [](long p) { return kqbench::GlyphPage(p, false); }},
      {"outside", "600 glyphs outside code pages", false, false, false,
       [](long p) { return kqbench::GlyphPage(p, true); }},
  };
  return jobs;
}

struct Run {
  double seconds = 0;
  double peakMb = 0;
};

// Runs a program to its end with stdout and stderr in files; nothing when it could not be started or failed.
std::optional<Run> Spawn(const fs::path& program, const std::vector<std::string>& args, const fs::path& out,
                         const fs::path& err) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return std::nullopt;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return Run{elapsed.count(), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The last line a program wrote, to say why it failed.
std::string LastLine(const fs::path& file) {
  std::string text = ReadFile(file);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  const auto cut = text.rfind('\n');
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

std::vector<long> NumberList(std::string_view text) {
  std::vector<long> numbers;
  std::stringstream in{std::string(text)};
  std::string item;
  while (std::getline(in, item, ',')) {
    char* end = nullptr;
    const long n = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end || n < 1 || n > 1000000) return {};
    numbers.push_back(n);
  }
  return numbers;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

fs::path SystemFont(std::string_view name) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it("/usr/share/fonts", ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename() == name) return it->path();
  return {};
}

struct Row {
  double kqPagesPerSecond = 0, kqBytesPerPage = 0, kqPeakMb = 0, printMb = 0;
  double cairoPagesPerSecond = 0, cairoBytesPerPage = 0, cairoPeakMb = 0;
  // kqprint's pages/s over cairo's: the median of the pairs' ratios, so a run slowed by the machine's other work is
  // set against its own pair.
  double ratio = 0;
};

class Bench {
 public:
  Bench(fs::path bin, fs::path work, bool keep) : bin_(std::move(bin)), work_(std::move(work)), keep_(keep) {}

  // Prints `pages` pages of `job` `runs` times with each program, alternately; nothing when a run failed (said on
  // stderr).
  std::optional<Row> Measure(const JobKind& job, long pages, int runs) {
    const fs::path folder = work_ / (std::string(job.name) + "-" + std::to_string(pages));
    fs::create_directories(folder);
    const fs::path jobFile = folder / "job.json";
    const kqbench::Json settings = {
        {"OpenFile", 0}, {"PPOption", 0}, {"PaperSize", "A4"}, {"GDIPunt", job.transparent ? 1 : 0}};
    std::error_code ec;
    if (!kqbench::WriteJob(jobFile, settings, pages, job.page) || (job.pictures && !kqbench::WritePictures(folder)) ||
        (job.fontBeside &&
         !fs::copy_file(font_, folder / kqbench::kTextFont, fs::copy_options::overwrite_existing, ec)))
      return Fail(job, "the job's files could not be written");

    std::vector<double> kqSeconds, kqPeaks, cairoSeconds, cairoPeaks, ratios;
    Row row;
    for (int run = 0; run < runs; ++run) {
      const fs::path kqPdf = folder / "kqprint.pdf", cairoPdf = folder / "cairo.pdf";
      const auto kq = Spawn(bin_ / "kqprint", {jobFile.string(), "-o", kqPdf.string(), "--yes", "-q"},
                            folder / "kqprint.out", folder / "kqprint.err");
      if (!kq) return Fail(job, "kqprint: " + LastLine(folder / "kqprint.err"));
      const auto cairo = Spawn(bin_ / "kqbench_cairo", {jobFile.string(), cairoPdf.string()}, folder / "cairo.out",
                               folder / "cairo.err");
      if (!cairo) return Fail(job, "kqbench_cairo: " + LastLine(folder / "cairo.err"));
      for (const fs::path& pdf : {kqPdf, cairoPdf})
        if (const long counted = PageCount(pdf); counted != pages)
          return Fail(job, pdf.filename().string() + " has " + std::to_string(counted) + " pages, not " +
                               std::to_string(pages) + " (qpdf)");
      kqSeconds.push_back(kq->seconds);
      kqPeaks.push_back(kq->peakMb);
      cairoSeconds.push_back(cairo->seconds);
      ratios.push_back(cairo->seconds / kq->seconds);
      cairoPeaks.push_back(cairo->peakMb);
      row.kqBytesPerPage = static_cast<double>(fs::file_size(kqPdf)) / pages;
      row.cairoBytesPerPage = static_cast<double>(fs::file_size(cairoPdf)) / pages;
    }
    row.kqPagesPerSecond = pages / Median(kqSeconds);
    row.kqPeakMb = Median(kqPeaks);
    row.cairoPagesPerSecond = pages / Median(cairoSeconds);
    row.ratio = Median(ratios);
    row.cairoPeakMb = Median(cairoPeaks);

    // The printing's own memory, measured inside a process that prints the same job.
    if (!Spawn(bin_ / "kqprint_bench", {"--job", jobFile.string(), "-o", (folder / "inprocess.pdf").string()},
               folder / "inprocess.out", folder / "inprocess.err"))
      return Fail(job, "kqprint_bench: " + LastLine(folder / "inprocess.err"));
    long kib = -1;
    if (std::sscanf(LastLine(folder / "inprocess.out").c_str(), "print-peak-kib %ld", &kib) != 1)
      return Fail(job, "kqprint_bench did not say its printing's peak");
    row.printMb = static_cast<double>(kib) / 1024.0;
    if (!keep_) fs::remove_all(folder, ec);
    return row;
  }

  // A page of text through both programs, so the printer is installed and the files are in the page cache before
  // the first timed run.
  bool WarmUp() {
    font_ = SystemFont(kqbench::kTextFont);
    if (font_.empty()) {
      std::fprintf(stderr, "kqbench: %s is not under /usr/share/fonts\n", kqbench::kTextFont);
      return false;
    }
    return Measure(Jobs().front(), 1, 1).has_value();
  }

 private:
  long PageCount(const fs::path& pdf) {
    const fs::path out = work_ / "qpdf.out";
    if (!Spawn("qpdf", {"--show-npages", pdf.string()}, out, work_ / "qpdf.err")) return -1;
    return std::strtol(ReadFile(out).c_str(), nullptr, 10);
  }

  std::nullopt_t Fail(const JobKind& job, const std::string& why) {
    std::fprintf(stderr, "kqbench: %s: %s\n", std::string(job.name).c_str(), why.c_str());
    return std::nullopt;
  }

  fs::path bin_, work_, font_;
  bool keep_;
};

void Check(bool holds, const std::string& line) {
  std::printf("  %-7s %s\n", holds ? "holds" : "MISSES", line.c_str());
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

int Usage() {
  std::string names;
  for (const JobKind& job : Jobs()) names += std::string(names.empty() ? "" : ",") + std::string(job.name);
  std::fprintf(stderr, "usage: kqbench [--jobs NAME,...] [--pages N,...] [--runs N] [--keep]\n  jobs: %s\n",
               names.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const JobKind*> jobs;
  std::vector<long> pageCounts = {1000, 10000};
  int runs = 1;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--keep") {
      keep = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const std::string_view value = argv[++i];
    if (arg == "--jobs") {
      std::stringstream in{std::string(value)};
      std::string name;
      while (std::getline(in, name, ',')) {
        const auto found = std::find_if(Jobs().begin(), Jobs().end(), [&](const JobKind& j) { return j.name == name; });
        if (found == Jobs().end()) return Usage();
        jobs.push_back(&*found);
      }
    } else if (arg == "--pages") {
      pageCounts = NumberList(value);
      if (pageCounts.empty()) return Usage();
    } else if (arg == "--runs") {
      const std::vector<long> n = NumberList(value);
      if (n.size() != 1 || n[0] > 100) return Usage();
      runs = static_cast<int>(n[0]);
    } else {
      return Usage();
    }
  }
  if (jobs.empty())
    for (const JobKind& job : Jobs()) jobs.push_back(&job);

  std::error_code ec;
  const fs::path bin = fs::read_symlink("/proc/self/exe", ec).parent_path();
  for (const char* program : {"kqprint", "kqbench_cairo", "kqprint_bench"})
    if (!fs::exists(bin / program, ec)) {
      std::fprintf(stderr, "kqbench: %s is not built beside kqbench in %s\n", program, bin.c_str());
      return 1;
    }
  std::string temp = (fs::temp_directory_path() / "kqbench-XXXXXX").string();
  if (!mkdtemp(temp.data())) {
    std::fprintf(stderr, "kqbench: no temporary folder\n");
    return 1;
  }
  const fs::path work = temp;
  setenv("KQ_ROOT", (work / "root").c_str(), 1);
  Bench bench(bin, work, keep);

  int status = 0;
  std::map<std::pair<std::string_view, long>, Row> rows;
  if (!bench.WarmUp()) {
    status = 1;
  } else {
    std::printf("%-30s %6s | %8s %9s %7s %8s | %8s %9s %7s | %6s\n", "job", "pages", "pages/s", "bytes/pg", "peak MB",
                "print MB", "cairo/s", "bytes/pg", "peak MB", "ratio");
    for (long pages : pageCounts)
      for (const JobKind* job : jobs) {
        // A row takes minutes at the most pages: say which one runs, on stderr beside the table.
        std::fprintf(stderr, "kqbench: running %s, %ld pages, %d run%s of each program\n",
                     std::string(job->label).c_str(), pages, runs, runs == 1 ? "" : "s");
        const std::optional<Row> row = bench.Measure(*job, pages, runs);
        if (!row) {
          status = 1;
          continue;
        }
        rows[{job->name, pages}] = *row;
        std::printf("%-30s %6ld | %8.1f %9.0f %7.1f %8.1f | %8.1f %9.0f %7.1f | %5.2fx\n",
                    std::string(job->label).c_str(), pages, row->kqPagesPerSecond, row->kqBytesPerPage, row->kqPeakMb,
                    row->printMb, row->cairoPagesPerSecond, row->cairoBytesPerPage, row->cairoPeakMb, row->ratio);
        std::fflush(stdout);
      }
  }

  // The targets, from the rows of the fewest and the most pages measured.
  const long few = *std::min_element(pageCounts.begin(), pageCounts.end());
  const long many = *std::max_element(pageCounts.begin(), pageCounts.end());
  const auto row = [&](std::string_view name, long pages) -> const Row* {
    const auto found = rows.find({name, pages});
    return found == rows.end() ? nullptr : &found->second;
  };
  std::printf("\nchecks at %ld pages%s:\n", few, many != few ? (" and " + std::to_string(many)).c_str() : "");
  for (const long pages : many != few ? std::vector<long>{few, many} : std::vector<long>{few})
    if (const Row* r = row("text-system", pages))
      Check(r->ratio >= 0.8, Format("text, font in system folders: %.2fx cairo's pages/s at %.0f pages (at least 0.8x)",
                                    r->ratio, static_cast<double>(pages)));
  if (const Row* r = row("vector", few))
    Check(r->ratio >= 1.1, Format("vector drawing: %.2fx cairo's pages/s (at least 1.1x)", r->ratio));
  if (const Row* r = row("text-system", few)) {
    Check(r->kqPeakMb - r->printMb <= 20,
          Format("text, font in system folders: peak %.1f MB, %.1f MB over the printing's own (at most 20)",
                 r->kqPeakMb, r->kqPeakMb - r->printMb));
  }
  if (const Row* a = row("text-system", few), *b = row("text-system", many); a && b && many != few)
    Check(b->kqPeakMb <= a->kqPeakMb * 1.1,
          Format("text, font in system folders: peak %.1f MB at the most pages, %.1f MB at the fewest (within 10%%)",
                 b->kqPeakMb, a->kqPeakMb));
  if (const Row* r = row("transparent", few))
    Check(r->ratio >= 0.4, Format("transparent text: %.2fx cairo's pages/s (at least 0.4x)", r->ratio));
  if (const Row* a = row("ascii", few), *o = row("outside", few); a && o)
    Check(a->kqPagesPerSecond <= 3 * o->kqPagesPerSecond,
          Format("600 glyphs outside code pages: %.2fx the time of 600 ASCII glyphs (at most 3x)",
                 a->kqPagesPerSecond / o->kqPagesPerSecond));
  if (status == 0 && !keep)
    fs::remove_all(work, ec);
  else
    std::fprintf(stderr, "kqbench: the jobs, the PDFs and what the programs said are in %s\n", work.c_str());
  return status;
}
