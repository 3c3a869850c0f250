#include "file_share_locks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "win/private_objects.h"

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

// Whether a descriptor other than fd holds a lock on the byte; `unknown` when that cannot be told.
bool Held(int fd, off_t at, bool unknown = false) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return unknown;
  return lock.l_type != F_UNLCK;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether what is under a lock file's name, which could not be opened, is something other than a file of this user's
// (another user's file, a link, a socket): it is never trusted.
bool NotTheUsers(const std::filesystem::path& path, int error) {
  if (error != EACCES && error != EPERM && error != ELOOP && error != ENXIO) return false;
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid());
}

// The lock file at `path`, opened (made with `create`) with its guard held. The last holder of a lock file removes
// it under the guard, so after taking the guard an opener checks that the file it holds is still the one linked
// there, and opens again when it is not. What is under the name and not the user's alone is removed (the folder is
// the user's), so nobody else's lock file is ever trusted or blocks. -1 when it cannot be opened, or is not there
// without `create`.
int OpenGuarded(const std::filesystem::path& path, bool create) {
  for (;;) {
    const int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK | (create ? O_CREAT : 0);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
      if (!NotTheUsers(path, errno) || ::unlink(path.c_str()) != 0) return -1;
      continue;
    }
    if (!IsPrivateFile(fd)) {
      ::close(fd);
      if (::unlink(path.c_str()) != 0) return -1;
      continue;
    }
    ::fchmod(fd, 0600);  // whatever the process's umask took away, the user's other processes open it too
    struct stat held, linked;
    if (!Lock(fd, F_WRLCK, kGuard, true) || ::fstat(fd, &held) != 0) {
      ::close(fd);
      return -1;
    }
    if (::stat(path.c_str(), &linked) == 0 && SameFile(held, linked)) return fd;
    ::close(fd);
  }
}

}  // namespace

ShareLocks::ShareLocks(std::filesystem::path folder) : folder_(std::move(folder)) {
  const int fd = OpenPrivateFolder(folder_);
  usable_ = fd >= 0;
  if (usable_) ::close(fd);
}

std::filesystem::path ShareLocks::LockPath(FileIdentity file) const {
  return folder_ / (std::to_string(file.device) + "-" + std::to_string(file.inode));
}

int ShareLocks::TryOpen(FileIdentity file, DWORD accessClasses, DWORD shareMode, bool& sharingViolation) const {
  sharingViolation = false;
  if (!usable_) return -1;
  const int fd = OpenGuarded(LockPath(file), true);
  if (fd < 0) return -1;
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

void ShareLocks::Close(FileIdentity file, int fd) const {
  // The last holder removes the lock file, under the guard, so no opener enters a file that is no longer linked.
  const std::filesystem::path path = LockPath(file);
  if (Lock(fd, F_WRLCK, kGuard, true)) {
    bool others = false;
    for (off_t at = kAccessBase; at < kDenyBase + 3 && !others; ++at) others = Held(fd, at, true);
    struct stat held, linked;
    if (!others && ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &linked) == 0 && SameFile(held, linked))
      ::unlink(path.c_str());
  }
  ::close(fd);
}

bool ShareLocks::SharesDelete(FileIdentity file) const {
  const int fd = usable_ ? OpenGuarded(LockPath(file), false) : -1;
  if (fd < 0) return true;  // no process holds the file
  const bool denied = Held(fd, kDenyBase + 2);
  ::close(fd);
  return !denied;
}

}  // namespace kq
