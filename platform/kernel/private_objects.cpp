#include "win/private_objects.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace kq {

int OpenPrivateFolder(const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::create_directories(folder.parent_path(), ignored);
  ::mkdir(folder.c_str(), 0700);  // an existing one is checked below
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENOTDIR) errno = EACCES;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      ((info.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)) {
    ::close(fd);
    errno = EACCES;
    return -1;
  }
  return fd;
}

bool IsPrivateFile(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace kq
