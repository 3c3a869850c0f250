#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "win/rpc.h"

namespace {

class Uuids : public ::testing::Test {
 protected:
  kq::RpcTestSwitches& Switches() { return machine_->Service<kq::RpcTestSwitches>(); }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

std::string ToString(const UUID& uuid) {
  RPC_CSTR text = nullptr;
  EXPECT_EQ(UuidToStringA(&uuid, &text), RPC_S_OK);
  std::string result = text ? reinterpret_cast<const char*>(text) : "";
  EXPECT_EQ(RpcStringFreeA(&text), RPC_S_OK);
  EXPECT_EQ(text, nullptr);
  return result;
}

TEST_F(Uuids, TextFormLaysOutTheFieldsInLowerCase) {
  const UUID uuid{0x0123ABCD, 0x4567, 0x89EF, {0xA0, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x7F}};
  EXPECT_EQ(ToString(uuid), "0123abcd-4567-89ef-a01b-2c3d4e5f607f");
  EXPECT_EQ(ToString(UUID{}), "00000000-0000-0000-0000-000000000000");
}

TEST_F(Uuids, NewUuidsAreRandomVersionFourOfTheRfcVariant) {
  const std::regex form("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    UUID uuid{};
    ASSERT_EQ(UuidCreate(&uuid), RPC_S_OK);
    EXPECT_EQ(uuid.Data3 >> 12, 4);
    EXPECT_EQ(uuid.Data4[0] >> 6, 2);
    const std::string text = ToString(uuid);
    EXPECT_TRUE(std::regex_match(text, form)) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST_F(Uuids, TestSwitchesMakeTheCallsFail) {
  Switches().SetNoAddress(true);
  UUID uuid;
  std::memset(&uuid, 0xAB, sizeof uuid);
  EXPECT_EQ(UuidCreate(&uuid), RPC_S_UUID_NO_ADDRESS);
  EXPECT_EQ(ToString(uuid), "00000000-0000-0000-0000-000000000000");
  Switches().SetNoAddress(false);
  EXPECT_EQ(UuidCreate(&uuid), RPC_S_OK);

  Switches().SetToStringFails(true);
  RPC_CSTR text = reinterpret_cast<RPC_CSTR>(&uuid);
  EXPECT_EQ(UuidToStringA(&uuid, &text), RPC_S_OUT_OF_MEMORY);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(RpcStringFreeA(&text), RPC_S_OK);

  // The switches belong to their machine.
  kq::TemporaryMachine other;
  kq::MachineScope scope(other.Get());
  EXPECT_EQ(UuidToStringA(&uuid, &text), RPC_S_OK);
  EXPECT_EQ(RpcStringFreeA(&text), RPC_S_OK);
}

TEST_F(Uuids, NullArgumentsAreRefused) {
  EXPECT_EQ(UuidCreate(nullptr), RPC_S_INVALID_ARG);
  UUID uuid{};
  EXPECT_EQ(UuidToStringA(&uuid, nullptr), RPC_S_INVALID_ARG);
  RPC_CSTR text = nullptr;
  EXPECT_EQ(UuidToStringA(nullptr, &text), RPC_S_INVALID_ARG);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(RpcStringFreeA(nullptr), RPC_S_INVALID_ARG);
}

}  // namespace
