// The shell's ShellExecute. The "open" verb hands a document or an address to the handler that the environment
// names (KQ_OPEN_HANDLER, for example "xdg-open"); without one, and for every other verb, the call is only
// recorded. Every call goes into the machine's shell journal.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"
#include "win/machine.h"

// ShellExecute's failures; any answer above 32 is a success.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int SE_ERR_NOASSOC = 31;
// The last error of a call that found no handler.
inline constexpr DWORD ERROR_NO_ASSOCIATION = 1155;

HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show);
// The same with texts in the ANSI code page.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);

namespace kq {

// One ShellExecute call as the machine's shell saw it.
struct ShellCall {
  std::string function;  // "ShellExecuteW" or "ShellExecuteA"
  WString verb;          // as given; empty for the default verb, which is "open"
  WString file;
  WString parameters;
  WString directory;
  INT show = 0;
  std::string target;  // what a handler is given: the host path of a file, or an address unchanged
  pid_t handler = 0;   // the handler's process, 0 when none was started
  INT_PTR result = 0;  // what the call answered
};

// The machine's shell: its open handler and the journal of its calls.
class MachineShell {
 public:
  // The handler is KQ_OPEN_HANDLER of the environment, when set and not empty.
  explicit MachineShell(Machine& machine);
  ~MachineShell();
  MachineShell(const MachineShell&) = delete;
  MachineShell& operator=(const MachineShell&) = delete;

  // A program (a path, or a name looked up in PATH) that is run with the target as its one argument.
  std::optional<std::string> OpenHandler() const;
  void SetOpenHandler(std::optional<std::string> program);

  std::vector<ShellCall> Calls() const;
  void ClearCalls();

  // Carries out a call whose request fields (function to show) are filled in, records it and returns its answer.
  INT_PTR Execute(ShellCall call);

 private:
  // Runs the handler on a target without waiting for it; 0 when it could not be started.
  pid_t StartHandler(const std::string& program, const std::string& target);
  void ReapFinished();

  Machine& machine_;
  mutable std::mutex mutex_;
  std::optional<std::string> handler_;
  std::vector<ShellCall> calls_;
  std::vector<pid_t> running_;
};

}  // namespace kq
