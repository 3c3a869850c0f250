// kqview FILE [--png OUT.png]: a container (a web page with the viewer control) opens FILE in the control and says
// what happened; with --png it writes what the control shows. The state root is KQ_ROOT (or the XDG default);
// what the screen shows goes to stderr. Exit 0 when the file was opened (and the picture written); the other exit
// codes are those of every kq program.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "container.h"
#include "tool_conventions.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/simulated_user.h"

namespace {

constexpr char kUsage[] =
    "usage: kqview FILE [--png OUT.png]\n"
    "  Opens FILE (a PDF) in the viewer control of a web page and says what it shows.\n"
    "  --png OUT.png  write the page the control shows to OUT.png\n"
    "Exit codes: 0 opened; 1 failed; 2 a bad command line; 3 FILE is missing, unreadable or not a PDF.\n";

int Usage(const std::string& why) {
  std::cerr << "kqview: " << why << "\n" << kUsage;
  return kqtools::kExitBadCommandLine;
}

// Why the control could not open the file, as far as the file itself tells.
std::string WhyNotOpened(const std::string& typed) {
  namespace fs = std::filesystem;
  const bool windows = typed.size() >= 2 && typed[1] == ':';
  std::optional<fs::path> host = windows ? kq::HostPathFromWindows(kq::WideFromUtf8(typed)) : fs::path(typed);
  std::error_code ec;
  if (!host || !fs::exists(*host, ec)) return "no such file";
  if (fs::is_directory(*host, ec)) return "it is a folder";
  std::ifstream in(*host, std::ios::binary);
  if (!in) return "it cannot be read (permission denied)";
  char head[5] = {};
  in.read(head, sizeof head);
  if (std::string_view(head, static_cast<std::size_t>(in.gcount())) != "%PDF-") return "it is not a PDF";
  return "the document server cannot read it as a PDF (it is damaged)";
}

}  // namespace

int main(int argc, char** argv) {
  std::string file;
  std::string png;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--png") {
      if (++i >= argc) return Usage("--png needs a file");
      png = argv[i];
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return kqtools::kExitDone;
    } else if (arg == "--version") {
      return kqtools::PrintVersion("kqview");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (file.empty()) {
      file = arg;
    } else {
      return Usage("one file at a time");
    }
  }
  if (file.empty()) return Usage("no file");

  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  machine->Service<kq::SimulatedUser>().WriteJournalToStderr(true);

  kqview::Container container;
  if (!container.Failure().empty()) {
    std::cerr << "kqview: " << container.Failure() << "\n";
    return kqtools::kExitFailed;
  }
  const auto opened = container.OpenFile(kqview::WindowsPathOf(file));
  if (!opened) {
    std::cerr << "kqview: the control's OpenFile could not be called\n";
    return kqtools::kExitFailed;
  }
  std::cout << "OpenFile: " << (*opened ? "TRUE" : "FALSE") << "\n";
  if (const auto shown = container.ShownDocument()) std::cout << "shown: " << *shown << "\n";
  if (!*opened) {
    std::cerr << "kqview: " << file << " was not opened: " << WhyNotOpened(file) << "\n";
    return kqtools::kExitBadInput;
  }
  if (!png.empty()) {
    if (!container.WritePng(png)) {
      std::cerr << "kqview: the shown page could not be written to " << png << "\n";
      return kqtools::kExitFailed;
    }
    std::cout << "picture: " << png << "\n";
  }
  return 0;
}
