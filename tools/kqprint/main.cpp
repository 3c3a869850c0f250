// kqprint: prints a job file to the virtual printer as a program would, and says where the PDF went.
//
//   kqprint [OPTIONS] JOB.json | -
//   kqprint --capabilities
//   kqprint --properties [ACTIONS] [--script FILE]
//
// The state root is KQ_ROOT (or the XDG default). What the screen shows goes to stderr; `kqprint --help` lists the
// options, the exit codes and the drawing ops.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "job_file.h"
#include "job_result.h"
#include "job_settings.h"
#include "op_table.h"
#include "output_path.h"
#include "print_job.h"
#include "printer_modes.h"
#include "printer_settings/printer_values.h"
#include "screen_reporter.h"
#include "win/machine.h"
#include "win/simulated_user.h"
#include "win/spooler.h"
#include "win/user.h"

namespace {

struct CommandLine {
  std::optional<std::string> jobFile;  // "-": standard input
  kqprint::PrintOptions options;
  kqprint::Verbosity verbosity = kqprint::Verbosity::Normal;
};

// What the tool does instead of printing a job: each mode is an option of its own that takes no job.
struct Mode {
  std::string_view option;
  std::string_view help;
  int (*run)();
};

int Help();
int Version();
int ListSettingsMode();

constexpr Mode kModes[] = {
    {"--list-settings", "list every setting a job may give, with its meaning, values and default", ListSettingsMode},
    {"--help", "show this help", Help},
    {"--version", "show the printer's version", Version},
};

// The options that print a job: the names, the argument and a line each.
struct OptionHelp {
  std::string_view names;
  std::string_view help;
};
constexpr OptionHelp kOptions[] = {
    {"-o, --output PATH", "answer the Save As dialog with PATH (default naming is off for the job)"},
    {"--cancel", "cancel the Save As dialog (default naming is off for the job)"},
    {"--yes", "answer the printer's questions Yes (replace an existing file)"},
    {"--no", "answer the printer's questions No"},
    {"-q, --quiet", "show neither the journal nor the progress, only the result"},
    {"-v, --verbose", "show the whole journal: every window, dialog and answer"},
};

int Fail(int code, const std::string& problem) {
  std::cerr << "kqprint: " << problem << "\n";
  return code;
}

int Usage(const std::string& problem) {
  return Fail(kqprint::kExitBadCommandLine, problem + " (kqprint --help lists the options)");
}

int Help() {
  std::cout << "usage: kqprint [OPTIONS] JOB.json    print a job file to the virtual printer\n"
               "       kqprint [OPTIONS] -           read the job from standard input\n";
  for (const Mode& mode : kModes) std::cout << "       kqprint " << mode.option << "\n";
  std::cout << "       kqprint --capabilities\n"
               "       kqprint --properties [ACTIONS] [--script FILE]\n";
  std::cout << "\n";
  auto line = [](std::string_view names, std::string_view help) {
    std::string padded(names);
    padded.resize(std::max<std::size_t>(padded.size() + 2, 22), ' ');
    std::cout << "  " << padded << help << "\n";
  };
  for (const OptionHelp& option : kOptions) line(option.names, option.help);
  for (const Mode& mode : kModes) line(mode.option, mode.help);
  line("--capabilities", "list the printer's forms, resolutions, bins and other answers");
  line("--properties ...", "open the printer's preferences, act on them as a person (ACTIONS or --script FILE:\n"
       "                        page, click, type, pick, on, off, browse, read, apply, ok, cancel), print the settings");
  std::cout
      << "\n"
         "-o and --cancel win over \"UseDefFileName\": the job shows the Save As dialog and takes the answer.\n"
         "Without them the PDF goes where the job's settings say: with \"UseDefFileName\" into \"Folder\",\n"
         "named after the document; otherwise the Save As dialog takes the name it proposes, in \"Folder\"\n"
         "or the current folder (a document whose name makes no file name is named after the job file).\n"
         "\n"
         "Exit codes: 0 a PDF was written; 1 the job failed; 2 a bad command line; 3 a bad job file;\n"
         "4 no PDF because the person cancelled Save As or did not replace a file.\n"
         "\n"
         "A job file: {\"document\": NAME, \"settings\": {NAME: VALUE, ...}, \"pages\": [{\"ops\": [OP, ...]}, ...]}\n"
         "Settings: kqprint --list-settings. Drawing ops, each {\"op\": NAME, FIELD: VALUE, ...}, with their fields:\n";
  for (const kqprint::OpKind& op : kqprint::AllOps()) {
    std::string fields;
    for (std::string_view field : op.fields) fields += (fields.empty() ? "" : ", ") + std::string(field);
    line(op.name, fields.empty() ? "(none)" : fields);
  }
  return kqprint::kExitWritten;
}

int Version() { return kqtools::PrintVersion("kqprint"); }

std::shared_ptr<kq::Machine> OpenMachine() {
  return std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
}

int ListSettingsMode() {
  auto machine = OpenMachine();
  kq::MachineScope scope(machine);
  if (const DWORD r = kq::InstallVirtualPrinter(); r != ERROR_SUCCESS)
    return Fail(kqprint::kExitFailed, "the virtual printer cannot be installed (" + kqprint::SystemErrorText(r) + ")");
  HANDLE printer = nullptr;
  if (!OpenPrinterW(kq::kVirtualPrinterName, &printer, nullptr))
    return Fail(kqprint::kExitFailed,
                "the virtual printer cannot be opened (" + kqprint::SystemErrorText(GetLastError()) + ")");
  DriverDevMode defaults{};
  BuildDefaultDevMode(&defaults, printer);
  std::cout << kqprint::ListSettings(printer, defaults);
  ClosePrinter(printer);
  return kqprint::kExitWritten;
}

// Parses the command line; a problem is returned as the exit code of a usage error.
std::optional<int> Parse(std::span<char*> args, CommandLine& line, const Mode*& mode) {
  bool yes = false, no = false, quiet = false, verbose = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string arg = args[i];
    if (arg == "-o" || arg == "--output") {
      if (++i >= args.size()) return Usage(arg + " needs a path");
      if (line.options.output) return Usage(arg + " is given twice");
      line.options.output = args[i];
    } else if (arg == "--cancel") {
      line.options.cancel = true;
    } else if (arg == "--yes") {
      yes = true;
    } else if (arg == "--no") {
      no = true;
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "-v" || arg == "--verbose") {
      verbose = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      const std::string name = arg == "-h" ? "--help" : arg;
      const Mode* found = nullptr;
      for (const Mode& candidate : kModes)
        if (name == candidate.option) found = &candidate;
      if (!found) return Usage("unknown option " + arg);
      if (mode && mode != found) return Usage(std::string(mode->option) + " and " + name + " exclude each other");
      mode = found;
    } else if (line.jobFile) {
      return Usage("one job file at a time");
    } else {
      line.jobFile = arg;
    }
  }
  if (yes && no) return Usage("--yes and --no exclude each other");
  if (quiet && verbose) return Usage("--quiet and --verbose exclude each other");
  if (line.options.cancel && line.options.output) return Usage("-o and --cancel exclude each other");
  if (yes) line.options.answer = IDYES;
  if (no) line.options.answer = IDNO;
  if (quiet) line.verbosity = kqprint::Verbosity::Quiet;
  if (verbose) line.verbosity = kqprint::Verbosity::Verbose;
  if (mode && mode->run != Help && line.jobFile) return Usage(std::string(mode->option) + " takes no job file");
  if (!mode && !line.jobFile) return Usage("no job file");
  return std::nullopt;
}

int PrintJobFile(const CommandLine& line) {
  const bool fromInput = *line.jobFile == "-";
  const std::string source = fromInput ? "standard input" : *line.jobFile;
  kqprint::PrintOptions options = line.options;
  // A document whose title makes no file name is named after its job file.
  if (const std::string stem = std::filesystem::path(*line.jobFile).stem().string();
      !fromInput && !stem.empty() && stem[0] != '.')
    options.untitledName = stem;
  try {
    kqprint::JobStream job = fromInput
                                 ? kqprint::JobStream::OpenInput(std::cin, source, std::filesystem::current_path())
                                 : kqprint::JobStream::OpenFile(*line.jobFile);
    if (job.Head().pageCount == 0)
      std::cerr << "kqprint: warning: " << source << ": the job has no pages; the printer makes one blank page\n";

    auto machine = OpenMachine();
    kq::MachineScope scope(machine);
    if (options.output) {
      const std::filesystem::path jobFile = fromInput ? std::filesystem::path() : std::filesystem::path(*line.jobFile);
      if (auto refusal = kqprint::OutputRefusal(*options.output, job, jobFile, machine->Root()))
        return Fail(kqprint::kExitBadCommandLine, "-o: " + *refusal + "; no PDF was written");
    }
    kq::SimulatedUser& person = machine->Service<kq::SimulatedUser>();
    kqprint::PrintOutcome outcome;
    {
      kqprint::ScreenReporter reporter(person, std::cerr, line.verbosity, isatty(STDERR_FILENO) == 1);
      try {
        outcome = kqprint::RunJob(
            job.Head(), [&](const kqprint::PageSink& sink) { job.Pages(sink); }, options);
      } catch (const kqprint::JobError& e) {
        reporter.Stop();
        // The settings' errors lack the place; the pages' already have it.
        const std::string what = e.what();
        return Fail(kqprint::kExitBadJob, what.starts_with(source + ": ") ? what : source + ": " + what);
      }
    }
    const kqprint::Verdict verdict = kqprint::Judge(outcome, person.Journal());
    (verdict.exitCode == kqprint::kExitWritten ? std::cout : std::cerr) << "kqprint: " << verdict.line << std::endl;
    return verdict.exitCode;
  } catch (const kqprint::JobError& e) {
    return Fail(kqprint::kExitBadJob, e.what());
  } catch (const std::exception& e) {
    return Fail(kqprint::kExitFailed, e.what());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Each page's bitmap and buffers are freed when the page ends and asked for again by the next: keep them in the
  // process rather than hand them back to the system and fault them in afresh, page after page.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  // The printer's own modes take their own arguments (the person's actions on the preferences).
  if (argc >= 2 && std::string_view(argv[1]) == "--capabilities")
    return kqprint::CapabilitiesMode(std::vector<std::string>(argv + 2, argv + argc));
  if (argc >= 2 && std::string_view(argv[1]) == "--properties")
    return kqprint::PropertiesMode(std::vector<std::string>(argv + 2, argv + argc));
  CommandLine line;
  const Mode* mode = nullptr;
  if (auto problem = Parse(std::span<char*>(argv + 1, static_cast<std::size_t>(argc - 1)), line, mode)) return *problem;
  if (mode) return mode->run();
  return PrintJobFile(line);
}
