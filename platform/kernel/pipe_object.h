// Shared by the kernel room's pipe and process sources; not a public header.
#pragma once

#include <memory>

#include "win/base.h"
#include "win/handleapi.h"

namespace kq {

// What a started program receives as one of its standard streams, for a handle of the start-up record.
struct StandardStream {
  int descriptor = -1;                   // the host descriptor to hand over; -1 for the empty device
  std::shared_ptr<KernelObject> holder;  // keeps the descriptor open until the program has started
};

// The stream for `handle`, or the platform's error code (ERROR_INVALID_HANDLE, ERROR_NOT_SUPPORTED).
DWORD StandardStreamOf(HANDLE handle, bool inheritHandles, StandardStream& stream);

}  // namespace kq
