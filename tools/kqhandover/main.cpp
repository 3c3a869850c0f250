// kqhandover: plays the word-processor add-in's side of a conversion for tests and people. It starts the add-in's
// progress dialog, publishes a hand-over block made from a small JSON description, prints a job with the print tool
// while it holds the block, and closes it; the driver claims the block and writes the outline, named destinations
// and links into the PDF at the block's output path.
//
//   kqhandover BLOCK.json JOB.json [kqprint options]
//
// -o PATH puts the file at PATH instead of the block's "output"; --cancel is refused, since the add-in's job shows
// no Save As dialog.
// The print tool is build/bin/kqprint beside this program, run as a child process with JOB.json and the options.
// What the add-in's dialog is told (status texts and positions) and what the screen shows go to stderr. The exit
// status is the print tool's when it failed, else 0 when the print job claimed the block and 1 when it did not.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "block_file.h"
#include "dovecap/convert_status.h"
#include "handover/handover_block.h"
#include "tool_conventions.h"
#include "win/commctrl.h"
#include "win/handleapi.h"
#include "win/machine.h"
#include "win/memoryapi.h"
#include "win/paths.h"
#include "win/simulated_user.h"
#include "win/synchapi.h"
#include "win/user.h"

extern char** environ;

namespace {

constexpr const char* kUsage =
    "usage: kqhandover BLOCK.json JOB.json [kqprint options]\n"
    "  Publishes the hand-over block BLOCK.json describes and prints JOB.json with kqprint while it holds it;\n"
    "  the driver writes the PDF at the block's \"output\" path without asking.\n"
    "  -o PATH  write the PDF at PATH instead of the block's \"output\" (--cancel is refused: nothing is asked)\n"
    "Exit codes: 0 the PDF was written with the block; 1 failed, or the job did not take the block; 2 a bad\n"
    "command line; 3 a bad block or job file; 4 the person cancelled (kqprint's own codes pass through).\n";
constexpr DWORD kDialogWaitMs = 5000;

int Fail(const std::string& problem, int status = kqtools::kExitFailed) {
  std::cerr << "kqhandover: " << problem << "\n";
  return status;
}

// The dialog's controls, watched: each status text and position they are given is reported.
WNDPROC gLabelProc = nullptr;
WNDPROC gBarProc = nullptr;

LRESULT WatchLabel(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT && lParam)
    std::cerr << "kqhandover: status \"" << kq::Utf8FromWide(reinterpret_cast<LPCWSTR>(lParam)) << "\"\n";
  return CallWindowProcW(gLabelProc, window, message, wParam, lParam);
}

LRESULT WatchBar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETPOS) std::cerr << "kqhandover: position " << wParam << "\n";
  return CallWindowProcW(gBarProc, window, message, wParam, lParam);
}

void Watch(HWND dialog) {
  if (const HWND label = GetDlgItem(dialog, IDC_CONVERT_TEXT))
    gLabelProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchLabel)));
  if (const HWND bar = GetDlgItem(dialog, IDC_CONVERT_BAR))
    gBarProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchBar)));
}

// Publishes the block as the add-in does: a mapping as long as the buffer, holding all of it; the handle stays open.
HANDLE Publish(const handover::BlockWriter& block, std::string& problem) {
  const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(block.Size()), handover::kSharedMemoryName);
  if (!mapping) {
    problem = "the shared memory could not be made (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mapping);
    problem = "another conversion holds a hand-over block";
    return nullptr;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (!view) {
    CloseHandle(mapping);
    problem = "the shared memory could not be mapped";
    return nullptr;
  }
  std::memcpy(view, block.Data(), block.Size());
  UnmapViewOfFile(view);
  return mapping;
}

bool Claimed(HANDLE mapping) {
  const auto* view = static_cast<const std::byte*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  if (!view) return false;
  std::uint32_t flag = 0;
  std::memcpy(&flag, view + handover::kTakenFlagOffset, sizeof flag);
  UnmapViewOfFile(view);
  return flag != 0;
}

// Runs the print tool beside this program and waits for it; its exit status, or -1 when it could not run.
int RunPrintTool(const std::vector<std::string>& arguments) {
  const auto tool = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kqprint";
  std::vector<std::string> args = {tool.string()};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, tool.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto answered = kqtools::HelpOrVersion(argc, argv, "kqhandover", kUsage)) return *answered;
  for (int i = 1; i < argc && i < 3; ++i)
    if (argv[i][0] == '-' && argv[i][1] != '\0')
      return Fail("unknown option " + std::string(argv[i]) + " (the block and job files come first)\n" + kUsage,
                  kqtools::kExitBadCommandLine);
  if (argc < 3) return Fail(std::string("a block file and a job file are needed\n") + kUsage, kqtools::kExitBadCommandLine);
  // The print tool's options, but for the file's place, which is the block's.
  std::vector<std::string> printArguments;
  std::optional<std::string> output;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--output") {
      if (++i >= argc) return Fail(arg + " needs a path\n" + kUsage, kqtools::kExitBadCommandLine);
      if (output) return Fail(arg + " is given twice", kqtools::kExitBadCommandLine);
      output = argv[i];
    } else if (arg == "--cancel") {
      return Fail("--cancel: the add-in's job shows no Save As dialog to cancel", kqtools::kExitBadCommandLine);
    } else {
      printArguments.push_back(arg);
    }
  }
  printArguments.insert(printArguments.begin(), argv[2]);
  handover::BlockWriter block;
  try {
    handover::Content content = kqhandover::ReadBlockFile(argv[1]);
    if (output) content.outputPath = kqhandover::OutputPath(*output);
    // The add-in's folder exists when it names the file; a person's may not yet.
    if (const auto host = kq::HostPathFromWindows(content.outputPath)) {
      std::error_code ec;
      std::filesystem::create_directories(host->parent_path(), ec);
    }
    if (!block.Start()) return Fail("no memory for the block");
    handover::WriteContent(block, content);
  } catch (const std::exception& error) {
    return Fail(error.what(), kqtools::kExitBadInput);
  }

  auto machine = std::make_shared<kq::Machine>(kq::MachineConfig{kq::Machine::RootFromEnvironment()});
  kq::MachineScope scope(machine);
  machine->Service<kq::SimulatedUser>().WriteJournalToStderr(true);

  const HANDLE dialogThread = StartConvertStatus();
  if (const HWND dialog = WaitForConvertStatus(kDialogWaitMs)) Watch(dialog);

  std::string problem;
  const HANDLE mapping = Publish(block, problem);
  block.Release();
  int status = kqtools::kExitFailed;
  if (!mapping) {
    Fail(problem);
  } else {
    const int printed = RunPrintTool(printArguments);
    const bool claimed = Claimed(mapping);
    CloseHandle(mapping);
    if (printed < 0) {
      Fail("the print tool could not be started");
    } else if (printed != 0) {
      status = printed;
    } else if (!claimed) {
      Fail("the print job did not take the hand-over block");
    } else {
      std::cerr << "kqhandover: the print job took the hand-over block\n";
      status = kqtools::kExitDone;
    }
  }
  // The driver ends the dialog at the document's end; the add-in ends it in any case once the print-out returns.
  bool ended = false;
  for (int i = 0; i < 200 && !ended; ++i) {
    ended = CurrentConvertStatus() == nullptr;
    if (!ended) Sleep(10);
  }
  std::cerr << (ended ? "kqhandover: the progress dialog has ended\n"
                      : "kqhandover: the progress dialog was still open when the print-out returned\n");
  EndConvertStatus();
  if (dialogThread) {
    WaitForSingleObject(dialogThread, kDialogWaitMs);
    CloseHandle(dialogThread);
  }
  return status;
}
