#include "win/synchapi.h"

namespace {

class EventObject : public kq::WaitableObject {
 public:
  EventObject(bool manual, bool signalled)
      : WaitableObject(manual ? Reset::Manual : Reset::Automatic, signalled) {}
};

}  // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (name) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  HANDLE handle = kq::InsertHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL SetEvent(HANDLE event) {
  auto object = kq::ObjectFromHandle<EventObject>(event);
  if (!object) return FALSE;
  object->Signal();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  auto object = kq::ObjectFromHandle<EventObject>(event);
  if (!object) return FALSE;
  object->Unsignal();
  return TRUE;
}
