// What became of a job, as the tool's exit code and last line say it: judged from the job's outcome and from what
// the screen showed the person (the journal), in words a person understands.
#pragma once

#include <string>
#include <vector>

#include "print_job.h"
#include "tool_conventions.h"
#include "win/simulated_user.h"

namespace kqprint {

// The tool's exit codes, those of every kq program: 0 only when a PDF was written.
inline constexpr int kExitWritten = kqtools::kExitDone;
inline constexpr int kExitFailed = kqtools::kExitFailed;  // the driver failed, or the file could not be written
inline constexpr int kExitBadCommandLine = kqtools::kExitBadCommandLine;
inline constexpr int kExitBadJob = kqtools::kExitBadInput;       // the job file is missing, unreadable or wrong
inline constexpr int kExitCancelled = kqtools::kExitCancelled;  // the person cancelled Save As or kept a file

struct Verdict {
  int exitCode = kExitFailed;
  std::string line;  // without the tool's name
};

Verdict Judge(const PrintOutcome& outcome, const std::vector<kq::JournalEntry>& journal);

// A system error code as a message ("access is denied"); a code without a message is named as unexpected.
std::string SystemErrorText(DWORD error);

// A Windows path as the person knows the place: its host path when it has one.
std::string HostPlace(kq::WStringView windowsPath);

}  // namespace kqprint
