// Shared memory: file mappings backed by the paging file, and the views of them that a process maps.
//
// A named mapping lives in the object name space of the calling thread's machine: processes on one state root share
// it, two state roots never see each other's. The name space is the user's alone (win/private_objects.h): another
// user's mapping, or one others could write, is never opened or handed back, and no name is kept from the user by
// another. A state root whose name space belongs to another user fails every named call with ERROR_ACCESS_DENIED.
// Names are compared exactly. A mapping lives until the last handle to
// it and the last view of it are gone, in whichever process they were; one left by a process that died is not found
// again. Mappings of files are not offered.
#pragma once

#include "win/base.h"

inline constexpr DWORD PAGE_READONLY = 0x02;
inline constexpr DWORD PAGE_READWRITE = 0x04;

inline constexpr DWORD FILE_MAP_WRITE = 0x0002;
inline constexpr DWORD FILE_MAP_READ = 0x0004;
inline constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

inline constexpr DWORD MEM_COMMIT = 0x1000;
inline constexpr DWORD MEM_MAPPED = 0x40000;

struct MEMORY_BASIC_INFORMATION {
  PVOID BaseAddress;
  PVOID AllocationBase;
  DWORD AllocationProtect;
  WORD PartitionId;
  SIZE_T RegionSize;
  DWORD State;
  DWORD Protect;
  DWORD Type;
};
using PMEMORY_BASIC_INFORMATION = MEMORY_BASIC_INFORMATION*;
static_assert(sizeof(MEMORY_BASIC_INFORMATION) == 48);

// `file` must be INVALID_HANDLE_VALUE (the paging file; anything else fails with ERROR_NOT_SUPPORTED); `protect` is
// PAGE_READONLY or PAGE_READWRITE; the size (high and low halves) is not 0 (ERROR_INVALID_PARAMETER otherwise).
// Without a name the mapping is the caller's alone. A name that already exists gives a handle to that mapping,
// whatever its size, with the last error ERROR_ALREADY_EXISTS; a new mapping sets it to 0. A name too long for
// the name space fails with ERROR_FILENAME_EXCED_RANGE.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
// A handle to an existing named mapping with the access asked for (FILE_MAP_READ, FILE_MAP_WRITE or both, or
// FILE_MAP_ALL_ACCESS); ERROR_FILE_NOT_FOUND when there is none, ERROR_ACCESS_DENIED for write access to a
// read-only mapping. Handles are never inherited.
HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
// Maps `bytes` of the mapping from the offset (a multiple of 65536; ERROR_MAPPED_ALIGNMENT otherwise); 0 bytes
// maps the rest of it. Write access needs a handle with write access (ERROR_ACCESS_DENIED); a view past the
// mapping's end fails with ERROR_ACCESS_DENIED. The view keeps the mapping alive after its handle is closed.
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow, SIZE_T bytes);
// The address must be a view's base (ERROR_INVALID_ADDRESS otherwise).
BOOL UnmapViewOfFile(LPCVOID baseAddress);
// Describes the pages of the mapped view that holds `address`, from its page to the view's end (whole pages):
// MEM_COMMIT, MEM_MAPPED, the view's protection. Only mapped views are known: any other address gives 0 with
// ERROR_INVALID_PARAMETER, as does a record shorter than MEMORY_BASIC_INFORMATION.
SIZE_T VirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION buffer, SIZE_T length);
