// Processes: CreateProcessW runs a host program found through the machine's drive table, a thread of ours waits
// for it, and its process and thread objects are signalled when it ends.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "pipe_object.h"
#include "process_object.h"
#include "thread_object.h"
#include "win/machine.h"
#include "win/paths.h"
#include "win/sysinfoapi.h"

extern char** environ;

namespace kq {

namespace {

bool IsBlank(WCHAR c) { return c == u' ' || c == u'\t'; }
bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// A name with no folder and no drive, which is looked for in the search folders.
bool IsBareName(WStringView name) {
  for (WCHAR c : name)
    if (IsSeparator(c) || c == u':') return false;
  return true;
}

bool HasExtension(WStringView name) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (IsSeparator(name[i]) || name[i] == u':') start = i + 1;
  return name.substr(start).find(u'.') != WStringView::npos;
}

// The host file of a program's Windows path, or the error that says why there is none.
std::optional<std::filesystem::path> LocateProgram(WStringView windowsPath, DWORD& error) {
  DWORD pathError = ERROR_SUCCESS;
  auto host = HostPathFromWindows(windowsPath, &pathError);
  if (!host) {
    error = pathError != ERROR_SUCCESS ? pathError : ERROR_PATH_NOT_FOUND;
    return std::nullopt;
  }
  std::error_code ec;
  const auto status = std::filesystem::status(*host, ec);
  if (status.type() == std::filesystem::file_type::not_found || ec) {
    error = ERROR_FILE_NOT_FOUND;
    return std::nullopt;
  }
  if (status.type() == std::filesystem::file_type::directory) {
    error = ERROR_ACCESS_DENIED;
    return std::nullopt;
  }
  return host;
}

// The folders a bare program name is looked for in, in order.
std::vector<WString> SearchFolders() {
  std::vector<WString> folders;
  WString self(MAX_PATH, u'\0');
  const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (length > 0 && length < self.size()) {
    self.resize(length);
    const auto cut = self.find_last_of(u"\\/");
    if (cut != WString::npos) folders.push_back(self.substr(0, cut));
  }
  folders.push_back(u".");
  folders.push_back(u"C:\\Windows\\System32");
  folders.push_back(u"C:\\Windows");
  return folders;
}

std::optional<std::filesystem::path> LocateCandidate(WString name, bool addExtension, DWORD& error) {
  if (addExtension && !HasExtension(name)) name += u".exe";
  if (!IsBareName(name)) return LocateProgram(name, error);
  error = ERROR_FILE_NOT_FOUND;
  for (const auto& folder : SearchFolders()) {
    DWORD ignored = ERROR_SUCCESS;
    if (auto found = LocateProgram(folder + u"\\" + name, ignored)) return found;
  }
  return std::nullopt;
}

// The program a command line names when no application name is given: a quoted first token, or the shortest run
// of unquoted words that names a program.
std::optional<std::filesystem::path> ProgramOfCommandLine(WStringView line, DWORD& error) {
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  line.remove_prefix(start);
  if (line.empty()) {
    error = ERROR_FILE_NOT_FOUND;
    return std::nullopt;
  }
  if (line[0] == u'"') {
    const auto close = line.find(u'"', 1);
    return LocateCandidate(WString(line.substr(1, close == WStringView::npos ? WStringView::npos : close - 1)),
                           true, error);
  }
  std::optional<DWORD> firstError;
  std::size_t end = 0;
  while (end < line.size()) {
    while (end < line.size() && !IsBlank(line[end])) ++end;
    DWORD candidateError = ERROR_SUCCESS;
    if (auto found = LocateCandidate(WString(line.substr(0, end)), true, candidateError)) return found;
    if (!firstError) firstError = candidateError;
    while (end < line.size() && IsBlank(line[end])) ++end;
  }
  error = firstError.value_or(ERROR_FILE_NOT_FOUND);
  return std::nullopt;
}

DWORD ErrorOfSpawn(int code) {
  switch (code) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD ExitCodeOfStatus(int status) {
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<DWORD>(WTERMSIG(status));
  return ERROR_GEN_FAILURE;
}

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Starts the program; the process id, or 0 with the platform's error code. Standard streams, when given, are
// the program's input, output and error in that order.
pid_t Spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const std::optional<std::filesystem::path>& folder, const std::vector<StandardStream>& streams,
            DWORD& error) {
  std::vector<std::string> storage(arguments);
  std::vector<char*> argv;
  for (auto& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);
  SpawnActions actions;
  if (folder && posix_spawn_file_actions_addchdir_np(actions.Get(), folder->c_str()) != 0) {
    error = ERROR_NOT_ENOUGH_MEMORY;
    return 0;
  }
  for (std::size_t target = 0; target < streams.size(); ++target) {
    const int fd = static_cast<int>(target);
    const int code = streams[target].descriptor >= 0
                         ? posix_spawn_file_actions_adddup2(actions.Get(), streams[target].descriptor, fd)
                         : posix_spawn_file_actions_addopen(actions.Get(), fd, "/dev/null",
                                                            fd == 0 ? O_RDONLY : O_WRONLY, 0);
    if (code != 0) {
      error = ERROR_NOT_ENOUGH_MEMORY;
      return 0;
    }
  }
  // The program runs on its starter's machine: it finds the same state root, whatever the environment says.
  std::vector<std::string> variables;
  for (char** variable = environ; *variable; ++variable)
    if (std::string_view(*variable).substr(0, 8) != "KQ_ROOT=") variables.emplace_back(*variable);
  variables.push_back("KQ_ROOT=" + CurrentMachine().Root().string());
  std::vector<char*> envp;
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int code = posix_spawn(&pid, program.c_str(), actions.Get(), nullptr, argv.data(), envp.data());
  if (code != 0) {
    error = ErrorOfSpawn(code);
    return 0;
  }
  return pid;
}

// Reaps the process when it ends and signals its objects. False when no thread could be had to wait.
bool WatchProcess(pid_t pid, std::shared_ptr<ProcessObject> process, std::shared_ptr<ThreadObject> thread) {
  try {
    std::thread([pid, process = std::move(process), thread = std::move(thread)] {
      // The program is seen to end before it is reaped, so TerminateProcess never signals a reused id.
      siginfo_t info{};
      while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
      }
      process->Ended();
      int status = 0;
      pid_t done = -1;
      do {
        done = waitpid(pid, &status, 0);
      } while (done < 0 && errno == EINTR);
      const DWORD code = done == pid ? ExitCodeOfStatus(status) : ERROR_GEN_FAILURE;
      thread->Finish(code);
      process->Finish(code);
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

BOOL Fail(ProcessStart start, DWORD error) {
  start.error = error;
  CurrentMachine().Service<MachineProcesses>().Record(std::move(start));
  SetLastError(error);
  return FALSE;
}

}  // namespace

std::vector<ProcessStart> MachineProcesses::Starts() const {
  std::lock_guard lock(mutex_);
  return starts_;
}

void MachineProcesses::ClearStarts() {
  std::lock_guard lock(mutex_);
  starts_.clear();
}

void MachineProcesses::SetStartObserver(std::function<void(const ProcessStart&)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void MachineProcesses::Record(ProcessStart start) {
  std::function<void(const ProcessStart&)> observer;
  {
    std::lock_guard lock(mutex_);
    starts_.push_back(start);
    observer = observer_;
  }
  if (observer) observer(start);
}

}  // namespace kq

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                    LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation) {
  kq::ProcessStart start;
  if (applicationName) start.applicationName = applicationName;
  if (commandLine) start.commandLine = commandLine;
  start.creationFlags = creationFlags;
  if ((!applicationName && !commandLine) || (creationFlags & CREATE_SUSPENDED) || !startupInfo ||
      !processInformation)
    return kq::Fail(std::move(start), ERROR_INVALID_PARAMETER);
  if (environment) return kq::Fail(std::move(start), ERROR_NOT_SUPPORTED);

  DWORD error = ERROR_SUCCESS;
  const auto program = applicationName ? kq::LocateProgram(start.applicationName, error)
                                       : kq::ProgramOfCommandLine(start.commandLine, error);
  if (!program) return kq::Fail(std::move(start), error);
  start.program = program->string();

  std::optional<std::filesystem::path> folder;
  if (currentDirectory) {
    DWORD folderError = ERROR_SUCCESS;
    folder = kq::HostPathFromWindows(currentDirectory, &folderError);
    std::error_code ec;
    if (!folder || !std::filesystem::is_directory(*folder, ec)) return kq::Fail(std::move(start), ERROR_DIRECTORY);
  }

  for (const auto& argument : kq::SplitCommandLine(commandLine ? start.commandLine : start.applicationName))
    start.arguments.push_back(kq::Utf8FromWide(argument));

  std::vector<kq::StandardStream> streams;
  if (startupInfo->dwFlags & STARTF_USESTDHANDLES) {
    for (HANDLE handle : {startupInfo->hStdInput, startupInfo->hStdOutput, startupInfo->hStdError}) {
      kq::StandardStream stream;
      if (const DWORD streamError = kq::StandardStreamOf(handle, inheritHandles != FALSE, stream))
        return kq::Fail(std::move(start), streamError);
      streams.push_back(std::move(stream));
    }
  }

  const pid_t pid = kq::Spawn(*program, start.arguments, folder, streams, error);
  if (pid == 0) return kq::Fail(std::move(start), error);

  auto process = std::make_shared<kq::ProcessObject>(pid);
  auto thread = std::make_shared<kq::ThreadObject>();
  if (!kq::WatchProcess(pid, process, thread)) {
    // Without a watcher nobody would reap the program or signal its handles: it is not left running.
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return kq::Fail(std::move(start), ERROR_NOT_ENOUGH_MEMORY);
  }
  processInformation->hProcess = kq::InsertHandle(process);
  processInformation->hThread = kq::InsertHandle(thread);
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);
  start.processId = static_cast<DWORD>(pid);
  kq::CurrentMachine().Service<kq::MachineProcesses>().Record(std::move(start));
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  auto object = kq::ObjectFromHandle<kq::ProcessObject>(process);
  if (!object) return FALSE;
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = object->exitCode.load();
  return TRUE;
}

void GetStartupInfoW(LPSTARTUPINFOW startupInfo) {
  if (!startupInfo) return;
  *startupInfo = STARTUPINFOW{};
  startupInfo->cb = sizeof(STARTUPINFOW);
}
