#include "win/spooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "win/machine.h"
#include "win/registry.h"

namespace {

constexpr const char16_t* kData = u"PrinterDriverData";

class SpoolerTest : public ::testing::Test {
 protected:
  SpoolerTest() { EXPECT_EQ(kq::InstallVirtualPrinter(), ERROR_SUCCESS); }
  ~SpoolerTest() override {
    for (HANDLE h : open_) ClosePrinter(h);
  }

  HANDLE Open(const char16_t* name, ACCESS_MASK access) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    EXPECT_TRUE(OpenPrinterW(name, &printer, &defaults));
    open_.push_back(printer);
    return printer;
  }

  // Enumerates at a level; checks the sizing call and that every string lies inside the buffer.
  std::vector<BYTE> Enumerate(DWORD level, DWORD* count) {
    DWORD needed = 0, returned = 7;
    const BOOL sized = EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    if (needed > 0) {
      EXPECT_FALSE(sized);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
      EXPECT_EQ(returned, 0u);
      DWORD shortNeeded = 0;
      EXPECT_FALSE(
          EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed - 1, &shortNeeded, &returned));
      EXPECT_EQ(shortNeeded, needed);
    }
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed, &needed, count));
    return buffer;
  }

  bool Inside(const std::vector<BYTE>& buffer, const void* p) {
    const auto* b = static_cast<const BYTE*>(p);
    return b >= buffer.data() && b < buffer.data() + buffer.size();
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  std::vector<HANDLE> open_;
};

TEST_F(SpoolerTest, VirtualPrinterIsInstalledOnceWithItsDriverAndPort) {
  ASSERT_EQ(kq::InstallVirtualPrinter(*machine_), ERROR_SUCCESS);
  DWORD count = 0;
  auto buffer = Enumerate(2, &count);
  ASSERT_EQ(count, 1u);
  PRINTER_INFO_2W info;
  std::memcpy(&info, buffer.data(), sizeof info);
  EXPECT_EQ(std::u16string(info.pPrinterName), u"Kelvo Quenzar Printer");
  EXPECT_EQ(std::u16string(info.pDriverName), u"Kelvo Quenzar Printer Driver");
  EXPECT_EQ(std::u16string(info.pPortName), kq::kVirtualPrinterPort);
  EXPECT_TRUE(Inside(buffer, info.pPrinterName) && Inside(buffer, info.pDriverName) && Inside(buffer, info.pPortName));
  EXPECT_EQ(info.pDevMode, nullptr);
  EXPECT_EQ(info.Attributes, PRINTER_ATTRIBUTE_LOCAL);
}

// A program that prints installs the printer each time; once it is there, that writes nothing to the state.
TEST_F(SpoolerTest, InstallingAnInstalledPrinterWritesNothing) {
  ASSERT_EQ(kq::InstallVirtualPrinter(*machine_), ERROR_SUCCESS);
  const auto snapshot = [&] {
    std::map<std::filesystem::path, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(machine_->Root()))
      if (entry.is_regular_file()) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path()] = std::string(std::istreambuf_iterator<char>(in), {});
      }
    return files;
  };
  const auto before = snapshot();
  ASSERT_EQ(kq::InstallVirtualPrinter(*machine_), ERROR_SUCCESS);
  EXPECT_TRUE(before == snapshot());
  // A printer whose driver library was changed is mended.
  ASSERT_EQ(kq::SetPrinterDriverLibrary(*machine_, kq::kVirtualPrinterDriverName, u"libother.so"), ERROR_SUCCESS);
  ASSERT_EQ(kq::InstallVirtualPrinter(*machine_), ERROR_SUCCESS);
  kq::PrinterDescription description;
  ASSERT_EQ(kq::DescribePrinter(Open(kq::kVirtualPrinterName, 0), &description), ERROR_SUCCESS);
  EXPECT_EQ(description.driverLibrary, kq::kVirtualPrinterDriverLibrary);
}

TEST_F(SpoolerTest, DescribePrinterGivesTheDriverLibrary) {
  kq::PrinterDescription virtualPrinter;
  ASSERT_EQ(kq::DescribePrinter(Open(u"kelvo quenzar printer", 0), &virtualPrinter), ERROR_SUCCESS);
  EXPECT_EQ(virtualPrinter.name, u"Kelvo Quenzar Printer");
  EXPECT_EQ(virtualPrinter.driverName, kq::kVirtualPrinterDriverName);
  EXPECT_EQ(virtualPrinter.portName, kq::kVirtualPrinterPort);
  EXPECT_EQ(virtualPrinter.driverLibrary, u"libtelodrv.so");

  // A printer whose driver has no library recorded yet; drivers are named ignoring case.
  ASSERT_EQ(kq::AddLocalPrinter(*machine_, u"Office Laser", u"Laser Driver", u"LPT1:"), ERROR_SUCCESS);
  HANDLE laser = Open(u"Office Laser", 0);
  kq::PrinterDescription description;
  ASSERT_EQ(kq::DescribePrinter(laser, &description), ERROR_SUCCESS);
  EXPECT_EQ(description.driverLibrary, u"");
  EXPECT_EQ(kq::SetPrinterDriverLibrary(*machine_, u"laser driver", u"/opt/laser/liblaser.so"), ERROR_SUCCESS);
  ASSERT_EQ(kq::DescribePrinter(laser, &description), ERROR_SUCCESS);
  EXPECT_EQ(description.driverLibrary, u"/opt/laser/liblaser.so");
  EXPECT_EQ(kq::SetPrinterDriverLibrary(*machine_, u"Laser Driver", u""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  EXPECT_EQ(kq::DescribePrinter(reinterpret_cast<HANDLE>(0x1234), &description),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE closed = nullptr;
  ASSERT_TRUE(OpenPrinterW(u"Office Laser", &closed, nullptr));
  ASSERT_TRUE(ClosePrinter(closed));
  EXPECT_EQ(kq::DescribePrinter(closed, &description), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerTest, EnumPrintersLevelsAndRequests) {
  ASSERT_EQ(kq::AddLocalPrinter(*machine_, u"Office Laser", u"Laser Driver", u"LPT1:"), ERROR_SUCCESS);
  EXPECT_EQ(kq::AddLocalPrinter(*machine_, u"office laser", u"Other", u"LPT2:"),
            static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
  EXPECT_EQ(kq::AddLocalPrinter(*machine_, u"a,b", u"Other", u"LPT2:"), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));

  DWORD count = 0;
  auto level1 = Enumerate(1, &count);
  ASSERT_EQ(count, 2u);
  PRINTER_INFO_1W one[2];
  std::memcpy(one, level1.data(), sizeof one);
  EXPECT_EQ(std::u16string(one[1].pName), u"Office Laser");
  EXPECT_EQ(std::u16string(one[1].pDescription), u"Office Laser,Laser Driver,");
  EXPECT_TRUE(Inside(level1, one[1].pName) && Inside(level1, one[1].pDescription));

  auto level4 = Enumerate(4, &count);
  ASSERT_EQ(count, 2u);
  PRINTER_INFO_4W four[2];
  std::memcpy(four, level4.data(), sizeof four);
  EXPECT_EQ(std::u16string(four[0].pPrinterName), u"Kelvo Quenzar Printer");
  EXPECT_EQ(four[0].pServerName, nullptr);

  DWORD needed = 0, returned = 0;
  EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 3, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  // Nothing but local printers exist: connections are an empty answer, not an error.
  EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(returned, 0u);
}

TEST_F(SpoolerTest, OpenAndCloseFollowThePlatform) {
  HANDLE printer = reinterpret_cast<HANDLE>(1);
  EXPECT_FALSE(OpenPrinterW(u"No Such Printer", &printer, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_EQ(printer, nullptr);
  EXPECT_FALSE(OpenPrinterW(u"Kelvo Quenzar Printer", nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  ASSERT_TRUE(OpenPrinterW(u"KELVO quenzar printer", &printer, nullptr));
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  DWORD needed = 0;
  EXPECT_EQ(GetPrinterDataExW(printer, kData, u"Folder", nullptr, nullptr, 0, &needed),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerTest, WritingPrinterDataTakesAdministration) {
  HANDLE user = nullptr;
  ASSERT_TRUE(OpenPrinterW(kq::kVirtualPrinterName, &user, nullptr));  // PRINTER_ACCESS_USE
  open_.push_back(user);
  HANDLE useOnly = Open(kq::kVirtualPrinterName, PRINTER_ACCESS_USE);
  HANDLE full = Open(kq::kVirtualPrinterName, PRINTER_ALL_ACCESS);
  const DWORD value = 0;
  const auto* bytes = reinterpret_cast<const BYTE*>(&value);
  EXPECT_EQ(SetPrinterDataExW(user, kData, u"FontEmbed", REG_DWORD, bytes, 4), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SetPrinterDataExW(useOnly, kData, u"FontEmbed", REG_DWORD, bytes, 4),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(SetPrinterDataExW(full, kData, u"FontEmbed", REG_DWORD, bytes, 4), ERROR_SUCCESS);
  DWORD back = 7, type = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataExW(user, kData, u"FontEmbed", &type, reinterpret_cast<BYTE*>(&back), 4, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(back, 0u);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(needed, 4u);
}

TEST_F(SpoolerTest, PrinterDataResults) {
  HANDLE printer = Open(kq::kVirtualPrinterName, PRINTER_ALL_ACCESS);
  const std::u16string folder = u"C:\\Out";  // written without its zero
  ASSERT_EQ(SetPrinterDataExW(printer, kData, u"Folder", REG_SZ, reinterpret_cast<const BYTE*>(folder.data()),
                              static_cast<DWORD>(folder.size() * 2)),
            ERROR_SUCCESS);

  struct Case {
    const char* what;
    const char16_t* key;
    const char16_t* name;
    DWORD size;
    DWORD expected;
    DWORD expectedNeeded;
  };
  const Case cases[] = {
      {"exact size", kData, u"Folder", 12, ERROR_SUCCESS, 12},
      {"larger buffer", kData, u"Folder", 40, ERROR_SUCCESS, 12},
      {"sizing call", kData, u"Folder", 0, ERROR_MORE_DATA, 12},
      {"one byte short", kData, u"Folder", 11, ERROR_MORE_DATA, 12},
      {"names ignore case", u"printerdriverdata", u"FOLDER", 40, ERROR_SUCCESS, 12},
      {"missing value", kData, u"DestName", 40, ERROR_FILE_NOT_FOUND, 0},
      {"other key", u"PrinterDriverData\\Other", u"Folder", 40, ERROR_FILE_NOT_FOUND, 0},
      {"no key", nullptr, u"Folder", 40, ERROR_INVALID_PARAMETER, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BYTE buffer[40];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD needed = 0, type = 0;
    EXPECT_EQ(GetPrinterDataExW(printer, c.key, c.name, &type, c.size ? buffer : nullptr, c.size, &needed), c.expected);
    EXPECT_EQ(needed, c.expectedNeeded);
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(type, REG_SZ);
      EXPECT_EQ(std::memcmp(buffer, folder.data(), 12), 0);
      EXPECT_EQ(buffer[12], 0xCC) << "stored without a zero, read back without one";
    } else {
      EXPECT_EQ(buffer[0], 0xCC);
    }
  }
}

TEST_F(SpoolerTest, PrinterHandlesKeepTheirMachine) {
  HANDLE printer = Open(kq::kVirtualPrinterName, PRINTER_ALL_ACCESS);
  const DWORD batch = 1;
  ASSERT_EQ(SetPrinterDataExW(printer, kData, u"Batch", REG_DWORD, reinterpret_cast<const BYTE*>(&batch), 4),
            ERROR_SUCCESS);
  kq::TemporaryMachine other;
  kq::MachineScope bind(other.Get());
  HANDLE none = nullptr;
  EXPECT_FALSE(OpenPrinterW(kq::kVirtualPrinterName, &none, nullptr)) << "not installed on the other machine";
  DWORD back = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataExW(printer, kData, u"Batch", nullptr, reinterpret_cast<BYTE*>(&back), 4, &needed),
            ERROR_SUCCESS);
  EXPECT_EQ(back, 1u);
}

}  // namespace
