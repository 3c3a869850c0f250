// CreateProcessA: the narrow texts in the machine's ANSI code page, then CreateProcessW.
#include <optional>

#include "win/ansi_text.h"
#include "win/processthreadsapi.h"

namespace {

std::optional<kq::WString> WideOf(LPCSTR text) {
  if (!text) return std::nullopt;
  return kq::WideOfAnsi(text);
}

LPCWSTR Pointer(const std::optional<kq::WString>& text) { return text ? text->c_str() : nullptr; }

}  // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if (!startupInfo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto application = WideOf(applicationName);
  auto line = WideOf(commandLine);
  const auto folder = WideOf(currentDirectory);
  // Only the fields the wide call acts on are carried over; its texts are not used.
  STARTUPINFOW wideStartup{};
  wideStartup.cb = sizeof(wideStartup);
  wideStartup.dwFlags = startupInfo->dwFlags;
  wideStartup.wShowWindow = startupInfo->wShowWindow;
  wideStartup.hStdInput = startupInfo->hStdInput;
  wideStartup.hStdOutput = startupInfo->hStdOutput;
  wideStartup.hStdError = startupInfo->hStdError;
  return CreateProcessW(Pointer(application), line ? line->data() : nullptr, processAttributes, threadAttributes,
                        inheritHandles, creationFlags, environment, Pointer(folder), &wideStartup,
                        processInformation);
}
