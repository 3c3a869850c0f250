// The system folder of the stand-in machine.
#include <cstring>

#include "win/sysinfoapi.h"

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
  static constexpr char kSystemFolder[] = "C:\\Windows\\System32";
  constexpr UINT kLength = sizeof kSystemFolder - 1;
  if (!buffer || size <= kLength) return kLength + 1;
  std::memcpy(buffer, kSystemFolder, kLength + 1);
  return kLength;
}
