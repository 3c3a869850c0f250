#include "file_share.h"

#include <algorithm>

namespace kq {

bool ShareTable::TryOpen(FileIdentity file, DWORD accessClasses, DWORD shareMode, std::uint64_t& ticket) {
  std::lock_guard lock(mutex_);
  auto& openers = open_[file];  // an opener that conflicts leaves a non-empty list, so nothing empty stays
  for (const auto& other : openers) {
    if ((accessClasses & ~other.shareMode) != 0 || (other.accessClasses & ~shareMode) != 0) return false;
  }
  ticket = ++nextTicket_;
  openers.push_back({ticket, accessClasses, shareMode});
  return true;
}

void ShareTable::Close(FileIdentity file, std::uint64_t ticket) {
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  if (it == open_.end()) return;
  std::erase_if(it->second, [&](const Opener& o) { return o.ticket == ticket; });
  if (it->second.empty()) open_.erase(it);
}

bool ShareTable::SharesDelete(FileIdentity file) {
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  if (it == open_.end()) return true;
  return std::all_of(it->second.begin(), it->second.end(),
                     [](const Opener& o) { return (o.shareMode & kShareClassDelete) != 0; });
}

}  // namespace kq
