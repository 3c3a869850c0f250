// Test fixtures: .docx files written at test time by another program's writer (python-docx, through
// tests/make_docx.py), so the word processor reads files it did not write itself.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kq::wordproc {

// Writes the fixture `kind` (report, plain, levels, wrap, shapes) into `folder`; the file's path, or an empty
// path when the writer failed.
inline std::filesystem::path MakeDocxFixture(const std::string& kind, const std::filesystem::path& folder) {
  const auto out = folder / (kind + ".docx");
  const std::string command = "/usr/bin/python3 '" KQ_SOURCE_DIR "/platform/hosts/wordproc/tests/make_docx.py' " +
                              kind + " '" + out.string() + "'";
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(out)) return {};
  return out;
}

}  // namespace kq::wordproc
