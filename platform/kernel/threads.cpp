#include <unistd.h>

#include <atomic>
#include <future>
#include <system_error>
#include <thread>

#include "thread_object.h"
#include "win/machine.h"

namespace kq {

namespace {

// The machine's count of running platform threads. The count outlives the machine's reference, which a thread
// drops before it reports its end.
struct ThreadCensus {
  explicit ThreadCensus(Machine&) {}
  std::shared_ptr<std::atomic<long>> running = std::make_shared<std::atomic<long>>(0);
};

struct ExitHooks {
  std::vector<std::function<void()>> hooks;
  void Run() {
    while (!hooks.empty()) {
      auto hook = std::move(hooks.back());
      hooks.pop_back();
      hook();
    }
  }
  ~ExitHooks() { Run(); }
};

thread_local ExitHooks tExitHooks;

}  // namespace

long RunningThreadCount(Machine& machine) { return machine.Service<ThreadCensus>().running->load(); }

void AtThreadExit(std::function<void()> hook) { tExitHooks.hooks.push_back(std::move(hook)); }

}  // namespace kq

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
  if (!start || (flags & ~STACK_SIZE_PARAM_IS_A_RESERVATION) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto machine = kq::CurrentMachineShared();
  auto running = machine->Service<kq::ThreadCensus>().running;
  auto thread = std::make_shared<kq::ThreadObject>();
  std::promise<DWORD> idPromise;
  auto idFuture = idPromise.get_future();

  ++*running;
  try {
    std::thread([thread, running, start, parameter, machine = std::move(machine),
                 idPromise = std::move(idPromise)]() mutable {
      DWORD code = 0;
      {
        kq::MachineScope scope(std::move(machine));
        SetLastError(ERROR_SUCCESS);
        idPromise.set_value(GetCurrentThreadId());
        code = start(parameter);
        kq::tExitHooks.Run();
      }
      --*running;
      thread->Finish(code);
    }).detach();
  } catch (const std::system_error&) {
    --*running;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const DWORD id = idFuture.get();
  HANDLE handle = kq::InsertHandle(thread);
  if (threadId) *threadId = id;
  return handle;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto object = kq::ObjectFromHandle<kq::ThreadObject>(thread);
  if (!object) return FALSE;
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = object->exitCode.load();
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(gettid()); }
