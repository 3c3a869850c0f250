// kqprint: prints a job file to the virtual printer as a program would, and says where the PDF went.
//
//   kqprint JOB.json [-o PATH | --cancel] [--yes | --no]
//   kqprint --capabilities
//   kqprint --properties [ACTIONS] [--script FILE]
//
// The state root is KQ_ROOT (or the XDG default). What the screen shows goes to stderr.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "job_file.h"
#include "print_job.h"
#include "printer_modes.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/simulated_user.h"
#include "win/user.h"

namespace {

constexpr const char* kUsage =
    "usage: kqprint JOB.json [-o PATH | --cancel] [--yes | --no]\n"
    "       kqprint --capabilities\n"
    "       kqprint --properties [ACTIONS] [--script FILE]\n";

int Usage(const std::string& problem) {
  std::cerr << "kqprint: " << problem << "\n" << kUsage;
  return 2;
}

// Where the PDF went, as the person knows the place: the host path of the recorded Windows path.
std::string HostPlace(const kq::WString& fileName) {
  if (auto host = kq::HostPathFromWindows(fileName)) return host->string();
  return kq::Utf8FromWide(fileName);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--capabilities") == 0)
    return kqprint::CapabilitiesMode(std::vector<std::string>(argv + 2, argv + argc));
  if (argc >= 2 && std::strcmp(argv[1], "--properties") == 0)
    return kqprint::PropertiesMode(std::vector<std::string>(argv + 2, argv + argc));
  std::string jobFile;
  kqprint::PrintOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o") {
      if (++i >= argc) return Usage("-o needs a path");
      options.output = argv[i];
    } else if (arg == "--cancel") {
      options.cancel = true;
    } else if (arg == "--yes") {
      options.answer = IDYES;
    } else if (arg == "--no") {
      options.answer = IDNO;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (jobFile.empty()) {
      jobFile = arg;
    } else {
      return Usage("one job file at a time");
    }
  }
  if (jobFile.empty()) return Usage("no job file");
  if (options.cancel && options.output) return Usage("-o and --cancel exclude each other");

  try {
    const kqprint::PrintJob job = kqprint::ReadJobFile(jobFile);
    auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
    kq::MachineScope scope(machine);
    machine->Service<kq::SimulatedUser>().WriteJournalToStderr(true);

    const kqprint::PrintOutcome outcome = kqprint::RunJob(job, options);
    if (!outcome.printed) {
      std::cerr << "kqprint: " << outcome.failure << "\n";
      return 1;
    }
    if (!outcome.fileName) {
      std::cerr << "kqprint: the driver recorded no result for the job\n";
      return 1;
    }
    if (*outcome.fileName == u"FALSE") {
      std::cout << "kqprint: no PDF was written: the Save As dialog was cancelled\n";
      return 0;
    }
    std::cout << "kqprint: the PDF went to " << HostPlace(*outcome.fileName) << "\n";
    return 0;
  } catch (const kqprint::JobError& e) {
    std::cerr << "kqprint: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "kqprint: " << e.what() << "\n";
    return 1;
  }
}
