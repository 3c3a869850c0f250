#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "win/paths.h"
#include "win/shellapi.h"

extern char** environ;

namespace kq {

namespace {

constexpr INT_PTR kSuccess = 42;

bool IsOpenVerb(WStringView verb) { return verb.empty() || EqualsIgnoreAsciiCase(verb, u"open"); }

// An address ("https://...", "mailto:...") has a scheme of two or more characters; one letter is a drive.
bool IsAddress(WStringView target) {
  const auto colon = target.find(u':');
  if (colon == WStringView::npos || colon < 2) return false;
  auto isAlpha = [](WCHAR c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  if (!isAlpha(target[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const WCHAR c = target[i];
    if (!isAlpha(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') return false;
  }
  return true;
}

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool IsAbsolute(WStringView path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  return path.size() >= 2 && path[1] == u':';
}

// The host path of a Windows path: Z: is the host's root, C: the machine's drive_c; a path with no drive is a
// host path already. Nothing for a drive the machine does not have.
WString WideOrEmpty(LPCWSTR text) { return text ? WString(text) : WString(); }

WString WideFromAnsi(LPCSTR text) {
  if (!text || !*text) return {};
  const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (count <= 0) return {};
  WString wide(static_cast<std::size_t>(count), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count);
  wide.resize(static_cast<std::size_t>(count - 1));
  return wide;
}

HINSTANCE Answer(INT_PTR result) {
  if (result == SE_ERR_NOASSOC) {
    SetLastError(ERROR_NO_ASSOCIATION);
  } else if (result <= 32) {
    SetLastError(static_cast<DWORD>(result));  // the low answers are the matching error codes
  }
  return reinterpret_cast<HINSTANCE>(result);
}

}  // namespace

MachineShell::MachineShell(Machine& machine) : machine_(machine) {
  if (const char* handler = std::getenv("KQ_OPEN_HANDLER"); handler && *handler) handler_ = handler;
}

MachineShell::~MachineShell() { ReapFinished(); }

std::optional<std::string> MachineShell::OpenHandler() const {
  std::lock_guard lock(mutex_);
  return handler_;
}

void MachineShell::SetOpenHandler(std::optional<std::string> program) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(program);
}

std::vector<ShellCall> MachineShell::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void MachineShell::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

INT_PTR MachineShell::Execute(ShellCall call) {
  ReapFinished();
  const auto finish = [&](INT_PTR result) {
    call.result = result;
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
    return result;
  };

  if (call.file.empty()) return finish(SE_ERR_FNF);
  if (IsAddress(call.file)) {
    call.target = Utf8FromWide(call.file);
  } else {
    WString windowsPath = call.file;
    if (!IsAbsolute(windowsPath) && !call.directory.empty()) {
      windowsPath = call.directory;
      if (!IsSeparator(windowsPath.back())) windowsPath += u'\\';
      windowsPath += call.file;
    }
    const auto host = HostPathFromWindows(windowsPath);
    if (!host) return finish(SE_ERR_PNF);
    call.target = host->string();
    std::error_code ec;
    if (!std::filesystem::exists(*host, ec)) {
      return finish(std::filesystem::is_directory(host->parent_path(), ec) ? SE_ERR_FNF : SE_ERR_PNF);
    }
  }

  const auto handler = OpenHandler();
  if (!IsOpenVerb(call.verb) || !handler) return finish(kSuccess);
  call.handler = StartHandler(*handler, call.target);
  return finish(call.handler ? kSuccess : SE_ERR_NOASSOC);
}

pid_t MachineShell::StartHandler(const std::string& program, const std::string& target) {
  std::string argument0 = program;
  std::string argument1 = target;
  char* argv[] = {argument0.data(), argument1.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return 0;
  std::lock_guard lock(mutex_);
  running_.push_back(pid);
  return pid;
}

// Handlers are not waited for, as the shell does not wait for the programs it starts; those that have ended are
// collected here so none is left behind as a zombie.
void MachineShell::ReapFinished() {
  std::lock_guard lock(mutex_);
  std::erase_if(running_, [](pid_t pid) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    return done == pid || (done < 0 && errno == ECHILD);
  });
}

}  // namespace kq

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show) {
  kq::ShellCall call;
  call.function = "ShellExecuteW";
  call.verb = kq::WideOrEmpty(verb);
  call.file = kq::WideOrEmpty(file);
  call.parameters = kq::WideOrEmpty(parameters);
  call.directory = kq::WideOrEmpty(directory);
  call.show = show;
  return kq::Answer(kq::CurrentMachine().Service<kq::MachineShell>().Execute(std::move(call)));
}

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  kq::ShellCall call;
  call.function = "ShellExecuteA";
  call.verb = kq::WideFromAnsi(verb);
  call.file = kq::WideFromAnsi(file);
  call.parameters = kq::WideFromAnsi(parameters);
  call.directory = kq::WideFromAnsi(directory);
  call.show = show;
  return kq::Answer(kq::CurrentMachine().Service<kq::MachineShell>().Execute(std::move(call)));
}
