// What every kq program (kqprint, kqword, kqview, kqreader, kqhandover) means by its exit code, and how it answers
// --version, so that a script treats them alike.
#pragma once

#include <iostream>
#include <optional>
#include <string_view>

#include "pdf/xmp.h"

namespace kqtools {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;          // the program could not do its job
inline constexpr int kExitBadCommandLine = 2;  // an unknown option, options that contradict each other, a refused one
inline constexpr int kExitBadInput = 3;        // the input file is missing, unreadable or not what it should be
inline constexpr int kExitCancelled = 4;       // the person cancelled

// Answers --version with the program's name and the suite's version.
inline int PrintVersion(std::string_view program) {
  std::cout << program << ": " << kPdfProducer << "\n";
  return kExitDone;
}

// A command line that asks for help or the version anywhere is answered so, whatever else it holds: the exit code
// to end with, or nothing.
inline std::optional<int> HelpOrVersion(int argc, char** argv, std::string_view program, std::string_view usage) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << usage;
      return kExitDone;
    }
    if (arg == "--version") return PrintVersion(program);
  }
  return std::nullopt;
}

}  // namespace kqtools
