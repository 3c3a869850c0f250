#include <vector>

#include "dovecap/word_converter.h"

namespace dovecap {

OutlineList BuildOutline(const std::vector<OutlineEntry>& entries) {
  OutlineList items;
  // The chain of open parents: (level, index); the root is below every level.
  std::vector<std::pair<int, std::int32_t>> open{{0, 0}};
  std::vector<std::int32_t> lastChild;
  for (const auto& entry : entries) {
    if (entry.level < 1 || entry.level > 9) continue;  // body text makes no item
    if (items.empty()) {
      items.push_back({u"", u"", -1, -1, -1, 1, 1});
      lastChild.push_back(-1);
    }
    while (open.back().first >= entry.level) open.pop_back();
    const std::int32_t parent = open.back().second;
    const auto index = static_cast<std::int32_t>(items.size());
    handover::OutlineRecord item{entry.title, entry.destination, parent, -1, -1, -1, -1};
    const std::int32_t previous = lastChild[static_cast<std::size_t>(parent)];
    if (previous >= 0) {
      item.prev = previous;
      items[static_cast<std::size_t>(previous)].next = index;
    } else {
      items[static_cast<std::size_t>(parent)].first = index;
    }
    items[static_cast<std::size_t>(parent)].last = index;
    lastChild[static_cast<std::size_t>(parent)] = index;
    items.push_back(std::move(item));
    lastChild.push_back(-1);
    open.emplace_back(entry.level, index);
  }
  return items;
}

}  // namespace dovecap
