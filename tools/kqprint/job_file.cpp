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
#include "job_spool.h"
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

// The op at ops[index] of pages[page]; its place is spelt out only for an error.
JobOp ParseOp(Json op, std::size_t page, std::size_t index, JobFiles& files, bool keepFields) {
  const auto named = op.is_object() ? op.find("op") : op.end();
  if (named == op.end() || !named->is_string())
    throw JobError(Where(page, index) + ": an op is an object with an \"op\" name");
  const std::string& name = named->get_ref<const std::string&>();
  const OpKind* kind = FindOp(name);
  if (!kind) throw JobError(Where(page, index) + ": unknown op \"" + name + "\"" + Hint(name, OpNames(), "the ops"));
  JobOp parsed{name, Json(), nullptr};
  try {
    for (const auto& [key, value] : op.items()) {
      if (key == "op") continue;
      if (std::find(kind->fields.begin(), kind->fields.end(), key) == kind->fields.end())
        throw JobError("unknown field \"" + key + "\"" + Hint(key, kind->fields, "its fields"));
    }
    parsed.drawing = kind->read(op, files);
  } catch (const JobError& e) {
    throw JobError(Where(page, index) + " (" + name + "): " + e.what());
  }
  if (keepFields) parsed.fields = std::move(op);
  return parsed;
}

JobPage ParsePage(const Json& page, std::size_t index, JobFiles& files) {
  if (!page.is_object()) throw JobError(Where(index) + ": a page is an object with \"ops\"");
  CheckFields(page, kPageKeys, Where(index));
  JobPage parsed;
  const auto ops = page.find("ops");
  if (ops != page.end()) {
    if (!ops->is_array()) throw JobError(Where(index) + ".ops: not an array");
    for (std::size_t i = 0; i < ops->size(); ++i)
      parsed.ops.push_back(ParseOp((*ops)[i], index, i, files, true));
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

// Takes each op as soon as it is read and checked, with its page's index.
using OpSink = std::function<void(std::size_t page, JobOp& op)>;

// Builds one JSON value from the parser's events: an op, the document's name or the settings. A value passed over
// is followed to its end without being built.
class ValueBuilder {
 public:
  bool Active() const { return active_; }
  void Begin(bool build) {
    root_ = Json();
    open_.clear();
    build_ = build;
    active_ = true;
  }
  // Each returns true when the value is whole.
  bool Scalar(Json value) {
    if (build_) Put(std::move(value));
    return Whole();
  }
  void Open(Json container) {
    if (!build_) {
      open_.push_back(nullptr);
      return;
    }
    // Room for an op's fields and a point's numbers at once, rather than grown one by one.
    if (container.is_object())
      container.get_ref<Json::object_t&>().reserve(kObjectRoom);
    else
      container.get_ref<Json::array_t&>().reserve(kArrayRoom);
    open_.push_back(&Put(std::move(container)));
  }
  bool Close() {
    open_.pop_back();
    return Whole();
  }
  void Key(std::string key) {
    if (build_) key_ = std::move(key);
  }
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
    auto& object = into.get_ref<Json::object_t&>();
    for (auto& [key, old] : object)
      if (key == key_) return old = std::move(value);  // a key given twice: the last value wins
    return object.emplace_back(std::move(key_), std::move(value)).second;
  }

  static constexpr std::size_t kObjectRoom = 8, kArrayRoom = 4;

  Json root_;
  std::vector<Json*> open_;
  std::string key_;
  bool build_ = true;
  bool active_ = false;
};

// The parser's events for a job: the job's object, its keys, the array of pages, each page's object and its array
// of ops, and values built whole (an op at a time, the document's name, the settings). A page's ops are read one
// by one, so a page of any number of ops never holds more than one op's JSON.
class JobReader final : public Json::json_sax_t {
 public:
  // Each op goes to `opSink` as soon as it is checked when one is given (the page the sink gets is then empty),
  // else into its page.
  JobReader(JobFiles& files, const PageSink& sink, const OpSink* opSink)
      : files_(files), sink_(sink), opSink_(opSink) {
    head_.folder = files.Folder();
  }
  JobHead TakeHead() { return std::move(head_); }

  bool null() override { return Value(Json()); }
  bool boolean(bool value) override { return Value(value); }
  bool number_integer(number_integer_t value) override { return Value(value); }
  bool number_unsigned(number_unsigned_t value) override { return Value(value); }
  bool number_float(number_float_t value, const string_t&) override { return Value(value); }
  // Copied, not moved: the parser's buffer keeps its room for the next text, and the copy takes one allocation.
  bool string(string_t& value) override { return Value(Json(value)); }
  bool binary(binary_t& value) override { return Value(Json::binary(std::move(value))); }
  bool start_object(std::size_t) override { return Open(Kind::Object); }
  bool start_array(std::size_t) override { return Open(Kind::Array); }
  // Nesting is bounded as the text is read: a value nested without end never reaches code that recurses.
  bool key(string_t& key) override {
    if (value_.Active()) {
      value_.Key(std::move(key));
    } else if (level_ == Level::Page) {
      CheckFields(Json::object({{key, nullptr}}), kPageKeys, Where(pageIndex_));
      if (pageHasOps_) throw JobError(Where(pageIndex_) + ".ops: given twice");
      pageHasOps_ = true;
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
    } else if (level_ == Level::Page) {
      EndPage();
    } else {
      level_ = Level::Done;
    }
    return true;
  }
  bool end_array() override {
    --depth_;
    if (value_.Active()) {
      if (value_.Close()) Done();
    } else if (level_ == Level::Ops) {
      level_ = Level::Page;
    } else {
      level_ = Level::Job;  // the end of the pages
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    throw JobError(std::string("not JSON (") + e.what() + ")");
  }

 private:
  enum class Level { Before, Job, Pages, Page, Ops, Done };
  enum class Kind { Object, Array, Scalar };

  bool Value(Json value) {
    if (!value_.Active()) Enter(Kind::Scalar);
    if (value_.Scalar(std::move(value))) Done();
    return true;
  }
  bool Open(Kind kind) {
    if (++depth_ > kMaxJobDepth)
      throw JobError("values nested deeper than " + std::to_string(kMaxJobDepth) + " levels");
    if (!value_.Active() && !Enter(kind)) return true;
    value_.Open(kind == Kind::Object ? Json::object() : Json::array());
    return true;
  }
  // Every value that begins outside a value being built comes here: the job's object, the array of pages, a page,
  // its array of ops, an op, the value of a head's key. Returns whether it is built (an op passed over is followed
  // though not built; the containers of the job, its pages and their ops are neither).
  bool Enter(Kind kind) {
    switch (level_) {
      case Level::Before:
        if (kind != Kind::Object) throw JobError("the job is not a JSON object");
        level_ = Level::Job;
        return false;
      case Level::Job:
        if (key_ != "pages") break;
        if (kind != Kind::Array) throw JobError("pages: not an array");
        level_ = Level::Pages;
        return false;
      case Level::Pages:  // a page begins
        pageIndex_ = head_.pageCount++;
        if (kind != Kind::Object) throw JobError(Where(pageIndex_) + ": a page is an object with \"ops\"");
        level_ = Level::Page;
        page_ = JobPage();
        pageHasOps_ = false;
        opIndex_ = 0;
        return false;
      case Level::Page:  // the value of "ops"
        if (kind != Kind::Array) throw JobError(Where(pageIndex_) + ".ops: not an array");
        level_ = Level::Ops;
        return false;
      case Level::Ops:  // an op begins
        value_.Begin(true);
        return true;
      case Level::Done:
        break;
    }
    value_.Begin(true);
    return true;
  }
  // A value has ended: an op, or the value of a head's key.
  void Done() {
    if (level_ == Level::Ops) {
      const std::size_t index = opIndex_++;
      JobOp op = ParseOp(value_.Take(), pageIndex_, index, files_, true);
      if (opSink_)
        (*opSink_)(pageIndex_, op);
      else
        page_.ops.push_back(std::move(op));
    } else {
      kqprint::TakeHead(key_, value_.Take(), head_);
    }
  }
  void EndPage() {
    level_ = Level::Pages;
    files_.PageDone();
    if (!sink_(pageIndex_, page_)) throw Stopped{};
    page_ = JobPage();
  }

  JobFiles& files_;
  const PageSink& sink_;
  const OpSink* opSink_;
  JobHead head_;
  ValueBuilder value_;
  Level level_ = Level::Before;
  std::string key_;
  std::vector<std::string> seen_;
  int depth_ = 0;
  JobPage page_;
  std::size_t pageIndex_ = 0;
  std::size_t opIndex_ = 0;
  bool pageHasOps_ = false;
};

JobHead ReadStream(std::istream& in, const std::string& source, JobFiles& files, const PageSink& sink,
                   const OpSink* opSink = nullptr) {
  JobReader reader(files, sink, opSink);
  try {
    Json::sax_parse(in, &reader);
  } catch (const Stopped&) {
  } catch (const JobError& e) {
    throw JobError(source + ": " + e.what());
  }
  return reader.TakeHead();
}

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
  return ReadStream(in, source, files, sink);
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

JobStream::JobStream(std::unique_ptr<std::istream> in, std::string source, std::filesystem::path folder,
                     HoldLimit limit)
    : source_(std::move(source)), files_(std::move(folder)), spool_(std::make_unique<PageSpool>(limit)) {
  // Each op goes into the kept form as soon as it is checked: a page of any number of ops holds no more than its
  // compact form.
  const auto kept = [&](std::size_t index, const auto& keep) {
    try {
      keep();
    } catch (const JobError& e) {
      throw JobError(Where(index) + ": " + e.what());
    }
  };
  const OpSink opSink = [&](std::size_t index, JobOp& op) { kept(index, [&] { spool_->AddOp(op); }); };
  head_ = ReadStream(
      *in, source_, files_,
      [&](std::size_t index, JobPage&) {
        kept(index, [&] { spool_->EndPage(); });
        return true;
      },
      &opSink);
}

JobStream::JobStream(JobStream&&) noexcept = default;
JobStream& JobStream::operator=(JobStream&&) noexcept = default;
JobStream::~JobStream() = default;

std::size_t JobStream::HeldPages() const { return spool_->PagesInMemory(); }

JobStream JobStream::OpenFile(const std::filesystem::path& file, HoldLimit limit) {
  return JobStream(OpenJobFile(file), file.string(), std::filesystem::absolute(file).parent_path(), limit);
}

JobStream JobStream::OpenInput(std::istream& in, const std::string& source, std::filesystem::path folder,
                               HoldLimit limit) {
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
  return JobStream(std::move(copy), source, std::move(folder), limit);
}

void JobStream::Pages(const PageSink& sink) {
  try {
    spool_->Read(sink, [&](Json op, std::size_t page, std::size_t index) {
      return ParseOp(std::move(op), page, index, files_, false);
    }, files_);
  } catch (const JobError& e) {
    throw JobError(source_ + ": " + e.what());
  }
}

}  // namespace kqprint
