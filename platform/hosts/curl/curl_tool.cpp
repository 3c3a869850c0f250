// curl as a program of the stand-in: a Windows program receives Windows paths, so the files its form fields name
// ("-F name=@path" and "<path", plain or in curl's quoted form) are mapped to host paths on the machine that
// started it; every other argument goes to the host's curl unchanged. KQ_CURL names another curl program.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "win/paths.h"

namespace {

// curl's quoted form: in quotes, with a backslash before every quote and backslash.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string HostPath(const std::string& windowsPath) {
  const auto host = kq::HostPathFromWindows(kq::WideFromUtf8(windowsPath));
  return host ? host->string() : windowsPath;
}

// A form field with its file's path made a host path.
std::string MapFormField(const std::string& field) {
  const auto equals = field.find('=');
  if (equals == std::string::npos || equals + 1 >= field.size()) return field;
  const char kind = field[equals + 1];
  if (kind != '@' && kind != '<') return field;
  std::size_t at = equals + 2;
  std::string path;
  if (at < field.size() && field[at] == '"') {
    ++at;
    while (at < field.size() && field[at] != '"') {
      if (field[at] == '\\' && at + 1 < field.size() && (field[at + 1] == '"' || field[at + 1] == '\\')) ++at;
      path += field[at++];
    }
    if (at < field.size()) ++at;  // the closing quote
  } else {
    while (at < field.size() && field[at] != ';') path += field[at++];
  }
  return field.substr(0, equals + 2) + Quoted(HostPath(path)) + field.substr(at);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  const char* curl = std::getenv("KQ_CURL");
  arguments.push_back(curl && *curl ? curl : "curl");
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    const bool formNext = i > 1 && (std::string(argv[i - 1]) == "-F" || std::string(argv[i - 1]) == "--form");
    if (formNext) argument = MapFormField(argument);
    arguments.push_back(std::move(argument));
  }
  std::vector<char*> pointers;
  for (auto& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  execvp(pointers[0], pointers.data());
  std::fprintf(stderr, "curl: (2) cannot run %s\n", pointers[0]);
  return 2;
}
