// The print tool's job file: a JSON document with the document's name, settings by printer-value name and the
// pages with their drawing operations. The file is read as a stream, one op at a time, so a job of any length
// needs the memory of one page's ops, never their JSON. A job is read and checked whole, once, before anything is
// printed (JobStream), so a bad job never leaves a half-written PDF behind: the pages checked are kept in compact
// form for printing (job_spool.h), in memory up to kHeldPagesBytes and in an unnamed temporary file beyond.
#pragma once

#include <filesystem>
#include <functional>
#include <istream>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "job_files.h"
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
class PageSpool;

struct JobOp {
  std::string op;
  nlohmann::ordered_json fields;                  // the op as written; null for the pages a JobStream prints
  std::shared_ptr<const DrawOp> drawing;  // what the op draws, read when the job is parsed
};

struct JobPage {
  std::vector<JobOp> ops;
};

// All of a job but its pages.
struct JobHead {
  kq::WString document;               // the document's name; empty when the file gives none
  std::vector<JobSetting> settings;   // in the file's order
  std::filesystem::path folder;       // where the job file lies: font and image files are looked up there first
  std::size_t pageCount = 0;          // the pages read
};

// What a job file may hold: its size, and how deep its values nest (a job needs about 8 levels).
inline constexpr std::size_t kMaxJobBytes = std::size_t{512} << 20;
inline constexpr int kMaxJobDepth = 64;
// What the pages kept between the check and the printing may take in memory, in compact form, and their number;
// the pages beyond go to a temporary file.
inline constexpr std::size_t kHeldPagesBytes = std::size_t{8} << 20;
struct HoldLimit {
  std::size_t bytes = kHeldPagesBytes;
  std::size_t pages = SIZE_MAX;
};

// A job held whole, pages and all: for jobs made in memory.
struct PrintJob : JobHead {
  std::vector<JobPage> pages;
};

// Takes each page as it is read and checked, with its index; false stops the reading. The page is dropped after.
using PageSink = std::function<bool(std::size_t index, JobPage& page)>;

// The keys of a job file.
inline constexpr std::string_view kJobKeys[] = {"document", "settings", "pages"};

// Parses and checks a job: an unknown key, op or field is an error, as is any value of the wrong kind; the
// settings' names and values are checked when they are applied (job_settings.h). Throws JobError.
PrintJob ParseJob(const nlohmann::ordered_json& document, std::filesystem::path folder);
// Reads a job file, or from `in` a job named `source` (such as "standard input") whose files are looked up in
// `folder`, whole. Errors begin with the file's name.
PrintJob ReadJobFile(const std::filesystem::path& file);
PrintJob ReadJob(std::istream& in, const std::string& source, std::filesystem::path folder);

// Reads a job from `in` as a stream with the checks of ParseJob, handing each page to `sink` as soon as it is read
// and checked; the files the ops name come from `files`. Returns the head (the document's name and the settings
// may come after the pages in the file). Throws JobError beginning with `source`.
JobHead StreamJob(std::istream& in, const std::string& source, JobFiles& files, const PageSink& sink);

// A job file read as a stream: opening it reads and checks it whole and takes its head, keeping the pages checked
// in compact form; Pages hands them on, made again from that form. Standard input is copied into an unnamed
// temporary file first.
class JobStream {
 public:
  // Errors as ReadJobFile.
  static JobStream OpenFile(const std::filesystem::path& file, HoldLimit limit = {});
  static JobStream OpenInput(std::istream& in, const std::string& source, std::filesystem::path folder,
                             HoldLimit limit = {});

  JobStream(JobStream&&) noexcept;
  JobStream& operator=(JobStream&&) noexcept;
  ~JobStream();

  const JobHead& Head() const { return head_; }
  const std::string& Source() const { return source_; }
  // The files the job's ops read, as the check found them.
  const JobFiles& Files() const { return files_; }
  // Hands the pages to `sink` in order, as they were checked (the job file is not read again). The ops the sink
  // gets carry no JSON fields. JobError, beginning with the source, when the kept pages cannot be read back.
  void Pages(const PageSink& sink);
  // How many of the pages kept for printing are in memory; the rest are in the temporary file.
  std::size_t HeldPages() const;

 private:
  JobStream(std::unique_ptr<std::istream> in, std::string source, std::filesystem::path folder, HoldLimit limit);

  std::string source_;
  JobFiles files_;
  JobHead head_;
  std::unique_ptr<PageSpool> spool_;
};

}  // namespace kqprint
