// File handles over host file descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <optional>

#include "file_internal.h"
#include "file_share.h"
#include "win/fileapi.h"

namespace kq {

namespace {

constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | FILE_READ_DATA;
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
constexpr DWORD kOverwriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA;

// The access classes that share modes govern: reading and executing, writing and appending, deleting.
DWORD AccessClasses(DWORD access) {
  DWORD classes = 0;
  if (access & (kReadRights | GENERIC_EXECUTE | FILE_EXECUTE)) classes |= kShareClassRead;
  if (access & kWriteRights) classes |= kShareClassWrite;
  if (access & (DELETE | GENERIC_ALL)) classes |= kShareClassDelete;
  return classes;
}

// The platform's read-only attribute: no write permission for anyone. It holds for every caller, as on the
// platform, also for a host user whom the host would let write.
bool IsReadOnlyMode(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

DWORD DirectionalError(int error, DWORD ioFault) { return error == EIO ? ioFault : ErrorFromErrno(error); }

class FileObject final : public IoObject {
 public:
  FileObject(int fd, DWORD access, std::shared_ptr<ShareTable> table, FileIdentity identity,
             std::optional<std::uint64_t> ticket)
      : fd_(fd), access_(access), table_(std::move(table)), identity_(identity), ticket_(ticket) {}

  ~FileObject() override {
    if (ticket_) table_->Close(identity_, *ticket_);
    ::close(fd_);
  }

  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  DWORD Read(void* buffer, DWORD size, DWORD& done) override {
    done = 0;
    if (!(access_ & kReadRights)) return ERROR_ACCESS_DENIED;
    auto* bytes = static_cast<char*>(buffer);
    while (done < size) {
      const ssize_t n = ::read(fd_, bytes + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return DirectionalError(errno, ERROR_READ_FAULT);
      }
      if (n == 0) break;  // end of file
      done += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
  }

  DWORD Write(const void* buffer, DWORD size, DWORD& done) override {
    done = 0;
    if (!(access_ & kWriteRights)) return ERROR_ACCESS_DENIED;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < size) {
      const ssize_t n = ::write(fd_, bytes + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return DirectionalError(errno, ERROR_WRITE_FAULT);
      }
      if (n == 0) return ERROR_WRITE_FAULT;
      done += static_cast<DWORD>(n);
    }
    return ERROR_SUCCESS;
  }

  DWORD Flush() override {
    if (!(access_ & kWriteRights)) return ERROR_ACCESS_DENIED;
    if (::fsync(fd_) == 0) return ERROR_SUCCESS;
    // Devices and pipes have nothing to flush.
    if (errno == EINVAL || errno == EROFS) return ERROR_SUCCESS;
    return DirectionalError(errno, ERROR_WRITE_FAULT);
  }

  // Moves the file pointer; `limit` is the largest position the caller can be told of.
  DWORD Seek(std::int64_t distance, DWORD method, std::int64_t limit, std::int64_t& position) {
    std::int64_t base = 0;
    if (method == FILE_CURRENT) {
      base = ::lseek(fd_, 0, SEEK_CUR);
    } else if (method == FILE_END) {
      struct stat st;
      base = ::fstat(fd_, &st) == 0 ? st.st_size : -1;
    } else if (method != FILE_BEGIN) {
      return ERROR_INVALID_PARAMETER;
    }
    if (base < 0) return ErrorFromErrno(errno);
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, distance, &target)) return ERROR_INVALID_PARAMETER;
    if (target < 0) return ERROR_NEGATIVE_SEEK;
    if (target > limit) return ERROR_INVALID_PARAMETER;
    if (::lseek(fd_, target, SEEK_SET) < 0) return ErrorFromErrno(errno);
    position = target;
    return ERROR_SUCCESS;
  }

  DWORD Size(std::int64_t& size) const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrorFromErrno(errno);
    size = st.st_size;
    return ERROR_SUCCESS;
  }

 private:
  int fd_;
  DWORD access_;
  std::shared_ptr<ShareTable> table_;
  FileIdentity identity_;
  std::optional<std::uint64_t> ticket_;
};

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

BOOL FailBool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

int OpenFlags(DWORD access) {
  int flags = O_CLOEXEC | O_NOCTTY;
  const bool read = access & (kReadRights | GENERIC_EXECUTE | FILE_EXECUTE);
  const bool write = access & kWriteRights;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  if (write && !(access & kOverwriteRights)) flags |= O_APPEND;  // append-only access writes at the end
  return flags;
}

}  // namespace

}  // namespace kq

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE templateFile) {
  using namespace kq;
  if (!fileName) return Fail(ERROR_INVALID_PARAMETER);
  if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) return Fail(ERROR_INVALID_PARAMETER);
  if (shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) return Fail(ERROR_INVALID_PARAMETER);
  if (creationDisposition == TRUNCATE_EXISTING && !(desiredAccess & kOverwriteRights))
    return Fail(ERROR_INVALID_PARAMETER);
  if (templateFile && templateFile != INVALID_HANDLE_VALUE) return Fail(ERROR_NOT_SUPPORTED);

  std::filesystem::path host;
  if (const DWORD error = ResolveWindowsPath(fileName, host)) return Fail(error);

  // Without waiting for a FIFO's other end; the handle blocks as any other once open.
  const int flags = OpenFlags(desiredAccess) | O_NONBLOCK;
  const bool wantsWrite = desiredAccess & kWriteRights;
  int fd = -1;
  bool existed = true;
  switch (creationDisposition) {
    case CREATE_NEW:
      fd = ::open(host.c_str(), flags | O_CREAT | O_EXCL, 0666);
      existed = false;
      break;
    case OPEN_EXISTING:
    case TRUNCATE_EXISTING:
      fd = ::open(host.c_str(), flags);
      break;
    default:
      // CREATE_ALWAYS and OPEN_ALWAYS tell whether the file was there; a rival creating or removing it between
      // the two tries sends us round again.
      for (int attempt = 0; attempt < 8; ++attempt) {
        fd = ::open(host.c_str(), flags);
        if (fd >= 0 || errno != ENOENT) break;
        fd = ::open(host.c_str(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
          existed = false;
          break;
        }
        if (errno != EEXIST) break;
      }
      break;
  }
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return Fail(MissingNameError(host));
    return Fail(ErrorFromErrno(error));
  }

  struct stat st;
  if (::fstat(fd, &st) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const DWORD error = ErrorFromErrno(errno);
    ::close(fd);
    return Fail(error);
  }
  const bool truncate = existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING);
  if (S_ISDIR(st.st_mode) ||
      (existed && S_ISREG(st.st_mode) && IsReadOnlyMode(st.st_mode) && (wantsWrite || truncate))) {
    ::close(fd);
    return Fail(ERROR_ACCESS_DENIED);
  }

  // Opens that touch no data (attribute queries) are not subject to sharing.
  const FileIdentity identity{st.st_dev, st.st_ino};
  auto table = CurrentMachine().Service<ShareTableService>().table;
  std::optional<std::uint64_t> ticket;
  if (const DWORD classes = AccessClasses(desiredAccess)) {
    std::uint64_t t = 0;
    if (!table->TryOpen(identity, classes, shareMode, t)) {
      ::close(fd);
      return Fail(ERROR_SHARING_VIOLATION);
    }
    ticket = t;
  }
  auto file = std::make_shared<FileObject>(fd, desiredAccess, table, identity, ticket);

  // Truncation comes after the share check, so a refused opener leaves the file as it was.
  if (truncate && S_ISREG(st.st_mode)) {
    const int result = wantsWrite ? ::ftruncate(fd, 0) : ::truncate(host.c_str(), 0);
    if (result != 0) return Fail(ErrorFromErrno(errno));
  }

  HANDLE handle = InsertHandle(std::move(file));
  const bool reportsExisting = creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  kq::WString wide;
  if (!kq::WideNameFromAnsi(fileName, wide)) return INVALID_HANDLE_VALUE;
  return CreateFileW(wide.c_str(), desiredAccess, shareMode, security, creationDisposition, flagsAndAttributes,
                     templateFile);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (bytesRead) *bytesRead = 0;
  auto object = kq::ObjectFromHandle<kq::IoObject>(file);
  if (!object) return FALSE;
  if (overlapped) return kq::FailBool(ERROR_NOT_SUPPORTED);
  if (!buffer && bytesToRead) return kq::FailBool(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  const DWORD error = object->Read(buffer, bytesToRead, done);
  if (bytesRead) *bytesRead = done;
  if (error) return kq::FailBool(error);
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  auto object = kq::ObjectFromHandle<kq::IoObject>(file);
  if (!object) return FALSE;
  if (overlapped) return kq::FailBool(ERROR_NOT_SUPPORTED);
  if (!buffer && bytesToWrite) return kq::FailBool(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  const DWORD error = object->Write(buffer, bytesToWrite, done);
  if (bytesWritten) *bytesWritten = done;
  if (error) return kq::FailBool(error);
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto object = kq::ObjectFromHandle<kq::IoObject>(file);
  if (!object) return FALSE;
  if (const DWORD error = object->Flush()) return kq::FailBool(error);
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod) {
  auto object = kq::ObjectFromHandle<kq::FileObject>(file);
  if (!object) return INVALID_SET_FILE_POINTER;
  // With a high part the two halves make one signed 64-bit distance; without one the low part alone is signed.
  const std::int64_t distance =
      distanceToMoveHigh ? static_cast<std::int64_t>((static_cast<std::uint64_t>(
                                                          static_cast<std::uint32_t>(*distanceToMoveHigh))
                                                      << 32) |
                                                     static_cast<std::uint32_t>(distanceToMove))
                         : distanceToMove;
  const std::int64_t limit = distanceToMoveHigh ? std::numeric_limits<std::int64_t>::max() : 0xFFFFFFFELL;
  std::int64_t position = 0;
  if (const DWORD error = object->Seek(distance, moveMethod, limit, position)) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceToMoveHigh) *distanceToMoveHigh = static_cast<LONG>(position >> 32);
  // INVALID_SET_FILE_POINTER can be a true position with a high part; the cleared last error tells them apart.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position & 0xFFFFFFFF);
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distanceToMove, PLARGE_INTEGER newFilePointer, DWORD moveMethod) {
  auto object = kq::ObjectFromHandle<kq::FileObject>(file);
  if (!object) return FALSE;
  std::int64_t position = 0;
  if (const DWORD error = object->Seek(distanceToMove.QuadPart, moveMethod, std::numeric_limits<std::int64_t>::max(),
                                       position))
    return kq::FailBool(error);
  if (newFilePointer) newFilePointer->QuadPart = position;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  auto object = kq::ObjectFromHandle<kq::FileObject>(file);
  if (!object) return INVALID_FILE_SIZE;
  std::int64_t size = 0;
  if (const DWORD error = object->Size(size)) {
    SetLastError(error);
    return INVALID_FILE_SIZE;
  }
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(static_cast<std::uint64_t>(size) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xFFFFFFFF);
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize) {
  auto object = kq::ObjectFromHandle<kq::FileObject>(file);
  if (!object) return FALSE;
  if (!fileSize) return kq::FailBool(ERROR_INVALID_PARAMETER);
  std::int64_t size = 0;
  if (const DWORD error = object->Size(size)) return kq::FailBool(error);
  fileSize->QuadPart = size;
  return TRUE;
}
