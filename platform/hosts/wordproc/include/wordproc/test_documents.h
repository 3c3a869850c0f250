// Test helpers: .docx files written at test time by another program's writer (python-docx, through
// tests/make_docx.py), so the word processor reads files it did not write itself, and where a printed PDF shows a word.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <utility>

namespace kq::wordproc {

// Writes the fixture `kind` (report, plain, levels, wrap, lists, fields, shapes, protected, revised) into `folder`; the file's path, or an empty
// path when the writer failed.
inline std::filesystem::path MakeDocxFixture(const std::string& kind, const std::filesystem::path& folder) {
  const auto out = folder / (kind + ".docx");
  const std::string command = "/usr/bin/python3 '" KQ_SOURCE_DIR "/platform/hosts/wordproc/tests/make_docx.py' " +
                              kind + " '" + out.string() + "'";
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(out)) return {};
  return out;
}

// Where a printed PDF shows the first word `word` on page `page`, as pdftotext's box gives it: xMin and yMin in
// points from the page's top-left corner. Nothing when the page does not show it.
inline std::optional<std::pair<double, double>> PrintedWord(const std::filesystem::path& pdf, int page,
                                                            const std::string& word) {
  const std::string command = "pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" +
                              pdf.string() + "' - 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  std::array<char, 4096> chunk{};
  for (std::size_t n; (n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) out.append(chunk.data(), n);
  pclose(pipe);
  std::smatch m;
  if (!std::regex_search(out, m, std::regex("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>" + word + "</word>")))
    return std::nullopt;
  return std::make_pair(std::stod(m[1]), std::stod(m[2]));
}

}  // namespace kq::wordproc
