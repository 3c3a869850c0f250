// Fuzz target of the path data of a job's path and clip ops ("M x y L x y C ... Z"): the input is the text of "d",
// read as the job-file reader reads it. It is either read or refused with a JobError.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "job_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string d(reinterpret_cast<const char*>(data), size);
  // Text that is not UTF-8 cannot stand in a JSON document; the reader never sees it.
  nlohmann::ordered_json path = {{"op", "path"}, {"d", d}, {"fill", "#000000"}};
  nlohmann::ordered_json clip = {{"op", "clip"}, {"d", d}, {"rule", "evenodd"}};
  nlohmann::ordered_json job = {{"pages", {{{"ops", {path, clip}}}}}};
  try {
    (void)job.dump();
  } catch (const nlohmann::ordered_json::type_error&) {
    return 0;
  }
  try {
    kqprint::ParseJob(job, "/nonexistent");
  } catch (const kqprint::JobError&) {
  }
  return 0;
}
