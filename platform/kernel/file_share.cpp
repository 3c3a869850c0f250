#include "file_share.h"

#include <algorithm>

#include "file_share_locks.h"

namespace kq {

ShareTable::ShareTable(std::filesystem::path lockFolder)
    : locks_(std::make_unique<ShareLocks>(std::move(lockFolder))) {}

ShareTable::~ShareTable() {
  for (auto& [file, openers] : open_)
    for (const auto& o : openers)
      if (o.lockFd >= 0) locks_->Close(file, o.lockFd);
}

bool ShareTable::TryOpen(FileIdentity file, DWORD accessClasses, DWORD shareMode, std::uint64_t& ticket) {
  std::lock_guard lock(mutex_);
  auto& openers = open_[file];  // an opener that conflicts leaves a non-empty list, so nothing empty stays
  for (const auto& other : openers) {
    if ((accessClasses & ~other.shareMode) != 0 || (other.accessClasses & ~shareMode) != 0) return false;
  }
  bool violation = false;
  const int lockFd = locks_->TryOpen(file, accessClasses, shareMode, violation);
  if (violation) return false;
  ticket = ++nextTicket_;
  openers.push_back({ticket, accessClasses, shareMode, lockFd});
  return true;
}

void ShareTable::Close(FileIdentity file, std::uint64_t ticket) {
  std::lock_guard lock(mutex_);
  auto it = open_.find(file);
  if (it == open_.end()) return;
  std::erase_if(it->second, [&](const Opener& o) {
    if (o.ticket != ticket) return false;
    if (o.lockFd >= 0) locks_->Close(file, o.lockFd);
    return true;
  });
  if (it->second.empty()) open_.erase(it);
}

bool ShareTable::SharesDelete(FileIdentity file) {
  std::lock_guard lock(mutex_);
  if (!locks_->SharesDelete(file)) return false;
  auto it = open_.find(file);
  if (it == open_.end()) return true;
  return std::all_of(it->second.begin(), it->second.end(),
                     [](const Opener& o) { return (o.shareMode & kShareClassDelete) != 0; });
}

}  // namespace kq
