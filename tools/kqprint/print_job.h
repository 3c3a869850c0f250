// Printing a job as a program prints: the virtual printer is installed when missing, opened by name with the job's
// settings record, and the document and its pages go through the engine's application side to the driver. What
// the simulated person answers comes from the options. Acts on the machine bound to the calling thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "job_file.h"
#include "win/base.h"

namespace kqprint {

struct PrintOptions {
  std::optional<std::string> output;  // answers the Save As dialog with this path (a POSIX path names a Z: path)
  bool cancel = false;                // cancels the Save As dialog
  std::optional<int> answer;          // IDYES or IDNO for every question
  // Without `output`: the name typed into the Save As dialog when the document's title makes no file name.
  std::string untitledName = "Untitled";
};

struct PrintOutcome {
  bool printed = false;  // every call of the application side succeeded
  std::string failure;   // what failed, when not printed
  DWORD error = 0;       // the last error when it failed
  // The "FileName" value the driver recorded for this job: the PDF's path, or "FALSE" after a cancelled Save As;
  // nothing when the driver recorded none.
  std::optional<kq::WString> fileName;
  // Without a recorded result: why the printer's state could not take one (a full disk), 0 when it can.
  DWORD resultError = 0;
};

// The key under the current user where the driver records the job's result.
inline constexpr WCHAR kResultKey[] = u"Software\\Kelvo Software\\PDF Zedarod";
inline constexpr WCHAR kResultValue[] = u"FileName";

// The person at the keyboard has no other name to offer: the driver's question whether to try another file is
// answered No, whatever else the options answer, so that a file that cannot be written fails the job.
// Throws JobError for settings the printer cannot take; every other failure is in the outcome.
PrintOutcome RunJob(const PrintJob& job, const PrintOptions& options);
// Prints a job whose pages come one at a time: `pages` hands them to its sink in order (JobStream::Pages). A
// JobError while the pages are read abandons the document and is thrown on.
PrintOutcome RunJob(const JobHead& head, const std::function<void(const PageSink&)>& pages,
                    const PrintOptions& options);

}  // namespace kqprint
