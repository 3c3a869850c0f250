#include <sys/random.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <random>

#include "win/rpc.h"

namespace kq {

void RpcTestSwitches::SetNoAddress(bool on) {
  std::lock_guard lock(mutex_);
  noAddress_ = on;
}

bool RpcTestSwitches::NoAddress() const {
  std::lock_guard lock(mutex_);
  return noAddress_;
}

void RpcTestSwitches::SetToStringFails(bool on) {
  std::lock_guard lock(mutex_);
  toStringFails_ = on;
}

bool RpcTestSwitches::ToStringFails() const {
  std::lock_guard lock(mutex_);
  return toStringFails_;
}

namespace {

void RandomBytes(unsigned char* out, std::size_t count) {
  std::size_t filled = 0;
  while (filled < count) {
    const ssize_t got = getrandom(out + filled, count - filled, 0);
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (filled < count) {
    std::random_device device;
    for (; filled < count; ++filled) out[filled] = static_cast<unsigned char>(device());
  }
}

}  // namespace

}  // namespace kq

RPC_STATUS UuidCreate(UUID* uuid) {
  if (!uuid) return RPC_S_INVALID_ARG;
  if (kq::CurrentMachine().Service<kq::RpcTestSwitches>().NoAddress()) {
    *uuid = UUID{};
    return RPC_S_UUID_NO_ADDRESS;
  }
  unsigned char bytes[sizeof(UUID)];
  kq::RandomBytes(bytes, sizeof bytes);
  std::memcpy(uuid, bytes, sizeof bytes);
  uuid->Data3 = static_cast<WORD>((uuid->Data3 & 0x0FFF) | 0x4000);  // version 4: random
  uuid->Data4[0] = static_cast<BYTE>((uuid->Data4[0] & 0x3F) | 0x80);  // the RFC 4122 variant
  return RPC_S_OK;
}

RPC_STATUS UuidToStringA(const UUID* uuid, RPC_CSTR* text) {
  if (!text) return RPC_S_INVALID_ARG;
  *text = nullptr;
  if (!uuid) return RPC_S_INVALID_ARG;
  if (kq::CurrentMachine().Service<kq::RpcTestSwitches>().ToStringFails()) return RPC_S_OUT_OF_MEMORY;
  constexpr std::size_t kLength = 36;
  auto* out = new (std::nothrow) unsigned char[kLength + 1];
  if (!out) return RPC_S_OUT_OF_MEMORY;
  const auto& d = uuid->Data4;
  std::snprintf(reinterpret_cast<char*>(out), kLength + 1, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned>(uuid->Data1), static_cast<unsigned>(uuid->Data2),
                static_cast<unsigned>(uuid->Data3), d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
  *text = out;
  return RPC_S_OK;
}

RPC_STATUS RpcStringFreeA(RPC_CSTR* text) {
  if (!text) return RPC_S_INVALID_ARG;
  delete[] *text;
  *text = nullptr;
  return RPC_S_OK;
}
