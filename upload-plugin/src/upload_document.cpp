// The upload worker: it runs the transfer tool found beside the plug-in, reads what the tool writes on both of its
// output pipes at once, and opens the service's result page or its error page.
#include <memory>

#include "plugin_state.h"
#include "sarnoth/service.h"
#include "upload_request.h"
#include "win/fileapi.h"
#include "win/namedpipeapi.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"
#include "win/sysinfoapi.h"
#include "win/user.h"

namespace sarnoth {

namespace {

constexpr DWORD kChunk = 300;

// The tool's path: the plug-in's own folder, then "curl\curl.exe".
std::optional<std::string> ToolPath() {
  char module[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(State().module, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return ToolPathBeside(std::string_view(module, length));
}

// Everything a read end gives until the tool has closed it; each chunk counts up to its first zero byte.
std::string ReadToEnd(HANDLE pipe) {
  std::string text;
  char chunk[kChunk];
  DWORD got = 0;
  while (ReadFile(pipe, chunk, kChunk, &got, nullptr) && got > 0) {
    std::size_t n = 0;
    while (n < got && chunk[n] != '\0') ++n;
    text.append(chunk, n);
  }
  return text;
}

struct Drain {
  HANDLE pipe;
  std::string text;
};

DWORD DrainThread(LPVOID parameter) {
  auto* drain = static_cast<Drain*>(parameter);
  drain->text = ReadToEnd(drain->pipe);
  return 0;
}

// An anonymous pipe whose write end the tool inherits and whose read end stays in this process.
DWORD MakeOutputPipe(HANDLE& read, HANDLE& write) {
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inheritableRead = nullptr;
  if (!CreatePipe(&inheritableRead, &write, &attributes, 0)) return GetLastError();
  if (!DuplicateHandle(GetCurrentProcess(), inheritableRead, GetCurrentProcess(), &read, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    const DWORD error = GetLastError();
    CloseHandle(inheritableRead);
    CloseHandle(write);
    write = nullptr;
    return error;
  }
  CloseHandle(inheritableRead);
  return ERROR_SUCCESS;
}

// Closes the handles it holds when it goes.
struct Handles {
  HANDLE items[6] = {};
  ~Handles() {
    for (HANDLE h : items)
      if (h) CloseHandle(h);
  }
};

}  // namespace

DWORD UploadDocument(const std::string& path, const std::string& displayName, const std::string& resultPage) {
  auto& state = State();
  const auto tool = ToolPath();
  if (!tool) return ERROR_FILE_NOT_FOUND;
  const auto line = ToolCommandLine(*tool, path, displayName, ServiceAddress(true, "/uploadfromdesktop.asp"));
  if (!line) return ERROR_FILENAME_EXCED_RANGE;

  Handles handles;
  HANDLE& outRead = handles.items[0];
  HANDLE& outWrite = handles.items[1];
  HANDLE& errRead = handles.items[2];
  HANDLE& errWrite = handles.items[3];
  if (const DWORD error = MakeOutputPipe(outRead, outWrite)) return error;
  if (const DWORD error = MakeOutputPipe(errRead, errWrite)) return error;

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION started{};
  std::string commandLine = *line;
  if (!CreateProcessA(tool->c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &started))
    return GetLastError();
  handles.items[4] = started.hProcess;
  handles.items[5] = started.hThread;
  {
    std::lock_guard lock(state.toolMutex);
    state.toolProcess = started.hProcess;
    if (state.cancelled) TerminateProcess(started.hProcess, 1);
  }

  state.windowDone = false;
  HANDLE window = CreateThread(nullptr, 0, &UploadingWindowThread, nullptr, 0, nullptr);
  if (window) {
    HANDLE own = nullptr;
    DuplicateHandle(GetCurrentProcess(), window, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
    if (HANDLE previous = state.windowThread.exchange(window)) CloseHandle(previous);
    window = own;
  }
  // Whatever happens below, the window goes before the worker does.
  struct WindowCloser {
    HANDLE window;
    ~WindowCloser() {
      State().windowDone = true;
      if (window) {
        WaitForSingleObject(window, INFINITE);
        CloseHandle(window);
      }
    }
  } closer{window};
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  outWrite = errWrite = nullptr;

  // Standard error is read on a thread of its own, so the tool never waits on a full pipe.
  Drain errors{errRead, {}};
  HANDLE drainer = CreateThread(nullptr, 0, &DrainThread, &errors, 0, nullptr);
  const std::string answer = ReadToEnd(outRead);
  if (drainer) {
    WaitForSingleObject(drainer, INFINITE);
    CloseHandle(drainer);
  } else {
    errors.text = ReadToEnd(errRead);
  }

  bool cancelled = false;
  {
    std::lock_guard lock(state.toolMutex);
    cancelled = state.cancelled;
    state.toolProcess = nullptr;
  }
  if (cancelled) return ERROR_SUCCESS;
  if (auto address = ResultAddress(resultPage, answer, displayName)) {
    OpenAddress(*address);
  } else {
    // No answer, or one that is no file name: the error page, with the tool's number when it gave one.
    OpenAddress(ErrorAddress(ToolErrorCode(errors.text).value_or(0)));
  }
  return ERROR_SUCCESS;
}

DWORD UploadThread(LPVOID parameter) {
  std::unique_ptr<UploadRequest> request(static_cast<UploadRequest*>(parameter));
  UploadDocument(request->path, request->displayName, request->resultPage);
  State().busy = false;
  return 1;
}

void CancelUpload() {
  auto& state = State();
  std::lock_guard lock(state.toolMutex);
  state.cancelled = true;
  if (state.toolProcess) TerminateProcess(state.toolProcess, 1);
}

}  // namespace sarnoth
