#include "output_path.h"

#include <algorithm>
#include <functional>
#include <set>

#include "draw_ops.h"
#include "win/paths.h"

namespace kqprint {

namespace {

namespace fs = std::filesystem;

bool Same(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && fs::equivalent(a, b, ec);
}

}  // namespace

namespace {

std::optional<std::string> Refusal(const fs::path& output, const std::set<fs::path>& inputs,
                                   const std::function<void(const PageSink&)>& pages, const fs::path& jobFile,
                                   const fs::path& stateRoot) {
  const std::string place = output.string();
  std::error_code ec;
  const fs::file_status status = fs::status(output, ec);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) return place + " is a folder";
    if (!fs::is_regular_file(status)) return place + " is not a plain file (a FIFO, a device or a socket)";
    if (Same(output, jobFile)) return place + " is the job file itself";
    // Each file the job reads is compared once; the pages are read again only to name the op that reads it.
    const auto read =
        std::find_if(inputs.begin(), inputs.end(), [&](const fs::path& input) { return Same(output, input); });
    if (read != inputs.end()) {
      std::string named = place + " is a file the job reads (" + read->string() + ")";
      pages([&](std::size_t i, JobPage& page) {
        const auto& ops = page.ops;
        for (std::size_t j = 0; j < ops.size(); ++j) {
          if (!ops[j].drawing) continue;
          for (const fs::path& input : ops[j].drawing->InputFiles())
            if (input == *read) {
              named = place + " is a file the job reads (pages[" + std::to_string(i) + "].ops[" +
                      std::to_string(j) + "], " + ops[j].op + ")";
              return false;
            }
        }
        return true;
      });
      return named;
    }
  }
  if (kq::IsMachineStateFile(stateRoot, output))
    return place + " is among the printer's state files in " + stateRoot.string();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> OutputRefusal(const fs::path& output, JobStream& job, const fs::path& jobFile,
                                         const fs::path& stateRoot) {
  return Refusal(output, job.Files().Read(), [&](const PageSink& sink) { job.Pages(sink); }, jobFile, stateRoot);
}

}  // namespace kqprint
