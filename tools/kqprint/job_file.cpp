#include "job_file.h"

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

constexpr std::string_view kPageKeys[] = {"ops"};

std::string Where(std::size_t page) { return "pages[" + std::to_string(page) + "]"; }
std::string Where(std::size_t page, std::size_t op) { return Where(page) + ".ops[" + std::to_string(op) + "]"; }

std::vector<std::string_view> OpNames() {
  std::vector<std::string_view> names;
  for (const OpKind& kind : AllOps()) names.push_back(kind.name);
  return names;
}

JobOp ParseOp(const nlohmann::ordered_json& op, const std::string& where, const std::filesystem::path& folder) {
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
    parsed.drawing = kind->read(op, folder);
  } catch (const JobError& e) {
    throw JobError(where + " (" + name + "): " + e.what());
  }
  return parsed;
}

JobPage ParsePage(const nlohmann::ordered_json& page, std::size_t index, const std::filesystem::path& folder) {
  if (!page.is_object()) throw JobError(Where(index) + ": a page is an object with \"ops\"");
  CheckFields(page, kPageKeys, Where(index));
  JobPage parsed;
  const auto ops = page.find("ops");
  if (ops == page.end()) return parsed;
  if (!ops->is_array()) throw JobError(Where(index) + ".ops: not an array");
  for (std::size_t i = 0; i < ops->size(); ++i) parsed.ops.push_back(ParseOp((*ops)[i], Where(index, i), folder));
  return parsed;
}

}  // namespace

PrintJob ParseJob(const nlohmann::ordered_json& document, std::filesystem::path folder) {
  if (!document.is_object()) throw JobError("the job is not a JSON object");
  for (const auto& [key, value] : document.items()) {
    if (std::find(std::begin(kJobKeys), std::end(kJobKeys), key) == std::end(kJobKeys))
      throw JobError("unknown key \"" + key + "\"" + Hint(key, kJobKeys, "the keys"));
  }
  PrintJob job;
  job.folder = std::move(folder);
  if (const auto name = document.find("document"); name != document.end()) {
    if (!name->is_string()) throw JobError("document: not a text");
    job.document = kq::WideFromUtf8(name->get<std::string>());
  }
  if (const auto settings = document.find("settings"); settings != document.end()) {
    if (!settings->is_object()) throw JobError("settings: not an object");
    for (const auto& [name, value] : settings->items()) job.settings.push_back(JobSetting{name, value});
  }
  if (const auto pages = document.find("pages"); pages != document.end()) {
    if (!pages->is_array()) throw JobError("pages: not an array");
    for (std::size_t i = 0; i < pages->size(); ++i) job.pages.push_back(ParsePage((*pages)[i], i, job.folder));
  }
  return job;
}

PrintJob ReadJob(std::istream& in, const std::string& source, std::filesystem::path folder) {
  // The text is read whole first, so a job larger than the limit is refused before it is parsed.
  std::string text;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxJobBytes)
      throw JobError(source + ": larger than " + std::to_string(kMaxJobBytes >> 20) + " MiB; split the job");
  }
  nlohmann::ordered_json document;
  try {
    // Nesting is bounded as the text is parsed: a value nested without end never reaches code that recurses.
    document = nlohmann::ordered_json::parse(text, [&](int depth, nlohmann::ordered_json::parse_event_t,
                                                       nlohmann::ordered_json&) {
      if (depth > kMaxJobDepth)
        throw JobError(source + ": values nested deeper than " + std::to_string(kMaxJobDepth) + " levels");
      return true;
    });
  } catch (const nlohmann::ordered_json::parse_error& e) {
    throw JobError(source + ": not JSON (" + e.what() + ")");
  }
  try {
    return ParseJob(document, std::move(folder));
  } catch (const JobError& e) {
    throw JobError(source + ": " + e.what());
  }
}

PrintJob ReadJobFile(const std::filesystem::path& file) {
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (std::filesystem::is_directory(status))
    throw JobError(file.string() + ": a folder, not a job file (give the job's .json file)");
  if (!std::filesystem::exists(status)) throw JobError(file.string() + ": no such file");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw JobError(file.string() + ": cannot be read (" + std::strerror(errno) + ")");
  return ReadJob(in, file.string(), std::filesystem::absolute(file).parent_path());
}

}  // namespace kqprint
