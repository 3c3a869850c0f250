#include "job_file.h"

#include "draw_ops.h"

#include <algorithm>
#include <fstream>

namespace kqprint {

namespace {

std::string Where(std::size_t page) { return "pages[" + std::to_string(page) + "]"; }
std::string Where(std::size_t page, std::size_t op) { return Where(page) + ".ops[" + std::to_string(op) + "]"; }

JobPage ParsePage(const nlohmann::ordered_json& page, std::size_t index, const std::filesystem::path& folder) {
  if (!page.is_object()) throw JobError(Where(index) + ": a page is an object with \"ops\"");
  JobPage parsed;
  const auto ops = page.find("ops");
  if (ops == page.end()) return parsed;
  if (!ops->is_array()) throw JobError(Where(index) + ".ops: not an array");
  const auto& known = KnownOps();
  for (std::size_t i = 0; i < ops->size(); ++i) {
    const auto& op = (*ops)[i];
    if (!op.is_object() || !op.contains("op") || !op["op"].is_string())
      throw JobError(Where(index, i) + ": an op is an object with an \"op\" name");
    const std::string name = op["op"].get<std::string>();
    if (std::find(known.begin(), known.end(), name) == known.end())
      throw JobError(Where(index, i) + ": unknown op \"" + name + "\"");
    JobOp parsedOp{name, op, nullptr};
    try {
      parsedOp.drawing = ParseDrawOp(parsedOp, folder);
    } catch (const JobError& e) {
      throw JobError(Where(index, i) + " (" + name + "): " + e.what());
    }
    parsed.ops.push_back(std::move(parsedOp));
  }
  return parsed;
}

}  // namespace

const std::vector<std::string>& KnownOps() { return DrawOpNames(); }

PrintJob ParseJob(const nlohmann::ordered_json& document, std::filesystem::path folder) {
  if (!document.is_object()) throw JobError("the job is not a JSON object");
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

PrintJob ReadJobFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw JobError(file.string() + ": cannot be read");
  nlohmann::ordered_json document;
  try {
    document = nlohmann::ordered_json::parse(in);
  } catch (const nlohmann::ordered_json::parse_error& e) {
    throw JobError(file.string() + ": not JSON (" + e.what() + ")");
  }
  try {
    return ParseJob(document, std::filesystem::absolute(file).parent_path());
  } catch (const JobError& e) {
    throw JobError(file.string() + ": " + e.what());
  }
}

}  // namespace kqprint
