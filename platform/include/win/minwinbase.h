// Small records that several kernel calls share: the overlapped-I/O record and the 64-bit integer union.
#pragma once

#include "win/base.h"

// The offset pair stands where the platform's record has a union with a pointer; nothing here uses the pointer.
struct OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

union LARGE_INTEGER {
  __extension__ struct {
    DWORD LowPart;
    LONG HighPart;
  };
  LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

static_assert(sizeof(OVERLAPPED) == 32);
static_assert(sizeof(LARGE_INTEGER) == 8);
