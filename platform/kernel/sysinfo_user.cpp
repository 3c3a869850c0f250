#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "win/sysinfoapi.h"

namespace kq {

namespace {

std::string HostUserName() {
  for (const char* variable : {"USER", "LOGNAME"}) {
    if (const char* value = std::getenv(variable); value && *value) return value;
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name &&
      *found->pw_name)
    return found->pw_name;
  return "user";
}

}  // namespace

MachineUser::MachineUser(Machine&) : name_(WideFromUtf8(HostUserName())) {}

WString MachineUser::UserName() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void MachineUser::SetUserName(WString name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

}  // namespace kq

BOOL GetUserNameW(LPWSTR buffer, LPDWORD size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const kq::WString name = kq::CurrentMachine().Service<kq::MachineUser>().UserName();
  const auto needed = static_cast<DWORD>(name.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  name.copy(buffer, name.size());
  buffer[name.size()] = u'\0';
  *size = needed;
  return TRUE;
}
