#include "job_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "draw_ops.h"
#include "job_names.h"
#include "op_table.h"

namespace kqprint {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kPageKeys[] = {"ops"};

std::string Where(std::size_t page) { return "pages[" + std::to_string(page) + "]"; }
std::string Where(std::size_t page, std::size_t op) { return Where(page) + ".ops[" + std::to_string(op) + "]"; }

std::vector<std::string_view> OpNames() {
  std::vector<std::string_view> names;
  for (const OpKind& kind : AllOps()) names.push_back(kind.name);
  return names;
}

JobOp ParseOp(const Json& op, const std::string& where, JobFiles& files) {
  if (!op.is_object() || !op.contains("op") || !op["op"].is_string())
    throw JobError(where + ": an op is an object with an \"op\" name");
  const std::string name = op["op"].get<std::string>();
  const OpKind* kind = FindOp(name);
  if (!kind) throw JobError(where + ": unknown op \"" + name + "\"" + Hint(name, OpNames(), "the ops"));
  JobOp parsed{name, op, nullptr};
  try {
    for (const auto& [key, value] : op.items()) {
      if (key == "op") continue;
      if (std::find(kind->fields.begin(), kind->fields.end(), key) == kind->fields.end())
        throw JobError("unknown field \"" + key + "\"" + Hint(key, kind->fields, "its fields"));
    }
    parsed.drawing = kind->read(op, files);
  } catch (const JobError& e) {
    throw JobError(where + " (" + name + "): " + e.what());
  }
  return parsed;
}

JobPage ParsePage(const Json& page, std::size_t index, JobFiles& files) {
  if (!page.is_object()) throw JobError(Where(index) + ": a page is an object with \"ops\"");
  CheckFields(page, kPageKeys, Where(index));
  JobPage parsed;
  const auto ops = page.find("ops");
  if (ops != page.end()) {
    if (!ops->is_array()) throw JobError(Where(index) + ".ops: not an array");
    for (std::size_t i = 0; i < ops->size(); ++i) parsed.ops.push_back(ParseOp((*ops)[i], Where(index, i), files));
  }
  files.PageDone();
  return parsed;
}

void CheckKey(const std::string& key) {
  if (std::find(std::begin(kJobKeys), std::end(kJobKeys), key) == std::end(kJobKeys))
    throw JobError("unknown key \"" + key + "\"" + Hint(key, kJobKeys, "the keys"));
}

// The head's keys: "document" and "settings".
void TakeHead(const std::string& key, const Json& value, JobHead& head) {
  if (key == "document") {
    if (!value.is_string()) throw JobError("document: not a text");
    head.document = kq::WideFromUtf8(value.get<std::string>());
  } else if (key == "settings") {
    if (!value.is_object()) throw JobError("settings: not an object");
    head.settings.clear();
    for (const auto& [name, setting] : value.items()) head.settings.push_back(JobSetting{name, setting});
  }
}

// Stops a stream's reading when the sink asks.
struct Stopped {};

// Builds one JSON value from the parser's events: a page, the document's name or the settings.
class ValueBuilder {
 public:
  bool Active() const { return active_; }
  void Begin() {
    root_ = Json();
    open_.clear();
    active_ = true;
  }
  // Each returns true when the value is whole.
  bool Scalar(Json value) {
    Put(std::move(value));
    return Whole();
  }
  void Open(Json container) { open_.push_back(&Put(std::move(container))); }
  bool Close() {
    open_.pop_back();
    return Whole();
  }
  void Key(std::string key) { key_ = std::move(key); }
  Json Take() { return std::move(root_); }

 private:
  bool Whole() {
    if (!open_.empty()) return false;
    active_ = false;
    return true;
  }
  // The containers on `open_` do not move while they are open: only the innermost grows.
  Json& Put(Json value) {
    if (open_.empty()) return root_ = std::move(value);
    Json& into = *open_.back();
    if (into.is_array()) {
      into.push_back(std::move(value));
      return into.back();
    }
    return into[key_] = std::move(value);
  }

  Json root_;
  std::vector<Json*> open_;
  std::string key_;
  bool active_ = false;
};

// The parser's events for a job: the job's object, its keys, the array of pages, and values built whole (a page at
// a time, the document's name, the settings).
class JobReader final : public Json::json_sax_t {
 public:
  JobReader(JobFiles& files, const PageSink& sink) : files_(files), sink_(sink) { head_.folder = files.Folder(); }
  JobHead TakeHead() { return std::move(head_); }

  bool null() override { return Value(Json()); }
  bool boolean(bool value) override { return Value(value); }
  bool number_integer(number_integer_t value) override { return Value(value); }
  bool number_unsigned(number_unsigned_t value) override { return Value(value); }
  bool number_float(number_float_t value, const string_t&) override { return Value(value); }
  bool string(string_t& value) override { return Value(std::move(value)); }
  bool binary(binary_t& value) override { return Value(Json::binary(std::move(value))); }
  bool start_object(std::size_t) override { return Open(Json::object()); }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  // Nesting is bounded as the text is read: a value nested without end never reaches code that recurses.
  bool key(string_t& key) override {
    if (value_.Active()) {
      value_.Key(std::move(key));
    } else {
      CheckKey(key);
      if (std::find(seen_.begin(), seen_.end(), key) != seen_.end()) throw JobError(key + ": given twice");
      seen_.push_back(key);
      key_ = std::move(key);
    }
    return true;
  }
  bool end_object() override {
    --depth_;
    if (value_.Active()) {
      if (value_.Close()) Done();
    } else {
      level_ = Level::Done;
    }
    return true;
  }
  bool end_array() override {
    --depth_;
    if (value_.Active()) {
      if (value_.Close()) Done();
    } else {
      level_ = Level::Job;  // the end of the pages
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    throw JobError(std::string("not JSON (") + e.what() + ")");
  }

 private:
  enum class Level { Before, Job, Pages, Done };

  bool Value(Json value) {
    if (!value_.Active()) Enter(value);
    if (value_.Scalar(std::move(value))) Done();
    return true;
  }
  bool Open(Json container) {
    if (++depth_ > kMaxJobDepth)
      throw JobError("values nested deeper than " + std::to_string(kMaxJobDepth) + " levels");
    if (!value_.Active() && !Enter(container)) return true;
    value_.Open(std::move(container));
    return true;
  }
  // Every value that begins outside a value being built comes here: the job's object, the array of pages, a page,
  // the value of a head's key. Returns whether it is built (the job's object and the pages' array are not).
  bool Enter(const Json& kind) {
    switch (level_) {
      case Level::Before:
        if (!kind.is_object()) throw JobError("the job is not a JSON object");
        level_ = Level::Job;
        return false;
      case Level::Job:
        if (key_ != "pages") break;
        if (!kind.is_array()) throw JobError("pages: not an array");
        level_ = Level::Pages;
        return false;
      case Level::Pages:  // a page begins
      case Level::Done:
        break;
    }
    value_.Begin();
    return true;
  }
  // A value has been built whole.
  void Done() {
    Json value = value_.Take();
    if (level_ == Level::Pages) {
      const std::size_t index = head_.pageCount++;
      JobPage page = ParsePage(value, index, files_);
      value = Json();
      if (!sink_(index, page)) throw Stopped{};
    } else {
      kqprint::TakeHead(key_, value, head_);
    }
  }

  JobFiles& files_;
  const PageSink& sink_;
  JobHead head_;
  ValueBuilder value_;
  Level level_ = Level::Before;
  std::string key_;
  std::vector<std::string> seen_;
  int depth_ = 0;
};

}  // namespace

PrintJob ParseJob(const nlohmann::ordered_json& document, std::filesystem::path folder) {
  if (!document.is_object()) throw JobError("the job is not a JSON object");
  for (const auto& [key, value] : document.items()) CheckKey(key);
  PrintJob job;
  job.folder = std::move(folder);
  JobFiles files(job.folder);
  for (const auto& [key, value] : document.items()) {
    if (key != "pages") {
      TakeHead(key, value, job);
      continue;
    }
    if (!value.is_array()) throw JobError("pages: not an array");
    for (std::size_t i = 0; i < value.size(); ++i) job.pages.push_back(ParsePage(value[i], i, files));
    job.pageCount = job.pages.size();
  }
  return job;
}

JobHead StreamJob(std::istream& in, const std::string& source, JobFiles& files, const PageSink& sink) {
  JobReader reader(files, sink);
  try {
    Json::sax_parse(in, &reader);
  } catch (const Stopped&) {
  } catch (const JobError& e) {
    throw JobError(source + ": " + e.what());
  }
  return reader.TakeHead();
}

PrintJob ReadJob(std::istream& in, const std::string& source, std::filesystem::path folder) {
  PrintJob job;
  JobFiles files(std::move(folder));
  static_cast<JobHead&>(job) = StreamJob(in, source, files, [&](std::size_t, JobPage& page) {
    job.pages.push_back(std::move(page));
    return true;
  });
  return job;
}

namespace {

std::unique_ptr<std::istream> OpenJobFile(const std::filesystem::path& file) {
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (std::filesystem::is_directory(status))
    throw JobError(file.string() + ": a folder, not a job file (give the job's .json file)");
  if (!std::filesystem::exists(status)) throw JobError(file.string() + ": no such file");
  if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(file, ec) > kMaxJobBytes)
    throw JobError(file.string() + ": larger than " + std::to_string(kMaxJobBytes >> 20) + " MiB; split the job");
  auto in = std::make_unique<std::ifstream>(file, std::ios::binary);
  if (!*in) throw JobError(file.string() + ": cannot be read (" + std::strerror(errno) + ")");
  return in;
}

}  // namespace

PrintJob ReadJobFile(const std::filesystem::path& file) {
  const auto in = OpenJobFile(file);
  return ReadJob(*in, file.string(), std::filesystem::absolute(file).parent_path());
}

JobStream::JobStream(std::unique_ptr<std::istream> in, std::string source, std::filesystem::path folder)
    : in_(std::move(in)), source_(std::move(source)), files_(std::move(folder)) {
  head_ = StreamJob(*in_, source_, files_, [](std::size_t, JobPage&) { return true; });
}

JobStream JobStream::OpenFile(const std::filesystem::path& file) {
  return JobStream(OpenJobFile(file), file.string(), std::filesystem::absolute(file).parent_path());
}

JobStream JobStream::OpenInput(std::istream& in, const std::string& source, std::filesystem::path folder) {
  // The copy has no name: it goes when the stream closes, however the tool ends.
  std::string name = (std::filesystem::temp_directory_path() / "kqprint-XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd < 0) throw JobError(source + ": cannot be kept for reading (" + std::strerror(errno) + ")");
  auto copy = std::make_unique<std::fstream>(name, std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
  unlink(name.c_str());
  close(fd);
  if (!*copy) throw JobError(source + ": cannot be kept for reading");
  char buffer[1 << 16];
  std::size_t copied = 0;
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    copy->write(buffer, in.gcount());
    if ((copied += static_cast<std::size_t>(in.gcount())) > kMaxJobBytes)
      throw JobError(source + ": larger than " + std::to_string(kMaxJobBytes >> 20) + " MiB; split the job");
  }
  if (in.bad()) throw JobError(source + ": cannot be read");
  if (!copy->flush()) throw JobError(source + ": cannot be kept for reading (the temporary folder is full?)");
  copy->seekg(0);
  return JobStream(std::move(copy), source, std::move(folder));
}

void JobStream::Pages(const PageSink& sink) {
  in_->clear();
  in_->seekg(0);
  StreamJob(*in_, source_, files_, sink);
}

}  // namespace kqprint
