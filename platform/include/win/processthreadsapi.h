// Threads and processes. A thread started with CreateThread runs on the machine its creator is bound to and starts
// with a last error of 0; its handle is signalled when it has ended, after the platform has released what the
// thread held (its windows and message queue, for instance). A process started with CreateProcessW is a host
// program; its process and thread handles are signalled when it has ended.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

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

struct STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;
static_assert(sizeof(STARTUPINFOW) == 104);

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;
static_assert(sizeof(PROCESS_INFORMATION) == 24);

// Starts a host program, not waiting for it. The program is `applicationName` (a Windows path, taken as it
// stands: no extension is added, no folder searched) or, without one, the first token of `commandLine` (up to a
// closing quote, or to white space, trying each longer run of unquoted words in turn as the platform does),
// with ".exe" added when the name has none and, for a bare name, looked for in the calling program's folder, the
// current folder, C:\Windows\System32 and C:\Windows. The program receives the command line split by the
// platform's rules (kq::SplitCommandLine) as its arguments; without a command line, the application name is
// the command line. The command line is the caller's writable buffer; it is not changed. A current folder, when
// given, is a Windows path. With STARTF_USESTDHANDLES the start-up record's standard handles become the
// program's standard input, output and error: pipe ends (win/namedpipeapi.h) that are inheritable and passed with
// `inheritHandles`; a null handle, or one that is not inherited, gives the program an empty input or a discarded
// output; a handle that is not open fails with ERROR_INVALID_HANDLE, one of another kind with
// ERROR_NOT_SUPPORTED. Without STARTF_USESTDHANDLES the program shares this process's standard streams. No other
// handle is inherited; the environment is this process's, with KQ_ROOT naming the calling thread's machine, so
// the program runs on the same machine. Failures: both names null, CREATE_SUSPENDED, a null start-up or result record
// ERROR_INVALID_PARAMETER; an environment block ERROR_NOT_SUPPORTED; a program that does not exist
// ERROR_FILE_NOT_FOUND; a path on no drive of the machine ERROR_PATH_NOT_FOUND (or ERROR_INVALID_NAME); a folder
// or a file that may not be run ERROR_ACCESS_DENIED; a file that is no program ERROR_BAD_EXE_FORMAT; a current
// folder that is none ERROR_DIRECTORY. Every call goes into the machine's process journal. The process and thread
// ids are the host process's id.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// ---- Narrow starts, standard handles and ending processes ----
inline constexpr DWORD CREATE_NEW_CONSOLE = 0x10;
inline constexpr DWORD CREATE_NO_WINDOW = 0x08000000;
inline constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
inline constexpr DWORD STARTF_USESTDHANDLES = 0x100;

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;
static_assert(sizeof(STARTUPINFOA) == 104);

// CreateProcessW with the names, the command line and the current folder in the machine's ANSI code page.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// Ends the process at once (the host program is killed) and makes `exitCode` its exit code. A process that has
// already ended fails with ERROR_ACCESS_DENIED, as on the platform; a handle that is no process
// ERROR_INVALID_HANDLE.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
// The pseudo handle of the calling process (for DuplicateHandle).
HANDLE GetCurrentProcess();

// STILL_ACTIVE while the process runs, then its exit status (128 + the signal's number when a signal ended it).
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// The process's start-up record: cb set, every other field empty (nothing was handed to this process).
void GetStartupInfoW(LPSTARTUPINFOW startupInfo);
void GetStartupInfoA(LPSTARTUPINFOA startupInfo);

namespace kq {

class Machine;

// The arguments a program receives for a command line, by the platform's rules: the program's name is the first
// token, up to a closing quote or to white space, taken as it stands; then arguments are separated by spaces and
// tabs, a quote starts or ends a quoted part, two quotes inside a quoted part stand for one quote, 2n backslashes
// before a quote stand for n backslashes, 2n + 1 for n backslashes and a quote, and other backslashes stand for
// themselves.
std::vector<WString> SplitCommandLine(WStringView commandLine);

// One CreateProcessW call as the machine saw it.
struct ProcessStart {
  WString applicationName;             // as given; empty for none
  WString commandLine;                 // as given; empty for none
  std::string program;                 // the host program run; empty when none was found
  std::vector<std::string> arguments;  // what the program received, in UTF-8, its name first
  DWORD creationFlags = 0;             // as given
  DWORD processId = 0;                 // 0 when nothing started
  DWORD error = ERROR_SUCCESS;         // the call's last error when it failed
};

// The machine's journal of process starts.
class MachineProcesses {
 public:
  explicit MachineProcesses(Machine&) {}

  std::vector<ProcessStart> Starts() const;
  void ClearStarts();
  // Called on the starting thread for every call, once the journal holds it, before CreateProcessW returns: a
  // test can look at the machine as it stood when the program started.
  void SetStartObserver(std::function<void(const ProcessStart&)> observer);

  void Record(ProcessStart start);

 private:
  mutable std::mutex mutex_;
  std::vector<ProcessStart> starts_;
  std::function<void(const ProcessStart&)> observer_;
};

// Platform threads of a machine that have not yet ended; for tests that check no thread is left behind.
long RunningThreadCount(Machine& machine);

// Runs `hook` when the calling thread ends (hooks run last-registered first): for a thread of CreateThread before
// its handle is signalled, for any other thread when it exits. Rooms that keep per-thread state release it here.
void AtThreadExit(std::function<void()> hook);

}  // namespace kq
