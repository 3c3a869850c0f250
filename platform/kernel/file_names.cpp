// Calls on file names: delete, attributes, folders and copies; and the error mapping the file calls share.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "file_internal.h"
#include "file_share.h"
#include "win/fileapi.h"

namespace kq {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: case ENXIO: case ENODEV: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: case ELOOP: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC: case EDQUOT: return ERROR_DISK_FULL;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case EBUSY: return ERROR_BUSY;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD MissingNameError(const std::filesystem::path& host) {
  struct stat st;
  const auto parent = host.parent_path();
  return (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool WideNameFromAnsi(LPCSTR name, WString& wide) {
  if (!name) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  wide.clear();
  if (!*name) return true;
  const int units = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
  if (units <= 0) return false;
  std::vector<WCHAR> buffer(static_cast<std::size_t>(units));
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, buffer.data(), units) != units) return false;
  wide.assign(buffer.data(), static_cast<std::size_t>(units - 1));
  return true;
}

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Resolves a name and stats it; 0 or the platform's error for a missing or unreachable name.
DWORD StatName(LPCWSTR name, std::filesystem::path& host, struct stat& st) {
  if (!name) return ERROR_PATH_NOT_FOUND;
  if (const DWORD error = ResolveWindowsPath(name, host)) return error;
  if (::stat(host.c_str(), &st) == 0) return ERROR_SUCCESS;
  const int error = errno;
  return error == ENOENT ? MissingNameError(host) : ErrorFromErrno(error);
}

}  // namespace

}  // namespace kq

BOOL DeleteFileW(LPCWSTR fileName) {
  std::filesystem::path host;
  struct stat st;
  // A symbolic link goes itself, as the platform deletes links, whether or not what it names exists.
  if (fileName && kq::ResolveWindowsPath(fileName, host) == ERROR_SUCCESS && ::lstat(host.c_str(), &st) == 0 &&
      S_ISLNK(st.st_mode)) {
    if (::unlink(host.c_str()) != 0) return kq::Fail(kq::ErrorFromErrno(errno));
    return TRUE;
  }
  if (const DWORD error = kq::StatName(fileName, host, st)) return kq::Fail(error);
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)) return kq::Fail(ERROR_ACCESS_DENIED);
  auto& table = *kq::CurrentMachine().Service<kq::ShareTableService>().table;
  if (!table.SharesDelete({st.st_dev, st.st_ino})) return kq::Fail(ERROR_SHARING_VIOLATION);
  if (::unlink(host.c_str()) != 0) return kq::Fail(kq::ErrorFromErrno(errno));
  return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
  kq::WString wide;
  if (!kq::WideNameFromAnsi(fileName, wide)) return FALSE;
  return DeleteFileW(wide.c_str());
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
  std::filesystem::path host;
  struct stat st;
  if (const DWORD error = kq::StatName(fileName, host, st)) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  if (!S_ISREG(st.st_mode)) return FILE_ATTRIBUTE_DEVICE;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if ((st.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
  kq::WString wide;
  if (!kq::WideNameFromAnsi(fileName, wide)) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(wide.c_str());
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  if (!pathName) return kq::Fail(ERROR_PATH_NOT_FOUND);
  std::filesystem::path host;
  if (const DWORD error = kq::ResolveWindowsPath(pathName, host)) return kq::Fail(error);
  if (::mkdir(host.c_str(), 0777) == 0) return TRUE;
  const int error = errno;
  if (error == EEXIST) return kq::Fail(ERROR_ALREADY_EXISTS);
  if (error == ENOENT) return kq::Fail(ERROR_PATH_NOT_FOUND);
  return kq::Fail(kq::ErrorFromErrno(error));
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES security) {
  kq::WString wide;
  if (!kq::WideNameFromAnsi(pathName, wide)) return FALSE;
  return CreateDirectoryW(wide.c_str(), security);
}

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  HANDLE source = CreateFileW(existingFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (source == INVALID_HANDLE_VALUE) return FALSE;
  HANDLE target =
      CreateFileW(newFileName, GENERIC_WRITE, 0, nullptr, failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    CloseHandle(source);
    return kq::Fail(error);
  }
  std::vector<char> buffer(1 << 16);
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      error = GetLastError();
      break;
    }
    if (got == 0) break;
    if (!WriteFile(target, buffer.data(), got, &put, nullptr)) {
      error = GetLastError();
      break;
    }
  }
  CloseHandle(source);
  CloseHandle(target);
  if (error) {
    DeleteFileW(newFileName);
    return kq::Fail(error);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
  kq::WString from, to;
  if (!kq::WideNameFromAnsi(existingFileName, from) || !kq::WideNameFromAnsi(newFileName, to)) return FALSE;
  return CopyFileW(from.c_str(), to.c_str(), failIfExists);
}
