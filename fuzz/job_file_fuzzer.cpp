// Fuzz target of the print tool's job-file reader: the input is a job file, read as the tool reads one (JSON,
// its keys, settings by name and every op's fields, path data included). A job is either read or refused with a
// JobError; nothing else may come out. The job's files are looked up in the examples' folder, so image ops reach
// real pictures.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "job_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    kqprint::ReadJob(in, "fuzz", KQ_FUZZ_JOB_FOLDER);
  } catch (const kqprint::JobError&) {
  }
  return 0;
}
