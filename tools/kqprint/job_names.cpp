#include "job_names.h"

#include <algorithm>
#include <vector>

#include "job_file.h"

namespace kqprint {

namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (Fold(a[i - 1]) == Fold(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

}  // namespace

std::string NearestName(std::string_view name, std::span<const std::string_view> known) {
  // A slip: a third of the name's letters at most, and always a letter or two.
  const std::size_t limit = std::max<std::size_t>(2, name.size() / 3);
  std::string_view best;
  std::size_t bestDistance = limit + 1;
  for (std::string_view candidate : known) {
    const std::size_t d = Distance(name, candidate);
    if (d < bestDistance) {
      best = candidate;
      bestDistance = d;
    }
  }
  if (best.empty()) {
    // A name written out in full, or cut short: "rectangle" for "rect".
    for (std::string_view candidate : known) {
      const std::size_t common = std::min(name.size(), candidate.size());
      if (common >= 3 && Distance(name.substr(0, common), candidate.substr(0, common)) == 0)
        return std::string(candidate);
    }
  }
  return std::string(best);
}

std::string Hint(std::string_view name, std::span<const std::string_view> known, std::string_view what) {
  if (const std::string nearest = NearestName(name, known); !nearest.empty())
    return "; did you mean " + Quoted(nearest) + "?";
  if (what.empty() || known.empty()) return {};
  std::string list;
  for (std::size_t i = 0; i < known.size(); ++i) {
    if (i > 0) list += i + 1 == known.size() ? " and " : ", ";
    list += known[i];
  }
  return " (" + std::string(what) + (known.size() == 1 ? " is " : " are ") + list + ")";
}

void CheckFields(const nlohmann::ordered_json& object, std::span<const std::string_view> known,
                 const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    if (std::find(known.begin(), known.end(), key) != known.end()) continue;
    throw JobError(where + (where.empty() ? "" : ": ") + "unknown field " + Quoted(key) +
                   Hint(key, known, "its fields"));
  }
}

}  // namespace kqprint
