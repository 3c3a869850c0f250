#include "win/base.h"

namespace {
// The last error belongs to the thread, as on the platform.
thread_local DWORD tLastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD error) { tLastError = error; }
