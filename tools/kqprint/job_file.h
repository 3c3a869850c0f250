// The print tool's job file: a JSON document with the document's name, settings by printer-value name and the
// pages with their drawing operations. Reading checks the whole file before anything is printed, so a bad job
// never leaves a half-written PDF behind.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "win/base.h"

namespace kqprint {

// A job that cannot be printed as written: the message names the place (a JSON path such as pages[1].ops[0]).
class JobError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One setting: a printer-value name and its value (a number or a text).
struct JobSetting {
  std::string name;
  nlohmann::ordered_json value;
};

// A drawing op read from the job (draw_ops.h).
class DrawOp;

struct JobOp {
  std::string op;
  nlohmann::ordered_json fields;
  std::shared_ptr<const DrawOp> drawing;  // what the op draws, read when the job is parsed
};

struct JobPage {
  std::vector<JobOp> ops;
};

struct PrintJob {
  kq::WString document;               // the document's name; empty when the file gives none
  std::vector<JobSetting> settings;   // in the file's order
  std::vector<JobPage> pages;
  std::filesystem::path folder;       // where the job file lies: font and image files are looked up there first
};

// The drawing operations the tool knows; any other op is an error naming it and its place.
const std::vector<std::string>& KnownOps();

// Parses and checks a job. Throws JobError.
PrintJob ParseJob(const nlohmann::ordered_json& document, std::filesystem::path folder);
PrintJob ReadJobFile(const std::filesystem::path& file);

}  // namespace kqprint
