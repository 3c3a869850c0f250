// RPC runtime: UUIDs and their text form.
#pragma once

#include <mutex>

#include "win/base.h"
#include "win/guiddef.h"
#include "win/machine.h"

using UUID = GUID;
using RPC_STATUS = LONG;
using RPC_CSTR = unsigned char*;

inline constexpr RPC_STATUS RPC_S_OK = 0;
inline constexpr RPC_STATUS RPC_S_OUT_OF_MEMORY = 14;
inline constexpr RPC_STATUS RPC_S_INVALID_ARG = 87;
inline constexpr RPC_STATUS RPC_S_UUID_NO_ADDRESS = 1739;
inline constexpr RPC_STATUS RPC_S_UUID_LOCAL_ONLY = 1824;

// A new random UUID (version 4, RFC 4122 variant). RPC_S_INVALID_ARG for a null pointer.
RPC_STATUS UuidCreate(UUID* uuid);
// The 36-character lower-case text form ("xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"), allocated for the caller, who
// releases it with RpcStringFreeA. On failure *text is null.
RPC_STATUS UuidToStringA(const UUID* uuid, RPC_CSTR* text);
// Releases a string from the RPC runtime and sets *text to null; a null *text is accepted.
RPC_STATUS RpcStringFreeA(RPC_CSTR* text);

namespace kq {

// Faults a test can make the machine's RPC runtime show.
class RpcTestSwitches {
 public:
  explicit RpcTestSwitches(Machine&) {}

  // UuidCreate answers RPC_S_UUID_NO_ADDRESS and gives the nil UUID, as on a machine with no address to build on.
  void SetNoAddress(bool on);
  bool NoAddress() const;
  // UuidToStringA answers RPC_S_OUT_OF_MEMORY.
  void SetToStringFails(bool on);
  bool ToStringFails() const;

 private:
  mutable std::mutex mutex_;
  bool noAddress_ = false;
  bool toStringFails_ = false;
};

}  // namespace kq
