// The platform's rules by which a started program splits its command line into arguments.
#include "win/processthreadsapi.h"

namespace kq {

namespace {

bool IsBlank(WCHAR c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<WString> SplitCommandLine(WStringView line) {
  std::vector<WString> arguments;
  std::size_t i = 0;

  // The program's name: quotes only delimit it, backslashes are part of the path.
  WString name;
  if (i < line.size() && line[i] == u'"') {
    ++i;
    while (i < line.size() && line[i] != u'"') name += line[i++];
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && !IsBlank(line[i])) name += line[i++];
  }
  arguments.push_back(std::move(name));

  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    WString argument;
    bool quoted = false;
    while (i < line.size()) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') {
        ++backslashes;
        ++i;
      }
      if (i < line.size() && line[i] == u'"') {
        argument.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          argument += u'"';
          ++i;
        } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument += u'"';  // "" inside a quoted part
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      argument.append(backslashes, u'\\');
      if (i == line.size() || (!quoted && IsBlank(line[i]))) break;
      argument += line[i++];
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace kq
