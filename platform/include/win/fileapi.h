// Files: CreateFileW with the platform's create dispositions, access rights and share modes, reading, writing,
// seeking and sizes, and the few calls on names (delete, attributes, folders, copies). Paths are Windows paths
// resolved through the machine's drive table (win/paths.h). File handles live in the handle table and are closed
// with CloseHandle (win/handleapi.h).
#pragma once

#include "win/base.h"
#include "win/handleapi.h"
#include "win/minwinbase.h"

// ---- Access rights ----
inline constexpr DWORD FILE_READ_DATA = 0x0001;
inline constexpr DWORD FILE_WRITE_DATA = 0x0002;
inline constexpr DWORD FILE_APPEND_DATA = 0x0004;
inline constexpr DWORD FILE_READ_EA = 0x0008;
inline constexpr DWORD FILE_WRITE_EA = 0x0010;
inline constexpr DWORD FILE_EXECUTE = 0x0020;
inline constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
inline constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;
inline constexpr DWORD DELETE = 0x00010000;
inline constexpr DWORD READ_CONTROL = 0x00020000;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD GENERIC_ALL = 0x10000000;
inline constexpr DWORD GENERIC_EXECUTE = 0x20000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD GENERIC_READ = 0x80000000;

// ---- Share modes ----
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;

// ---- Create dispositions ----
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

// ---- Attributes and flags ----
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_DEVICE = 0x40;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
inline constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;

// ---- Seeking and sizes ----
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// Opens or creates a file. Flags and attributes other than the access, share and disposition arguments are accepted
// and not acted on; a template file is not supported. A directory cannot be opened (ERROR_ACCESS_DENIED). Opening
// never waits: a FIFO without a reader is not opened for writing (ERROR_FILE_NOT_FOUND, as a pipe without its
// server). Success leaves ERROR_ALREADY_EXISTS as the last error when CREATE_ALWAYS or OPEN_ALWAYS found the file, 0
// otherwise.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// The name in the machine's ANSI code page.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Synchronous I/O only: an overlapped record is refused with ERROR_NOT_SUPPORTED. Reading at the end of a file
// succeeds with 0 bytes. A failed write leaves the count of the bytes that did reach the file.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
BOOL FlushFileBuffers(HANDLE file);

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distanceToMove, PLARGE_INTEGER newFilePointer, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize);

// Fails with ERROR_SHARING_VIOLATION while the file is open without FILE_SHARE_DELETE.
BOOL DeleteFileW(LPCWSTR fileName);
BOOL DeleteFileA(LPCSTR fileName);
// FILE_ATTRIBUTE_DIRECTORY for a folder, FILE_ATTRIBUTE_DEVICE for what is neither a folder nor a file (a FIFO, a
// device, a socket), else FILE_ATTRIBUTE_ARCHIVE with FILE_ATTRIBUTE_READONLY when it cannot be written.
DWORD GetFileAttributesW(LPCWSTR fileName);
DWORD GetFileAttributesA(LPCSTR fileName);
// Creates one folder; its parent must exist. An existing name fails with ERROR_ALREADY_EXISTS.
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES security);
// Copies the bytes of a file; with failIfExists an existing target fails with ERROR_FILE_EXISTS. A copy that
// fails part-way leaves no target behind.
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists);

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;
// Renames a file in one step: a reader of the new name sees the old file or the moved one, never a part. An
// existing target is replaced only with MOVEFILE_REPLACE_EXISTING (else ERROR_ALREADY_EXISTS); a folder is never
// a target (ERROR_ACCESS_DENIED). The file and a replaced target must not be open without FILE_SHARE_DELETE
// (ERROR_SHARING_VIOLATION). Moves between devices are not supported (ERROR_NOT_SAME_DEVICE).
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);

namespace kq {

// What ReadFile, WriteFile and FlushFileBuffers act on: files, and the kernel's other byte streams. Each operation
// returns 0 or the platform's error code and sets `done` to the bytes moved.
class IoObject : public KernelObject {
 public:
  virtual DWORD Read(void* buffer, DWORD size, DWORD& done) = 0;
  virtual DWORD Write(const void* buffer, DWORD size, DWORD& done) = 0;
  virtual DWORD Flush() = 0;
};

}  // namespace kq
