// Printing jobs end to end in a test: a fresh machine, the real libtelodrv.so bound by the engine, and the outside
// readers (qpdf, pdfinfo) that judge the files. Every wait is bounded; nothing touches the real state root.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "job_file.h"
#include "print_job.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/shellapi.h"
#include "win/simulated_user.h"

namespace e2e {

// What a command printed on stdout and stderr together, and its exit status.
struct CommandResult {
  int status = -1;
  std::string output;
};

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk{};
  std::size_t n = 0;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// pdfinfo's fields by name ("Pages", "Page size", "Producer", ...).
inline std::map<std::string, std::string> PdfInfo(const std::filesystem::path& file) {
  std::map<std::string, std::string> fields;
  const CommandResult info = RunCommand("pdfinfo " + Quote(file.string()));
  if (info.status != 0) {
    ADD_FAILURE() << "pdfinfo failed on " << file << ":\n" << info.output;
    return fields;
  }
  std::size_t start = 0;
  while (start < info.output.size()) {
    std::size_t end = info.output.find('\n', start);
    if (end == std::string::npos) end = info.output.size();
    const std::string line = info.output.substr(start, end - start);
    if (const auto colon = line.find(':'); colon != std::string::npos) {
      const auto value = line.find_first_not_of(' ', colon + 1);
      fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
    }
    start = end + 1;
  }
  return fields;
}

inline void ExpectQpdfCheckPasses(const std::filesystem::path& file) {
  const CommandResult check = RunCommand("qpdf --check " + Quote(file.string()));
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("No syntax or stream encoding errors found"), std::string::npos) << check.output;
}

inline std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() {
    // The shell only journals its opens, whatever the environment names.
    machine->Service<kq::MachineShell>().SetOpenHandler(std::nullopt);
    std::filesystem::create_directories(out);
  }

  // A job of `pages` blank pages with the document name and settings given (a JSON object's text).
  static kqprint::PrintJob Job(const std::string& document, int pages, const std::string& settings = "{}") {
    nlohmann::ordered_json job = {{"document", document},
                                  {"settings", nlohmann::ordered_json::parse(settings)},
                                  {"pages", nlohmann::ordered_json::array()}};
    for (int i = 0; i < pages; ++i) job["pages"].push_back({{"ops", nlohmann::ordered_json::array()}});
    return kqprint::ParseJob(job, "/");
  }

  kqprint::PrintOutcome Print(const kqprint::PrintJob& job, const std::filesystem::path& output) {
    kqprint::PrintOptions options;
    options.output = output.string();
    return kqprint::RunJob(job, options);
  }

  std::vector<kq::JournalEntry> Boxes() const {
    std::vector<kq::JournalEntry> boxes;
    for (const auto& entry : machine->Service<kq::SimulatedUser>().Journal())
      if (entry.kind == kq::JournalEntry::Kind::MessageBox) boxes.push_back(entry);
    return boxes;
  }

  std::string JournalText() const {
    std::string text;
    for (const auto& entry : machine->Service<kq::SimulatedUser>().Journal()) text += entry.line + "\n";
    return text;
  }

  kq::TemporaryMachine machine;
  kq::MachineScope scope{machine.Get()};
  std::filesystem::path out = machine->Root() / "out";
};

}  // namespace e2e
