// kqview FILE [--png OUT.png]: a container (a web page with the viewer control) opens FILE in the control and says
// what happened; with --png it writes what the control shows. The state root is KQ_ROOT (or the XDG default);
// what the screen shows goes to stderr. Exit 0 when the file was opened (and the picture written).
#include <iostream>
#include <memory>
#include <string>

#include "container.h"
#include "win/machine.h"
#include "win/simulated_user.h"

namespace {

int Usage(const std::string& why) {
  std::cerr << "kqview: " << why << "\nusage: kqview FILE [--png OUT.png]\n";
  return 2;
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
    return 1;
  }
  const auto opened = container.OpenFile(kqview::WindowsPathOf(file));
  if (!opened) {
    std::cerr << "kqview: the control's OpenFile could not be called\n";
    return 1;
  }
  std::cout << "OpenFile: " << (*opened ? "TRUE" : "FALSE") << "\n";
  if (const auto shown = container.ShownDocument()) std::cout << "shown: " << *shown << "\n";
  if (!*opened) return 1;
  if (!png.empty()) {
    if (!container.WritePng(png)) {
      std::cerr << "kqview: the shown page could not be written to " << png << "\n";
      return 1;
    }
    std::cout << "picture: " << png << "\n";
  }
  return 0;
}
