// Anonymous pipes: a read end and a write end, used to hand a started program's standard output and error back to
// its starter (CreateProcessW with STARTF_USESTDHANDLES). ReadFile on a read end waits until some bytes are there
// and returns what is there (at most the buffer's size); once every write end is closed, in this process and in
// the programs that received one, it fails with ERROR_BROKEN_PIPE. WriteFile on a write end whose read ends are
// all closed fails with ERROR_NO_DATA.
#pragma once

#include "win/base.h"
#include "win/handleapi.h"

inline constexpr DWORD ERROR_NO_DATA = 232;

// Both ends are inheritable when the attributes say so. The size is a hint and may be 0 (the default).
BOOL CreatePipe(LPHANDLE readPipe, LPHANDLE writePipe, LPSECURITY_ATTRIBUTES attributes, DWORD size);
// What a read end holds without taking it: the byte count waiting (`totalAvailable`), and with a buffer a copy of
// up to `size` of them is not offered (ERROR_NOT_SUPPORTED). A read end whose writers have all gone and which
// holds nothing fails with ERROR_BROKEN_PIPE.
BOOL PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD bytesRead, LPDWORD totalAvailable,
                   LPDWORD bytesLeftThisMessage);
