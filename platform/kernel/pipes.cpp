// Anonymous pipes over host pipes. Both host descriptors are close-on-exec, so a program started by another
// thread never keeps a write end open by accident; CreateProcessW hands an end over explicitly.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "file_internal.h"
#include "pipe_object.h"
#include "win/fileapi.h"
#include "win/namedpipeapi.h"
#include "win/processthreadsapi.h"

namespace kq {

namespace {

class PipeEnd final : public IoObject {
 public:
  PipeEnd(int fd, bool reads) : fd_(fd), reads_(reads) {}
  ~PipeEnd() override { ::close(fd_); }
  PipeEnd(const PipeEnd&) = delete;
  PipeEnd& operator=(const PipeEnd&) = delete;

  int Descriptor() const { return fd_; }

  DWORD Read(void* buffer, DWORD size, DWORD& done) override {
    done = 0;
    if (!reads_) return ERROR_ACCESS_DENIED;
    if (size == 0) return ERROR_SUCCESS;
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n > 0) {
        done = static_cast<DWORD>(n);
        return ERROR_SUCCESS;
      }
      if (n == 0) return ERROR_BROKEN_PIPE;
      if (errno != EINTR) return ErrorFromErrno(errno);
    }
  }

  DWORD Write(const void* buffer, DWORD size, DWORD& done) override {
    done = 0;
    if (reads_) return ERROR_ACCESS_DENIED;
    // A pipe without readers raises SIGPIPE on the writing thread; here it is a failed write instead.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const auto* bytes = static_cast<const char*>(buffer);
    DWORD error = ERROR_SUCCESS;
    while (done < size) {
      const ssize_t n = ::write(fd_, bytes + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = errno == EPIPE ? ERROR_NO_DATA : ErrorFromErrno(errno);
        break;
      }
      done += static_cast<DWORD>(n);
    }
    if (error == ERROR_NO_DATA) {
      const timespec now{};
      sigtimedwait(&pipeSignal, nullptr, &now);  // takes the pending signal so it never fires later
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
  }

  DWORD Flush() override { return reads_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS; }

  // Bytes waiting, or ERROR_BROKEN_PIPE when nothing waits and no writer is left.
  DWORD Available(DWORD& count) const {
    count = 0;
    if (!reads_) return ERROR_ACCESS_DENIED;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) return ErrorFromErrno(errno);
    count = static_cast<DWORD>(waiting);
    if (count > 0) return ERROR_SUCCESS;
    pollfd probe{fd_, POLLIN, 0};
    if (::poll(&probe, 1, 0) > 0 && (probe.revents & POLLHUP)) return ERROR_BROKEN_PIPE;
    return ERROR_SUCCESS;
  }

 private:
  int fd_;
  bool reads_;
};

}  // namespace

DWORD StandardStreamOf(HANDLE handle, bool inheritHandles, StandardStream& stream) {
  stream = {};
  if (!handle || handle == INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
  auto object = LookupHandle(handle);
  if (!object) return ERROR_INVALID_HANDLE;
  auto end = std::dynamic_pointer_cast<PipeEnd>(object);
  if (!end) return ERROR_NOT_SUPPORTED;
  // A handle the program may not inherit is of no use to it: it gets the empty device.
  if (!inheritHandles || !IsInheritableHandle(handle)) return ERROR_SUCCESS;
  stream.descriptor = end->Descriptor();
  stream.holder = std::move(end);
  return ERROR_SUCCESS;
}

}  // namespace kq

BOOL CreatePipe(LPHANDLE readPipe, LPHANDLE writePipe, LPSECURITY_ATTRIBUTES attributes, DWORD) {
  if (!readPipe || !writePipe) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    SetLastError(kq::ErrorFromErrno(errno));
    return FALSE;
  }
  const bool inheritable = attributes && attributes->bInheritHandle;
  *readPipe = kq::InsertHandle(std::make_shared<kq::PipeEnd>(fds[0], true), inheritable);
  *writePipe = kq::InsertHandle(std::make_shared<kq::PipeEnd>(fds[1], false), inheritable);
  return TRUE;
}

BOOL PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD bytesRead, LPDWORD totalAvailable,
                   LPDWORD bytesLeftThisMessage) {
  auto end = kq::ObjectFromHandle<kq::PipeEnd>(pipe);
  if (!end) return FALSE;
  if (buffer && size > 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  DWORD count = 0;
  if (const DWORD error = end->Available(count); error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (bytesRead) *bytesRead = 0;
  if (totalAvailable) *totalAvailable = count;
  if (bytesLeftThisMessage) *bytesLeftThisMessage = 0;
  return TRUE;
}
