// What every kq program (kqprint, kqword, kqview, kqreader, kqhandover) means by its exit code, and how it answers
// --version, so that a script treats them alike.
#pragma once

#include <iostream>
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

}  // namespace kqtools
