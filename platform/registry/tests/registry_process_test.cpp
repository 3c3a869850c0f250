#include <gtest/gtest.h>

#include <string>

#include "probe_process.h"
#include "win/machine.h"
#include "win/registry.h"

namespace {

using kq::testing::ProbeProcess;
using kq::testing::RunProbe;

TEST(RegistryAcrossProcesses, WhatOneProcessWritesAnotherReads) {
  kq::TemporaryMachine machine;
  kq::MachineScope bind(machine.Get());
  ASSERT_EQ(RunProbe(machine->Root(), {"reg-set", "Software\\Kelvo Software\\PDF Zedarod", "FileName", "C:\\out.pdf"}),
            0);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kelvo Software\\PDF Zedarod", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  WCHAR text[64] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(RegQueryValueExW(key, u"FileName", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(text), u"C:\\out.pdf");

  const std::u16string answer = u"FALSE";
  ASSERT_EQ(RegSetValueExW(key, u"FileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(answer.data()),
                           static_cast<DWORD>(answer.size() * 2)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  std::string output;
  ASSERT_EQ(RunProbe(machine->Root(), {"reg-get", "Software\\Kelvo Software\\PDF Zedarod", "FileName"}, &output), 0);
  EXPECT_EQ(output, "FALSE");
}

TEST(RegistryAcrossProcesses, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 120;
  kq::TemporaryMachine machine;
  kq::MachineScope bind(machine.Get());
  {
    ProbeProcess a(machine->Root(), {"reg-burst", "Software\\Busy", "a", std::to_string(kEach)});
    ProbeProcess b(machine->Root(), {"reg-burst", "Software\\Busy", "b", std::to_string(kEach)});
    a.Go();
    b.Go();
    ASSERT_EQ(a.Wait(), 0);
    ASSERT_EQ(b.Wait(), 0);
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Busy", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD subKeys = 0, values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u * kEach);
  EXPECT_EQ(subKeys, 2u * kEach);
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kEach; ++i) {
      const std::u16string name = kq::WideFromUtf8(prefix + std::to_string(i));
      DWORD value = 0, size = 4;
      ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                ERROR_SUCCESS);
      EXPECT_EQ(value, static_cast<DWORD>(i));
    }
  }
  RegCloseKey(key);
}

}  // namespace
