// The window system's reach into the other processes of the same state root, as one desktop. A core opens its port
// with its first top-level window: a socket that answers other processes' lookups of its top-level windows and of
// their controls, and carries the messages they send or post to them into its own message queues. Another
// process's window is known here by a stand-in handle that FindWindowW makes when it finds the window there;
// SendMessageW, PostMessageW, GetDlgItem and IsWindow on a stand-in travel through that process's port. Other calls
// do not reach across processes: they find no window. Messages carry their parameters as numbers; WM_SETTEXT and
// WM_GETTEXT carry their texts.
//
// Ports are named by the user and the machine's name space, so two state roots never meet; each is listed by a file
// of the state root's "desktop" folder, which is the user's alone, while it is open. A port answers only processes of
// its own user, and a port of another user is never asked: another user's windows are not found, and they cannot
// reach this user's.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "win/base.h"

namespace kq {
class Machine;
}

namespace kq::user {

class Core;

// A window of another process: its port and its handle there.
struct RemoteWindow {
  std::string port;
  HWND handle = nullptr;
};

class WindowPorts {
 public:
  WindowPorts(Machine& machine, const std::shared_ptr<Core>& core);
  ~WindowPorts();
  WindowPorts(const WindowPorts&) = delete;
  WindowPorts& operator=(const WindowPorts&) = delete;

  // Opens this core's port unless it is open (under the core's lock). A port that cannot be opened leaves the
  // windows reachable from this process only.
  void Open();
  // Closes the port and waits for its thread; after the core's shutdown, so no message it carries waits.
  void Close();

  // The caller's side; never under the core's lock.
  // A top-level window of another process by class (a name, or an atom as "#<number>"; null for any) and caption
  // (null for any): its stand-in, or null.
  HWND Find(LPCWSTR className, LPCWSTR windowName);
  std::optional<RemoteWindow> Remote(HWND standIn) const;
  // 0, with ERROR_INVALID_WINDOW_HANDLE, when the window's process cannot be reached.
  LRESULT Send(const RemoteWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
  BOOL Post(const RemoteWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND DlgItem(const RemoteWindow& dialog, int id);
  bool Exists(const RemoteWindow& window);

 private:
  struct Answer;
  HWND StandIn(const std::string& port, HWND remote);
  std::optional<Answer> Ask(const std::string& port, std::uint32_t op, HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam, LPCWSTR first, LPCWSTR second);
  void Serve();
  void Reply(int client);

  std::weak_ptr<Core> core_;
  std::filesystem::path folder_;
  std::string nameSpace_;
  std::string name_;  // this core's port, once open
  int listener_ = -1;
  int wake_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<HWND, RemoteWindow> standIns_;
  std::map<std::pair<std::string, HWND>, HWND> byRemote_;
};

// SendMessageW and PostMessageW on a given core, for a thread not bound to its machine (a port's).
LRESULT SendOn(Core& core, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostOn(Core& core, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kq::user
