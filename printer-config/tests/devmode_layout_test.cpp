#include <algorithm>
#include <cstring>
#include <thread>

#include "printer_fixture.h"

namespace {

// The record's bytes as the tables give them, field by field at its offset.
class DevModeLayoutTest : public PrinterFixture {};

void Put(std::vector<BYTE>& bytes, std::size_t offset, std::size_t width, DWORD value) {
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

void PutText(std::vector<BYTE>& bytes, std::size_t offset, std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) Put(bytes, offset + 2 * i, 2, text[i]);
}

TEST_F(DevModeLayoutTest, DefaultRecordOfAPrinterWithoutValues) {
  SetCountry(u"49");
  const DriverDevMode record = Build();
  ASSERT_EQ(sizeof record, 1936u);

  struct Field {
    const char* name;
    std::size_t offset;
    std::size_t width;
    DWORD value;
  };
  const Field fields[] = {
      {"dmSpecVersion", 64, 2, 0x0401},
      {"dmDriverVersion", 66, 2, 0x0401},
      {"dmSize", 68, 2, 220},
      {"dmDriverExtra", 70, 2, 1716},
      {"dmFields", 72, 4, 0x0781FF5F},
      {"dmOrientation", 76, 2, 1},
      {"dmPaperSize", 78, 2, 9},
      {"dmPaperLength", 80, 2, 2970},
      {"dmPaperWidth", 82, 2, 2100},
      {"dmScale", 84, 2, 100},
      {"dmCopies", 86, 2, 1},
      {"dmDefaultSource", 88, 2, 1},
      {"dmPrintQuality", 90, 2, 300},
      {"dmColor", 92, 2, 2},
      {"dmDuplex", 94, 2, 1},
      {"dmYResolution", 96, 2, 300},
      {"dmTTOption", 98, 2, 4},
      {"dmCollate", 100, 2, 0},
      {"dmNup", 180, 4, 2},
      {"dmICMMethod", 188, 4, 2},
      {"dmICMIntent", 192, 4, 1},
      {"dmMediaType", 196, 4, 1},
      {"dmDitherType", 200, 4, 1},
      {"reserved", 220, 4, 0},
      {"ImageCompress", 748, 1, 1},
      {"FontEmbed", 749, 1, 2},
      {"Overwrite", 750, 1, 0},
      {"PDFVersion", 751, 1, 14},
      {"BitmapFontSize", 752, 2, 100},
      {"ColorSpace", 754, 1, 0},
      {"UOM", 1276, 1, 1},
      {"IgnoreBackground", 1277, 1, 0},
      {"PPOption", 1278, 1, 1},
      {"always one", 1279, 1, 1},
      {"UseDefFileName", 1280, 1, 0},
      {"OpenFile", 1281, 1, 1},
      {"GDIPunt", 1282, 1, 1},
      {"FontWarnMsg", 1283, 1, 0},
      {"MergeImages", 1284, 1, 1},
      {"PDFA1B", 1285, 1, 0},
      {"Upload", 1286, 1, 0},
  };
  std::vector<BYTE> expected(1936, 0);
  PutText(expected, 0, u"Kelvo PDF Printer");
  PutText(expected, 102, u"A4");
  for (const Field& f : fields) Put(expected, f.offset, f.width, f.value);

  std::vector<BYTE> actual(1936);
  std::memcpy(actual.data(), &record, actual.size());
  // The build serial (224..227) is whatever the counter held.
  std::memcpy(expected.data() + 224, actual.data() + 224, 4);
  for (const Field& f : fields) {
    DWORD value = 0;
    std::memcpy(&value, actual.data() + f.offset, f.width);
    EXPECT_EQ(value, f.value) << f.name << " at " << f.offset;
  }
  EXPECT_EQ(actual, expected) << "every byte not listed is zero";
}

TEST_F(DevModeLayoutTest, BuildSerialCountsEveryRecordOnceAcrossThreads) {
  constexpr int kThreads = 4, kEach = 8;
  std::vector<DWORD> serials(kThreads * kEach);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      kq::MachineScope bind(machine_.Get());
      for (int i = 0; i < kEach; ++i) serials[t * kEach + i] = Build().priv.buildSerial;
    });
  }
  for (auto& t : threads) t.join();
  std::sort(serials.begin(), serials.end());
  EXPECT_EQ(std::adjacent_find(serials.begin(), serials.end()), serials.end()) << "no serial is taken twice";
  EXPECT_EQ(Build().priv.buildSerial, serials.back() + 1);
}

TEST_F(DevModeLayoutTest, CopyDevModeCopiesAllBytes) {
  DriverDevMode source = Build();
  source.priv.reserved2[648] = 0x5A;
  source.priv.Folder[3] = u'x';
  DriverDevMode copy;
  std::memset(&copy, 0xEE, sizeof copy);
  CopyDevMode(&copy, &source);
  EXPECT_EQ(std::memcmp(&copy, &source, sizeof copy), 0);
}

}  // namespace
