#include "file_share_locks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace kq {

namespace {

// One byte per lock: the guard that makes a check and its entry one step, then per access class (read, write,
// delete) one byte its users lock and one byte the openers that do not share it lock.
constexpr off_t kGuard = 0;
constexpr off_t kAccessBase = 1;
constexpr off_t kDenyBase = 4;
constexpr DWORD kClasses[] = {kShareClassRead, kShareClassWrite, kShareClassDelete};

bool Lock(int fd, short type, off_t at, bool wait) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = 1;
  for (;;) {
    if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// Whether a descriptor other than fd holds a lock on the byte.
bool Held(int fd, off_t at) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

}  // namespace

ShareLocks::ShareLocks(std::filesystem::path folder) : folder_(std::move(folder)) {
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
}

std::filesystem::path ShareLocks::LockPath(FileIdentity file) const {
  return folder_ / (std::to_string(file.device) + "-" + std::to_string(file.inode));
}

int ShareLocks::TryOpen(FileIdentity file, DWORD accessClasses, DWORD shareMode, bool& sharingViolation) const {
  sharingViolation = false;
  const int fd = ::open(LockPath(file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return -1;
  if (!Lock(fd, F_WRLCK, kGuard, true)) {
    ::close(fd);
    return -1;
  }
  for (int i = 0; i < 3 && !sharingViolation; ++i) {
    const DWORD c = kClasses[i];
    if ((accessClasses & c) && Held(fd, kDenyBase + i)) sharingViolation = true;
    if (!(shareMode & c) && Held(fd, kAccessBase + i)) sharingViolation = true;
  }
  bool entered = !sharingViolation;
  for (int i = 0; i < 3 && entered; ++i) {
    const DWORD c = kClasses[i];
    if ((accessClasses & c) && !Lock(fd, F_RDLCK, kAccessBase + i, false)) entered = false;
    if (!(shareMode & c) && !Lock(fd, F_RDLCK, kDenyBase + i, false)) entered = false;
  }
  Lock(fd, F_UNLCK, kGuard, false);
  if (!entered) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool ShareLocks::SharesDelete(FileIdentity file) const {
  const int fd = ::open(LockPath(file).c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return true;  // no process has held the file
  const bool denied = Held(fd, kDenyBase + 2);
  ::close(fd);
  return !denied;
}

}  // namespace kq
