// Times the TrueType subsetter against HarfBuzz's hb-subset on the same fonts and glyph sets, and puts time and
// output size side by side. Not a test: run it by hand from an optimised build.
//
//   truetype_subset_bench [-n ITERATIONS] [--hb PATH] [FONT...]
//
// Our time is one open, the glyphs added and one build, from the font in memory. hb-subset's is taken from two
// runs of the program, with 1 and with ITERATIONS subsets of the loaded face, so its start-up and file reading
// cancel out. hb-subset runs twice per case: as it comes ("hb") and with the tables we do not write dropped
// ("hb-same"), keeping the .notdef outline as we do.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "truetype_subset.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

struct Font {
  std::string path;
  Bytes bytes;
};

int ReadMemory(void* context, std::uint32_t offset, void* destination, std::uint32_t length) {
  const auto* b = static_cast<const Bytes*>(context);
  if (std::uint64_t{offset} + length > b->size()) return -1;
  std::memcpy(destination, b->data() + offset, length);
  return 0;
}

Bytes LoadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint16_t GlyphCount(const Font& font) {
  TTSubsetter s;
  Bytes bytes = font.bytes;
  TTSubsetter_Open(&s, 0, ReadMemory, &bytes);
  return s.status == TT_OK ? s.numGlyphs : 0;
}

struct GlyphSet {
  std::string name;
  std::vector<std::uint16_t> glyphs;
};

std::vector<GlyphSet> GlyphSets(std::uint16_t count) {
  std::vector<GlyphSet> sets;
  GlyphSet ten{"10 (A..J)", {}};
  for (std::uint16_t g = 36; g < 46 && g < count; ++g) ten.glyphs.push_back(g);
  GlyphSet hundred{"100 first", {}};
  for (std::uint16_t g = 3; g < 103 && g < count; ++g) hundred.glyphs.push_back(g);
  GlyphSet thousand{"1000 spread", {}};
  const int step = count > 1000 ? count / 1000 : 1;
  for (int g = 1; g < count && thousand.glyphs.size() < 1000; g += step)
    thousand.glyphs.push_back(static_cast<std::uint16_t>(g));
  GlyphSet all{"all", {}};
  for (int g = 1; g < count; ++g) all.glyphs.push_back(static_cast<std::uint16_t>(g));
  return {ten, hundred, thousand, all};
}

struct Measure {
  double micros = -1;  // per subset
  long bytes = -1;
};

Measure RunOurs(const Font& font, const GlyphSet& set, int iterations) {
  Bytes bytes = font.bytes;
  Measure m;
  const auto start = Clock::now();
  for (int i = 0; i < iterations; ++i) {
    TTSubsetter s;
    TTSubsetter_Open(&s, 0, ReadMemory, &bytes);
    if (s.status != TT_OK) return {};
    TTSubsetter_SetTableFlags(&s, TT_TABLES_HORIZONTAL | TT_TABLES_VERTICAL);
    for (std::uint16_t g : set.glyphs) TTSubsetter_AddGlyph(&s, g);
    if (TTSubsetter_Build(&s) != TT_OK) return {};
    m.bytes = s.output.position;
    TTSubsetter_Close(&s);
  }
  m.micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / iterations;
  return m;
}

// Runs a program and returns its wall time in microseconds, or -1 when it fails.
double TimeProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", 0, 0);
  const auto start = Clock::now();
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

Measure RunHb(const std::string& hb, const Font& font, const GlyphSet& set, int iterations, bool sameTables,
              const std::string& dir) {
  const std::string gidsFile = dir + "/gids.txt";
  {
    std::ofstream out(gidsFile);
    for (std::size_t i = 0; i < set.glyphs.size(); ++i) out << (i ? "," : "") << set.glyphs[i];
  }
  const std::string output = dir + "/hb.ttf";
  std::vector<std::string> args = {hb, "--font-file=" + font.path, "--gids-file=" + gidsFile, "-o", output};
  if (sameTables) {
    args.push_back("--notdef-outline");
    args.push_back("--drop-tables+=cmap,post,OS/2,GSUB,GPOS,GDEF,gasp,kern,MATH,FFTM,hdmx,VDMX,LTSH,DSIG");
  }
  auto withIterations = [&](int n) {
    std::vector<std::string> a = args;
    a.push_back("--num-iterations=" + std::to_string(n));
    return a;
  };
  // Best of three, both for the single run and the long one.
  double once = -1;
  double many = -1;
  for (int r = 0; r < 3; ++r) {
    const double t1 = TimeProgram(withIterations(1));
    const double tn = TimeProgram(withIterations(iterations + 1));
    if (t1 < 0 || tn < 0) return {};
    once = once < 0 ? t1 : std::min(once, t1);
    many = many < 0 ? tn : std::min(many, tn);
  }
  Measure m;
  m.micros = std::max(0.0, (many - once) / iterations);
  m.bytes = static_cast<long>(LoadFile(output).size());
  return m;
}

std::string Ratio(double a, double b) {
  if (a < 0 || b <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", a / b);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  int iterations = 200;
  std::string hb = "hb-subset";
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-n" && i + 1 < argc) {
      iterations = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--hb" && i + 1 < argc) {
      hb = argv[++i];
    } else {
      paths.push_back(a);
    }
  }
  if (paths.empty()) {
    const std::string dir = "/usr/share/fonts/truetype/dejavu/";
    paths = {dir + "DejaVuSans.ttf", dir + "DejaVuSansMono.ttf", dir + "DejaVuSans-ExtraLight.ttf"};
  }
  char tempDir[] = "/tmp/kq-ttbench-XXXXXX";
  if (mkdtemp(tempDir) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }

  std::printf("%d subsets per case; times in microseconds per subset; ratios are ours / hb\n\n", iterations);
  std::printf("%-26s %-12s %6s | %9s %9s %9s | %6s %6s | %8s %8s %8s | %6s %6s\n", "font", "glyphs", "kept", "ours",
              "hb", "hb-same", "t/hb", "t/same", "ours B", "hb B", "same B", "s/hb", "s/same");
  for (const std::string& path : paths) {
    Font font{path, LoadFile(path)};
    const std::uint16_t count = GlyphCount(font);
    if (count == 0) {
      std::printf("%s: not a TrueType font we open\n", path.c_str());
      continue;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    for (const GlyphSet& set : GlyphSets(count)) {
      const int n = set.glyphs.size() > 1000 ? std::max(1, iterations / 10) : iterations;
      const Measure ours = RunOurs(font, set, n);
      const Measure theirs = RunHb(hb, font, set, n, false, tempDir);
      const Measure same = RunHb(hb, font, set, n, true, tempDir);
      std::printf("%-26s %-12s %6zu | %9.1f %9.1f %9.1f | %6s %6s | %8ld %8ld %8ld | %6s %6s\n", name.c_str(),
                  set.name.c_str(), set.glyphs.size(), ours.micros, theirs.micros, same.micros,
                  Ratio(ours.micros, theirs.micros).c_str(), Ratio(ours.micros, same.micros).c_str(), ours.bytes,
                  theirs.bytes, same.bytes,
                  Ratio(static_cast<double>(ours.bytes), static_cast<double>(theirs.bytes)).c_str(),
                  Ratio(static_cast<double>(ours.bytes), static_cast<double>(same.bytes)).c_str());
    }
  }
  std::remove((std::string(tempDir) + "/gids.txt").c_str());
  std::remove((std::string(tempDir) + "/hb.ttf").c_str());
  rmdir(tempDir);
  return 0;
}
