#include "window_ports.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core.h"
#include "win/machine.h"
#include "win/private_objects.h"
#include "win/processthreadsapi.h"

namespace kq::user {

namespace {

enum Op : std::uint32_t { kFind = 1, kDlgItem, kIsWindow, kSend, kPost };

constexpr std::uint32_t kNoText = 0xFFFFFFFF;
// Texts travel up to this many code units.
constexpr std::size_t kMaxTextUnits = 32767;
constexpr std::size_t kMaxPacket = 64 + 4 * (kMaxTextUnits + 1);

struct Request {
  std::uint32_t op;
  std::uint32_t message;
  std::uint64_t window;
  std::uint64_t wParam;
  std::int64_t lParam;
  std::uint32_t firstUnits;   // kNoText for none
  std::uint32_t secondUnits;  // kNoText for none
};

struct AnswerHeader {
  std::int64_t result;
  std::uint32_t error;
  std::uint32_t textUnits;
};

std::atomic<unsigned> gSerial{0};

// Attempts at a port name before the port is given up: another user may hold names of this user's.
constexpr int kPortNameAttempts = 16;

// Ports are named by the user as well: an abstract socket has no owner or mode, so whoever is at the other end of a
// connection is asked who they are, and only this user's processes are answered or believed.
sockaddr_un Address(const std::string& nameSpace, const std::string& port, socklen_t& length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract: no file, no length limit of paths.
  const std::string name = "kq.desktop." + std::to_string(geteuid()) + "." + nameSpace + "." + port;
  const std::size_t n = std::min(name.size(), sizeof(address.sun_path) - 1);
  std::memcpy(address.sun_path + 1, name.data(), n);
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  return address;
}

void AppendText(std::vector<char>& packet, LPCWSTR text, std::uint32_t units) {
  if (units == kNoText) return;
  const auto* bytes = reinterpret_cast<const char*>(text);
  packet.insert(packet.end(), bytes, bytes + units * sizeof(WCHAR));
}

std::uint32_t UnitsOf(LPCWSTR text) {
  if (!text) return kNoText;
  const std::size_t n = WStringView(text).size();
  return static_cast<std::uint32_t>(n > kMaxTextUnits ? kMaxTextUnits : n);
}

// Whether the process at the other end of a connected socket is this user's.
bool PeerIsThisUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer && peer.uid == geteuid();
}

bool ProcessAlive(const std::string& port) {
  const pid_t pid = static_cast<pid_t>(std::strtol(port.c_str(), nullptr, 10));
  return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH);
}

}  // namespace

struct WindowPorts::Answer {
  LRESULT result = 0;
  DWORD error = 0;
  WString text;
};

WindowPorts::WindowPorts(Machine& machine, const std::shared_ptr<Core>& core)
    : core_(core), folder_(machine.Root() / "desktop"), nameSpace_(machine.NameSpace()) {}

WindowPorts::~WindowPorts() { Close(); }

void WindowPorts::Open() {
  if (listener_ >= 0 || !name_.empty()) return;
  name_ = "-";  // no second try, whatever comes of this one
  const int folder = OpenPrivateFolder(folder_);
  if (folder < 0) return;  // a listing others could write is not used
  listener_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  wake_ = eventfd(0, EFD_CLOEXEC);
  bool bound = false;
  for (int attempt = 0; attempt < kPortNameAttempts && listener_ >= 0 && !bound; ++attempt) {
    name_ = std::to_string(getpid()) + "." + std::to_string(++gSerial);
    socklen_t length = 0;
    const sockaddr_un address = Address(nameSpace_, name_, length);
    bound = bind(listener_, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    if (!bound && errno != EADDRINUSE) break;
  }
  const int listing =
      bound ? openat(folder, name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600) : -1;
  close(folder);
  if (listing >= 0) close(listing);
  if (listing < 0 || wake_ < 0 || listen(listener_, 16) != 0) {
    if (listener_ >= 0) close(listener_);
    if (wake_ >= 0) close(wake_);
    listener_ = wake_ = -1;
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

void WindowPorts::Close() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
  thread_.join();
  close(listener_);
  close(wake_);
  listener_ = wake_ = -1;
  std::error_code ec;
  std::filesystem::remove(folder_ / name_, ec);
}

void WindowPorts::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    if (PeerIsThisUser(client)) Reply(client);
    close(client);
  }
}

void WindowPorts::Reply(int client) {
  std::vector<char> packet(kMaxPacket);
  const ssize_t got = recv(client, packet.data(), packet.size(), 0);
  Request request{};
  if (got < static_cast<ssize_t>(sizeof request)) return;
  std::memcpy(&request, packet.data(), sizeof request);
  const auto units = [](std::uint32_t n) { return n == kNoText ? 0 : static_cast<std::size_t>(n); };
  if (units(request.firstUnits) > kMaxTextUnits || units(request.secondUnits) > kMaxTextUnits ||
      static_cast<std::size_t>(got) != sizeof request + 2 * (units(request.firstUnits) + units(request.secondUnits)))
    return;
  const auto text = [&](std::size_t offset, std::uint32_t n) -> std::optional<WString> {
    if (n == kNoText) return std::nullopt;
    WString out(n, u'\0');
    std::memcpy(out.data(), packet.data() + sizeof request + offset, 2 * n);
    return out;
  };
  const auto first = text(0, request.firstUnits);
  const auto second = text(2 * units(request.firstUnits), request.secondUnits);
  const auto window = reinterpret_cast<HWND>(request.window);

  AnswerHeader answer{};
  WString answerText;
  auto core = core_.lock();
  if (!core) return;
  SetLastError(ERROR_SUCCESS);
  switch (request.op) {
    case kFind: {
      Core::Lock lock(core->mutex);
      std::shared_ptr<WindowClass> cls;
      if (first) cls = core->FindClass(first->c_str());
      if (first && !cls) break;
      for (HWND handle : core->TopLevelWindows()) {
        const Window* w = core->Find(handle);
        if (!w || (cls && w->cls != cls) || (second && !EqualsIgnoreAsciiCase(w->text, *second))) continue;
        answer.result = static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(handle));
        break;
      }
      break;
    }
    case kDlgItem: {
      Core::Lock lock(core->mutex);
      if (const Window* dialog = core->Find(window)) {
        for (HWND child : dialog->children) {
          const Window* c = core->Find(child);
          if (c && c->id == static_cast<LONG_PTR>(request.wParam)) {
            answer.result = static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(child));
            break;
          }
        }
      }
      break;
    }
    case kIsWindow: {
      Core::Lock lock(core->mutex);
      answer.result = core->Find(window) != nullptr;
      break;
    }
    case kSend:
      if (request.message == WM_SETTEXT) {
        const WString value = second.value_or(WString());
        answer.result = SendOn(*core, window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
      } else if (request.message == WM_GETTEXT) {
        const std::size_t capacity = std::min<std::size_t>(request.wParam, kMaxTextUnits + 1);
        WString buffer(capacity, u'\0');
        answer.result = capacity ? SendOn(*core, window, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer.data()))
                                 : 0;
        answerText = buffer.substr(0, static_cast<std::size_t>(std::max<LRESULT>(answer.result, 0)));
      } else {
        answer.result = SendOn(*core, window, request.message, request.wParam, request.lParam);
      }
      break;
    case kPost:
      // A post to no window would land in this port's own queue.
      answer.result = window ? PostOn(*core, window, request.message, request.wParam, request.lParam) : FALSE;
      break;
    default:
      return;
  }
  answer.error = GetLastError();
  answer.textUnits = static_cast<std::uint32_t>(answerText.size());
  std::vector<char> out(sizeof answer);
  std::memcpy(out.data(), &answer, sizeof answer);
  AppendText(out, answerText.c_str(), answer.textUnits);
  send(client, out.data(), out.size(), MSG_NOSIGNAL);
}

std::optional<WindowPorts::Answer> WindowPorts::Ask(const std::string& port, std::uint32_t op, HWND window,
                                                    UINT message, WPARAM wParam, LPARAM lParam, LPCWSTR first,
                                                    LPCWSTR second) {
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  socklen_t length = 0;
  const sockaddr_un address = Address(nameSpace_, port, length);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    close(fd);
    // The listing of a process that is gone.
    if (!ProcessAlive(port)) {
      std::error_code ec;
      std::filesystem::remove(folder_ / port, ec);
    }
    return std::nullopt;
  }
  if (!PeerIsThisUser(fd)) {
    close(fd);
    return std::nullopt;
  }
  const Request request{op,
                        message,
                        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window)),
                        static_cast<std::uint64_t>(wParam),
                        static_cast<std::int64_t>(lParam),
                        UnitsOf(first),
                        UnitsOf(second)};
  std::vector<char> packet(sizeof request);
  std::memcpy(packet.data(), &request, sizeof request);
  AppendText(packet, first, request.firstUnits);
  AppendText(packet, second, request.secondUnits);
  std::optional<Answer> answer;
  if (send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(packet.size())) {
    std::vector<char> reply(kMaxPacket);
    ssize_t got;
    while ((got = recv(fd, reply.data(), reply.size(), 0)) < 0 && errno == EINTR) {
    }
    AnswerHeader header{};
    if (got >= static_cast<ssize_t>(sizeof header)) {
      std::memcpy(&header, reply.data(), sizeof header);
      if (header.textUnits <= kMaxTextUnits &&
          static_cast<std::size_t>(got) == sizeof header + 2 * static_cast<std::size_t>(header.textUnits)) {
        answer.emplace();
        answer->result = static_cast<LRESULT>(header.result);
        answer->error = header.error;
        answer->text.resize(header.textUnits);
        std::memcpy(answer->text.data(), reply.data() + sizeof header, 2 * header.textUnits);
      }
    }
  }
  close(fd);
  return answer;
}

HWND WindowPorts::StandIn(const std::string& port, HWND remote) {
  std::lock_guard lock(mutex_);
  if (auto it = byRemote_.find({port, remote}); it != byRemote_.end()) return it->second;
  auto core = core_.lock();
  if (!core) return nullptr;
  HWND handle;
  {
    Core::Lock coreLock(core->mutex);
    handle = core->NewHandle();
  }
  standIns_.emplace(handle, RemoteWindow{port, remote});
  byRemote_.emplace(std::make_pair(port, remote), handle);
  return handle;
}

HWND WindowPorts::Find(LPCWSTR className, LPCWSTR windowName) {
  WString classText;
  if (className && IS_INTRESOURCE(className))
    classText = u"#" + WideFromUtf8(std::to_string(reinterpret_cast<ULONG_PTR>(className)));
  else if (className)
    classText = className;
  const int folder = OpenPrivateFolder(folder_);
  if (folder < 0) return nullptr;
  close(folder);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    const std::string port = entry.path().filename().string();
    if (port == name_) continue;
    const auto answer =
        Ask(port, kFind, nullptr, 0, 0, 0, className ? classText.c_str() : nullptr, windowName);
    if (answer && answer->result) return StandIn(port, reinterpret_cast<HWND>(answer->result));
  }
  return nullptr;
}

std::optional<RemoteWindow> WindowPorts::Remote(HWND standIn) const {
  if (!standIn) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto it = standIns_.find(standIn);
  if (it == standIns_.end()) return std::nullopt;
  return it->second;
}

LRESULT WindowPorts::Send(const RemoteWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool setText = message == WM_SETTEXT;
  auto answer = Ask(window.port, kSend, window.handle, message, wParam,
                    setText ? 0 : lParam, nullptr, setText ? reinterpret_cast<LPCWSTR>(lParam) : nullptr);
  if (!answer) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (message == WM_GETTEXT && lParam && wParam > 0) {
    auto* buffer = reinterpret_cast<LPWSTR>(lParam);
    const std::size_t n = std::min<std::size_t>(answer->text.size(), wParam - 1);
    std::copy_n(answer->text.data(), n, buffer);
    buffer[n] = 0;
  }
  if (answer->error) SetLastError(answer->error);
  return answer->result;
}

BOOL WindowPorts::Post(const RemoteWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto answer = Ask(window.port, kPost, window.handle, message, wParam, lParam, nullptr, nullptr);
  if (!answer) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (answer->error) SetLastError(answer->error);
  return answer->result ? TRUE : FALSE;
}

HWND WindowPorts::DlgItem(const RemoteWindow& dialog, int id) {
  auto answer = Ask(dialog.port, kDlgItem, dialog.handle, 0, static_cast<WPARAM>(id), 0, nullptr, nullptr);
  if (!answer || !answer->result) {
    SetLastError(answer ? ERROR_CONTROL_ID_NOT_FOUND : ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return StandIn(dialog.port, reinterpret_cast<HWND>(answer->result));
}

bool WindowPorts::Exists(const RemoteWindow& window) {
  auto answer = Ask(window.port, kIsWindow, window.handle, 0, 0, 0, nullptr, nullptr);
  return answer && answer->result;
}

}  // namespace kq::user
