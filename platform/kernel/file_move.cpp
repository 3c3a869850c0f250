// Renames of files, as the document writer's replace of a finished file needs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_internal.h"
#include "file_share.h"
#include "win/fileapi.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
  using namespace kq;
  if (!existingFileName || !newFileName) return Fail(ERROR_INVALID_PARAMETER);
  if (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
    return Fail(ERROR_INVALID_PARAMETER);
  std::filesystem::path from;
  std::filesystem::path to;
  if (const DWORD error = ResolveWindowsPath(existingFileName, from)) return Fail(error);
  if (const DWORD error = ResolveWindowsPath(newFileName, to)) return Fail(error);

  struct stat source;
  if (::lstat(from.c_str(), &source) != 0)
    return Fail(errno == ENOENT ? MissingNameError(from) : ErrorFromErrno(errno));
  if (S_ISDIR(source.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  auto& table = *CurrentMachine().Service<ShareTableService>().table;
  if (!table.SharesDelete({source.st_dev, source.st_ino})) return Fail(ERROR_SHARING_VIOLATION);

  struct stat target;
  const bool targetExists = ::lstat(to.c_str(), &target) == 0;
  if (targetExists) {
    if (S_ISDIR(target.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return TRUE;
    if (S_ISREG(target.st_mode) && (target.st_mode & 0222) == 0) return Fail(ERROR_ACCESS_DENIED);
    if (!table.SharesDelete({target.st_dev, target.st_ino})) return Fail(ERROR_SHARING_VIOLATION);
  }
  // Without replacing, a link that fails on an existing name keeps a rival's new file; with it, rename is one step.
  if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
    if (::link(from.c_str(), to.c_str()) != 0) {
      const int error = errno;
      if (error == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
      if (error == EXDEV) return Fail(ERROR_NOT_SAME_DEVICE);
      return Fail(error == ENOENT ? MissingNameError(to) : ErrorFromErrno(error));
    }
    ::unlink(from.c_str());
  } else if (::rename(from.c_str(), to.c_str()) != 0) {
    const int error = errno;
    if (error == EXDEV) return Fail(ERROR_NOT_SAME_DEVICE);
    return Fail(error == ENOENT ? MissingNameError(to) : ErrorFromErrno(error));
  }
  if (flags & MOVEFILE_WRITE_THROUGH) {
    // The new name lasts once its folder is on the disk.
    const auto folder = to.parent_path().empty() ? std::filesystem::path(".") : to.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
  }
  return TRUE;
}
