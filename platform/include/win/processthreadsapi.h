// Threads. A thread started with CreateThread runs on the machine its creator is bound to and starts with a last
// error of 0; its handle is signalled when it has ended, after the platform has released what the thread held
// (its windows and message queue, for instance).
#pragma once

#include <functional>

#include "win/base.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
using PTHREAD_START_ROUTINE = LPTHREAD_START_ROUTINE;

inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr DWORD CREATE_SUSPENDED = 0x4;
inline constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x10000;

// The security attributes and the stack size are accepted and not used. Flags other than
// STACK_SIZE_PARAM_IS_A_RESERVATION fail with ERROR_INVALID_PARAMETER (suspended starts are not offered).
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
// STILL_ACTIVE while the thread runs, then the value its start routine returned.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();

namespace kq {

class Machine;

// Platform threads of a machine that have not yet ended; for tests that check no thread is left behind.
long RunningThreadCount(Machine& machine);

// Runs `hook` when the calling thread ends (hooks run last-registered first): for a thread of CreateThread before
// its handle is signalled, for any other thread when it exits. Rooms that keep per-thread state release it here.
void AtThreadExit(std::function<void()> hook);

}  // namespace kq
