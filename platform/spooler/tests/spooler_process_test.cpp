#include <gtest/gtest.h>

#include <string>

#include "probe_process.h"
#include "win/machine.h"
#include "win/registry.h"
#include "win/spooler.h"

namespace {

using kq::testing::ProbeProcess;
using kq::testing::RunProbe;

constexpr const char16_t* kData = u"PrinterDriverData";

TEST(PrinterDataAcrossProcesses, WhatOneProcessWritesAnotherReads) {
  kq::TemporaryMachine machine;
  kq::MachineScope bind(machine.Get());
  ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
  ASSERT_EQ(RunProbe(machine->Root(), {"data-set", "Kelvo Quenzar Printer", "Folder", "C:\\Out"}), 0);

  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &printer, &defaults));
  WCHAR folder[32] = {};
  DWORD needed = 0;
  ASSERT_EQ(GetPrinterDataExW(printer, kData, u"Folder", nullptr, reinterpret_cast<BYTE*>(folder), 62, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(folder), u"C:\\Out");

  const std::u16string name = u"Daily";
  ASSERT_EQ(SetPrinterDataExW(printer, kData, u"DestName", REG_SZ, reinterpret_cast<const BYTE*>(name.data()),
                              static_cast<DWORD>(name.size() * 2)),
            ERROR_SUCCESS);
  ClosePrinter(printer);
  std::string output;
  ASSERT_EQ(RunProbe(machine->Root(), {"data-get", "Kelvo Quenzar Printer", "DestName"}, &output), 0);
  EXPECT_EQ(output, "Daily");
}

TEST(PrinterDataAcrossProcesses, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 120;
  kq::TemporaryMachine machine;
  kq::MachineScope bind(machine.Get());
  ASSERT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS);
  {
    ProbeProcess a(machine->Root(), {"data-burst", "Kelvo Quenzar Printer", "a", std::to_string(kEach)});
    ProbeProcess b(machine->Root(), {"data-burst", "Kelvo Quenzar Printer", "b", std::to_string(kEach)});
    a.Go();
    b.Go();
    ASSERT_EQ(a.Wait(), 0);
    ASSERT_EQ(b.Wait(), 0);
  }
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &printer, nullptr));
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kEach; ++i) {
      const std::u16string name = kq::WideFromUtf8(prefix + std::to_string(i));
      DWORD value = 0, needed = 0, type = 0;
      ASSERT_EQ(GetPrinterDataExW(printer, kData, name.c_str(), &type, reinterpret_cast<BYTE*>(&value), 4, &needed),
                ERROR_SUCCESS)
          << prefix << i;
      EXPECT_EQ(type, REG_DWORD);
      EXPECT_EQ(value, static_cast<DWORD>(i));
    }
  }
  ClosePrinter(printer);
}

}  // namespace
