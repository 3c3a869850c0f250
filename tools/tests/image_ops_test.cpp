// The bitmap ops of a job file: image files decoded as a program would hand them to the engine, and the errors a
// job's bitmap ops are refused with.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "image_file.h"
#include "image_ops.h"
#include "job_file.h"

namespace {

using nlohmann::ordered_json;
const std::filesystem::path kExamples = std::filesystem::path(KQ_SOURCE_DIR) / "examples";

class ImageFiles : public ::testing::Test {
 protected:
  std::filesystem::path folder_ = std::filesystem::temp_directory_path() /
                                  ("kq-image-ops-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                   "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { std::filesystem::create_directories(folder_); }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
};

void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP of 3 x 2 pixels at `bits` whose pixel rows are `rows` (bottom row first unless topDown), with `colors`
// palette entries (blue, green, red, 0).
std::vector<std::uint8_t> Bmp(std::uint32_t bits, bool topDown, const std::vector<std::uint8_t>& rows,
                              const std::vector<std::uint8_t>& colors = {}) {
  std::vector<std::uint8_t> b(54 + colors.size());
  b[0] = 'B', b[1] = 'M';
  Put(b, 10, static_cast<std::uint32_t>(54 + colors.size()), 4);
  Put(b, 14, 40, 4);
  Put(b, 18, 3, 4);
  Put(b, 22, topDown ? static_cast<std::uint32_t>(-2) : 2u, 4);
  Put(b, 26, 1, 2);
  Put(b, 28, bits, 2);
  Put(b, 46, static_cast<std::uint32_t>(colors.size() / 4), 4);
  std::copy(colors.begin(), colors.end(), b.begin() + 54);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

TEST_F(ImageFiles, BmpsOfEveryDepthComeTopRowFirstWithTheirPalette) {
  // 24 bits, bottom-up: the file's first row is the picture's bottom row.
  const std::vector<std::uint8_t> rows24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  auto image = kqprint::ReadImageFile(Write("a.bmp", Bmp(24, false, rows24)));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.bits[0], 11);
  EXPECT_EQ(image.bits[12], 1);
  image = kqprint::ReadImageFile(Write("b.bmp", Bmp(24, true, rows24)));
  EXPECT_EQ(image.bits[0], 1);
  // 1 bit with two colours: rows of 4 bytes.
  image = kqprint::ReadImageFile(
      Write("c.bmp", Bmp(1, false, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}, {0, 0, 0, 0, 0xFF, 0x80, 0x10, 0})));
  EXPECT_EQ(image.bitsPerPixel, 1u);
  // Blue 0xFF, green 0x80, red 0x10 as 0x00BBGGRR.
  EXPECT_EQ(image.palette, (std::vector<COLORREF>{0x000000, 0xFF8010}));
  EXPECT_EQ(image.bits[0], 0x40);
  // 16 bits: 5-5-5 without masks, the file's masks with bit fields.
  image = kqprint::ReadImageFile(Write("d.bmp", Bmp(16, false, {0x1F, 0x7C, 0, 0, 0, 0, 0, 0, 0xE0, 0x03, 0, 0, 0, 0, 0, 0})));
  EXPECT_EQ(image.bitsPerPixel, 16u);
  EXPECT_EQ(image.masks, (std::array<ULONG, 3>{0, 0, 0}));
  std::vector<std::uint8_t> fields = Bmp(16, false, {0, 0xF8, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0});
  Put(fields, 30, 3, 4);
  Put(fields, 10, 66, 4);
  const std::vector<std::uint8_t> masks = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  fields.insert(fields.begin() + 54, masks.begin(), masks.end());
  image = kqprint::ReadImageFile(Write("e.bmp", fields));
  EXPECT_EQ(image.masks, (std::array<ULONG, 3>{0xF800, 0x07E0, 0x001F}));
  EXPECT_EQ(image.bits[0], 0xE0) << "the top row is the file's second";
  // Masks the engine cannot take: overlapping, not one run of bits, beyond the 16 bits, none for a colour.
  auto withMasks = [&](std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    std::vector<std::uint8_t> b = fields;
    Put(b, 54, red, 4), Put(b, 58, green, 4), Put(b, 62, blue, 4);
    return b;
  };
  // Cut short, compressed, of an unknown depth or with bad masks: a clear error naming the file.
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
           {"short.bmp", {'B', 'M', 0, 0}},
           {"cut.bmp", Bmp(24, false, {1, 2, 3})},
           {"deep.bmp", Bmp(2, false, rows24)},
           {"none.bmp", {'X', 'Y', 'Z', 0, 0, 0, 0, 0, 0}},
           {"overlap.bmp", withMasks(0xF800, 0x0FE0, 0x001F)},
           {"gappy.bmp", withMasks(0xF000, 0x07E0, 0x0015)},
           {"wide.bmp", withMasks(0xF8000, 0x07E0, 0x001F)},
           {"nogreen.bmp", withMasks(0xF800, 0, 0x001F)}}) {
    try {
      kqprint::ReadImageFile(Write(name, bytes));
      ADD_FAILURE() << name << " was read";
    } catch (const kqprint::JobError& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
  }
}

TEST_F(ImageFiles, DamagedOrOversizedPngAndJpegFilesAreBadImages) {
  std::ifstream in(kExamples / "photo.jpg", std::ios::binary);
  const std::vector<std::uint8_t> jpeg((std::istreambuf_iterator<char>(in)), {});
  // A PNG whose header claims 100000 x 100000 pixels, its checksums right, followed by the start of its data.
  std::vector<std::uint8_t> huge = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, std::vector<std::uint8_t> data) {
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t byte : typed) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    crc = ~crc;
    for (int shift = 24; shift >= 0; shift -= 8) huge.push_back(static_cast<std::uint8_t>(data.size() >> shift));
    huge.insert(huge.end(), typed.begin(), typed.end());
    for (int shift = 24; shift >= 0; shift -= 8) huge.push_back(static_cast<std::uint8_t>(crc >> shift));
  };
  chunk("IHDR", {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0});
  chunk("IDAT", {0x78, 0x9C, 0x03, 0, 0, 0, 0, 1});
  chunk("IEND", {});
  for (const auto& [name, bytes, expected] : std::vector<std::tuple<std::string, std::vector<std::uint8_t>, std::string>>{
           {"cut.jpg", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), "the JPEG data is damaged or cut short"},
           {"header.jpg", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 200), "not a JPEG file"},
           {"huge.png", huge, "the image is empty or too large"}}) {
    try {
      kqprint::ReadImageFile(Write(name, bytes));
      ADD_FAILURE() << name << " was read";
    } catch (const kqprint::JobError& e) {
      EXPECT_NE(std::string(e.what()).find(name + ": " + expected), std::string::npos) << e.what();
    }
  }
}

TEST_F(ImageFiles, PngAndJpegFilesOfTheSample) {
  const auto logo = kqprint::ReadImageFile(kExamples / "logo.png");
  EXPECT_TRUE(logo.alpha);
  EXPECT_EQ(logo.bitsPerPixel, 32u);
  // Premultiplied: no colour byte above its alpha.
  for (std::size_t i = 0; i < logo.bits.size(); i += 4)
    for (int c = 0; c < 3; ++c) ASSERT_LE(logo.bits[i + c], logo.bits[i + 3]);
  const auto photo = kqprint::ReadImageFile(kExamples / "photo.jpg");
  EXPECT_EQ(photo.width, 240);
  EXPECT_EQ(photo.height, 160);
  EXPECT_FALSE(photo.jpeg.empty());
  const auto png = kqprint::ReadImageFile(kExamples / "photo.png");
  EXPECT_FALSE(png.alpha);
  EXPECT_TRUE(png.jpeg.empty());
}

std::string ErrorOf(ordered_json op) {
  const kqprint::OpKind* kind = kqprint::FindOp(op["op"].get<std::string>());
  const bool takesFile = kind && std::find(kind->fields.begin(), kind->fields.end(), "file") != kind->fields.end();
  if (takesFile && !op.contains("file") && !op.contains("fill")) op["file"] = "photo.png";
  const ordered_json job = {{"pages", ordered_json::array({{{"ops", ordered_json::array({op})}}})}};
  try {
    kqprint::ParseJob(job, kExamples);
  } catch (const kqprint::JobError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ImageOps, BadFieldsAreRefusedWhenTheJobIsRead) {
  struct Case {
    ordered_json op;
    const char* expected;
  } cases[] = {
      {{{"op", "image"}, {"rect", {0, 0, 10, 10}}, {"rop", "xor"}}, "\"rop\": unknown value \"xor\""},
      {{{"op", "image"}, {"rect", {0, 0, 10, 10}}, {"source", {0, 0, 161, 10}}}, "within the image's 160 x 120"},
      // Beyond any integer, either way: refused as numbers, never converted.
      {{{"op", "image"}, {"rect", {0, 0, 10, 10}}, {"source", {0, 0, 1e300, 10}}}, "within the image's 160 x 120"},
      {{{"op", "alpha"}, {"rect", {0, 0, 10, 10}}, {"source", {-1e300, 0, 10, 10}}}, "within the image's 160 x 120"},
      {{{"op", "image"}, {"rect", {0, 0, 10, 10}}, {"source", {0.2, 0, 0.8, 10}}}, "whole pixels"},
      {{{"op", "image"}, {"file", "missing.png"}, {"rect", {0, 0, 10, 10}}}, "missing.png"},
      {{{"op", "gradient"}, {"mode", "radial"}, {"rect", {0, 0, 10, 10}}, {"colors", {"#000000", "#ffffff"}}},
       "\"mode\""},
      {{{"op", "gradient"}, {"mode", "rect-h"}, {"rect", {0, 0, 10, 10}}, {"colors", {"#000000"}}}, "two colours"},
      {{{"op", "gradient"}, {"mode", "triangles"}, {"points", {{0, 0}, {1, 1}}}, {"colors", {"#000000", "#ffffff"}}},
       "three points"},
      {{{"op", "alpha"}, {"rect", {0, 0, 10, 10}}, {"opacity", 2}}, "from 0 to 1"},
      {{{"op", "transparent"}, {"rect", {0, 0, 10, 10}}}, "\"key\" is missing"},
      {{{"op", "plg"}, {"points", {{0, 0}, {1, 1}}}}, "the corners A, B and C"},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorOf(c.op);
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.op.dump() << ": " << error;
  }
  // Every op is in the table, with its fields, for the strict reader and the help.
  for (const char* op : {"image", "gradient", "alpha", "transparent", "plg"}) {
    ASSERT_NE(kqprint::FindOp(op), nullptr) << op;
    EXPECT_FALSE(kqprint::FindOp(op)->fields.empty()) << op;
  }
}

}  // namespace
