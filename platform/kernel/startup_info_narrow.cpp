// The narrow start-up record of the running process.
#include "win/processthreadsapi.h"

void GetStartupInfoA(LPSTARTUPINFOA startupInfo) {
  if (!startupInfo) return;
  *startupInfo = STARTUPINFOA{};
  startupInfo->cb = sizeof(STARTUPINFOA);
}
