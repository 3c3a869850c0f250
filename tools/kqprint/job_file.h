// The print tool's job file: a JSON document with the document's name, settings by printer-value name and the
// pages with their drawing operations. Reading checks the whole file before anything is printed, so a bad job
// never leaves a half-written PDF behind.
#pragma once

#include <filesystem>
#include <istream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
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

// What a job file may hold: its size, and how deep its values nest (a job needs about 8 levels).
inline constexpr std::size_t kMaxJobBytes = std::size_t{512} << 20;
inline constexpr int kMaxJobDepth = 64;

// The keys of a job file.
inline constexpr std::string_view kJobKeys[] = {"document", "settings", "pages"};

// Parses and checks a job: an unknown key, op or field is an error, as is any value of the wrong kind; the
// settings' names and values are checked when they are applied (job_settings.h). Throws JobError.
PrintJob ParseJob(const nlohmann::ordered_json& document, std::filesystem::path folder);
// Reads a job file, or from `in` a job named `source` (such as "standard input") whose files are looked up in
// `folder`. Errors begin with the file's name.
PrintJob ReadJobFile(const std::filesystem::path& file);
PrintJob ReadJob(std::istream& in, const std::string& source, std::filesystem::path folder);

}  // namespace kqprint
