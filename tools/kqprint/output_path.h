// The paths the PDF of a job must never go over: the job's own files, the state root's own files, and what is not a
// plain file (a folder, a FIFO, a device).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "job_file.h"

namespace kqprint {

// Why `output` cannot take the job's PDF, or nothing when it can. `jobFile` is the job's file (empty when the job
// came from standard input); `stateRoot` the machine's state root.
// The job's pages are read once more only when `output` is a file they read, to name the op.
std::optional<std::string> OutputRefusal(const std::filesystem::path& output, JobStream& job,
                                         const std::filesystem::path& jobFile, const std::filesystem::path& stateRoot);

}  // namespace kqprint
