#include <array>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "image_fixture.h"
#include "pdf/encoders.h"
#include "pdf/jpeg_decode.h"

// After the platform's headers: it defines TRUE and FALSE as macros.
#include <jpeglib.h>
namespace {

using JpegAndParallelogram = ImagePageTest;

// A JPEG file made by libjpeg of `height` copies of one row of samples (`components` a pixel, in `space`).
std::string LibjpegFile(JDIMENSION width, JDIMENSION height, int components, J_COLOR_SPACE space,
                        std::vector<unsigned char> row) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

// A greyscale JPEG file (one component) of a small ramp.
std::string GreyJpeg() {
  std::vector<unsigned char> row(8);
  for (int i = 0; i < 8; ++i) row[i] = static_cast<unsigned char>(i * 32);
  return LibjpegFile(8, 4, 1, JCS_GRAYSCALE, row);
}

std::string RgbJpeg(std::int32_t width, std::int32_t height) {
  std::vector<std::uint8_t> pixels(3u * width * height, 0x80);
  return *DctEncode(DctImage{pixels.data(), static_cast<std::int32_t>(pixels.size()), width, height});
}

SURFOBJ JpegSource(const std::string& file, LONG width, LONG height) {
  SURFOBJ so{};
  so.iBitmapFormat = BMF_JPEG;
  so.pvBits = so.pvScan0 = const_cast<char*>(file.data());
  so.cjBits = static_cast<ULONG>(file.size());
  so.sizlBitmap = SIZEL{width, height};
  return so;
}

TEST_F(JpegAndParallelogram, JpegSourcesPassThroughWholeWithTheirColourSpace) {
  const std::string rgb = RgbJpeg(30, 20);
  SURFOBJ source = JpegSource(rgb, 30, 20);
  // Only part of the JPEG is asked for: the whole image still fills the destination.
  writer_.DrawBitmap(&source, nullptr, RECTL{100, 200, 400, 500}, RECTL{5, 5, 10, 10});
  EXPECT_EQ(Take(), "q 72 0 0 72 24 672 cm /Im4 Do Q\n");
  const std::string dict = Dictionary(4);
  EXPECT_EQ(doctest::Value(dict, "/ColorSpace"), "2 0 R");
  EXPECT_EQ(doctest::Value(dict, "/Filter"), "/DCTDecode");
  EXPECT_EQ(doctest::Value(dict, "/Width"), "30");
  EXPECT_EQ(doctest::Value(dict, "/Height"), "20");
  EXPECT_EQ(doctest::StreamData(Object(4)), rgb);

  const std::string grey = GreyJpeg();
  SURFOBJ greySource = JpegSource(grey, 8, 4);
  writer_.DrawBitmap(&greySource, nullptr, RECTL{0, 0, 8, 4}, RECTL{0, 0, 8, 4});
  std::string ramp = "[/Indexed 2 0 R 255 <";
  char hex[8];
  for (int i = 0; i < 256; ++i) {
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", i, i, i);
    ramp += hex;
  }
  EXPECT_EQ(doctest::Value(Dictionary(5), "/ColorSpace"), ramp + "> ]");
  EXPECT_EQ(doctest::Value(Dictionary(5), "/BitsPerComponent"), "8");
  EXPECT_EQ(writer_.pageImages, (std::vector<std::uint32_t>{4, 5}));
}

TEST_F(JpegAndParallelogram, JpegDataWhoseHeaderCannotBeReadDrawsNothing) {
  const std::string rgb = RgbJpeg(30, 20);
  for (const std::string& bad : {std::string("\xFF\xD8\xFF", 3), rgb.substr(0, 40), std::string("not a jpeg")}) {
    SURFOBJ source = JpegSource(bad, 30, 20);
    writer_.DrawBitmap(&source, nullptr, RECTL{0, 0, 30, 20}, RECTL{0, 0, 30, 20});
  }
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.lastObjectNumber, 3u);
  EXPECT_TRUE(writer_.pageImages.empty());
}

// Data cut short keeps its header, so only reading it to the end shows it is broken: it is passed through nowhere,
// on a rectangle or a parallelogram.
TEST_F(JpegAndParallelogram, JpegDataCutShortDrawsNothing) {
  const std::string rgb = RgbJpeg(64, 48);
  const POINTL corners[3] = {{0, 0}, {64, 0}, {0, 48}};
  for (std::size_t kept : {rgb.size() - 2, rgb.size() - 40, rgb.size() / 2}) {
    const std::string cut = rgb.substr(0, kept);
    SURFOBJ source = JpegSource(cut, 64, 48);
    writer_.DrawBitmap(&source, nullptr, RECTL{0, 0, 64, 48}, RECTL{0, 0, 64, 48});
    writer_.DrawParallelogramImage(&source, nullptr, nullptr, corners, RECTL{0, 0, 64, 48});
  }
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.lastObjectNumber, 3u);
  EXPECT_TRUE(writer_.pageImages.empty());
}

TEST(JpegDecoding, WholeDataGivesRgbRowsAndDataCutShortNothing) {
  const std::string rgb = RgbJpeg(30, 20);  // every sample 0x80
  // A progressive frame of 185 bytes that claims 46352 x 65284 pixels, whose coefficients would take gigabytes.
  const std::string huge(
      "\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb\x00\x43"
      "\x00\x14\x0e\x0f\x12\x0f\x0d\x14\x12\x10\xb4\xb4\xb4\xa0\xb4\xb4\x1d\x00\x00\xb4\xb4\xb4\xb4\xb4"
      "\x26\xb4\xb4\xb4\xb4\xb4\xb4\xb4\xb4\xb4\xb4\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x27\x00\x00\x00\x00\x00\xb4\xb4\xb4\x7c\x7c\x7c\xff\xc2\x00\x11\x08\xb5"
      "\x10\xff\x04\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\x00\x00\x02\x00\x02\x10\x03\x10\x2e\x27\xff"
      "\xc4\x00\x18\x10\x00\x02\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x32\x01\x41"
      "\x07\x07\x07\x07\x07\x07\x23\x07\x07\x07\x47\x07\x07\x07\x07\x07\x07\x07\x07\x07\x07\x07\x07\x07"
      "\x07\x42\xff\xda\x00\x08\x01\x01\x00\x01\x05\x02\x51\x6c\xdf\xff\xd9",
      185);
  const std::string cmyk = LibjpegFile(4, 4, 4, JCS_CMYK, std::vector<unsigned char>(16, 0));
  const struct {
    const char* what;
    std::string data;
    std::size_t mostBytes;
    bool whole;
    std::uint32_t width, height;
    std::array<int, 3> first;  // the top left pixel, when pixels are kept
  } cases[] = {
      {"RGB", rgb, 1 << 20, true, 30, 20, {128, 128, 128}},
      {"grey ramp", GreyJpeg(), 1 << 20, true, 8, 4, {0, 0, 0}},
      // libjpeg marks CMYK with an Adobe marker, so zero samples are full ink: black.
      {"inverted CMYK", cmyk, 1 << 20, true, 4, 4, {0, 0, 0}},
      {"checked only", rgb, 0, true, 30, 20, {}},
      {"more pixels than allowed", rgb, 30 * 20 * 3 - 1, true, 30, 20, {}},
      {"no end marker", rgb.substr(0, rgb.size() - 2), 1 << 20, false, 0, 0, {}},
      {"cut in the scan", rgb.substr(0, rgb.size() - 30), 1 << 20, false, 0, 0, {}},
      {"cut in the scan, checked only", rgb.substr(0, rgb.size() - 30), 0, false, 0, 0, {}},
      {"header only", rgb.substr(0, 40), 1 << 20, false, 0, 0, {}},
      {"progressive, claiming billions of pixels", huge, 1 << 20, false, 0, 0, {}},
      {"empty", std::string(), 1 << 20, false, 0, 0, {}},
  };
  for (const auto& c : cases) {
    const DecodedJpeg image =
        DecodeJpeg(reinterpret_cast<const std::uint8_t*>(c.data.data()), c.data.size(), c.mostBytes);
    EXPECT_EQ(image.whole, c.whole) << c.what;
    if (!c.whole) {
      EXPECT_TRUE(image.rgb.empty()) << c.what;
      continue;
    }
    EXPECT_EQ(image.width, c.width) << c.what;
    EXPECT_EQ(image.height, c.height) << c.what;
    const bool kept = std::size_t{c.width} * c.height * 3 <= c.mostBytes;
    ASSERT_EQ(image.rgb.size(), kept ? std::size_t{c.width} * c.height * 3 : 0) << c.what;
    if (!kept) continue;
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(image.rgb[k], c.first[k], 3) << c.what << ", channel " << k;
  }
}

TEST_F(JpegAndParallelogram, AParallelogramMapsTheImagesCornersOntoItsOwn) {
  TestBitmap bitmap(BMF_24BPP, 4, 4, true);
  auto identity = kq::XlateObject::Identity();
  struct Case {
    const char* name;
    POINTL corners[3];
    const char* placement;
  } cases[] = {
      // No turn: the box's size and shear factors of 0.
      {"upright", {{100, 100}, {300, 100}, {100, 400}}, "q 48 0 0 72 24 696 cm 1 0 0 1 0 0 cm /Im4 Do Q\n"},
      // Sheared: the bottom edge rises 10 pixels (2.4 points) over its 48 points.
      {"sheared", {{100, 100}, {300, 90}, {100, 400}}, "q 48 0 0 72 24 696 cm 1 0.0333333 0 1 0 0 cm /Im5 Do Q\n"},
      // A quarter turn has no two-matrix form: one matrix.
      {"quarter turn", {{400, 100}, {400, 300}, {100, 100}}, "q 0 -48 72 0 24 768 cm /Im6 Do Q\n"},
  };
  for (const Case& c : cases) {
    writer_.DrawParallelogramImage(bitmap.so(), nullptr, identity->Object(), c.corners, RECTL{0, 0, 4, 4});
    EXPECT_EQ(Take(), c.placement) << c.name;
  }
  EXPECT_EQ(writer_.pageImages, (std::vector<std::uint32_t>{4, 5, 6}));
  EXPECT_EQ(doctest::Value(Dictionary(6), "/Width"), "4");
}

TEST_F(JpegAndParallelogram, ImagesWrittenAtOnceComeAfterTheQueuedOnes) {
  TestBitmap rgb(BMF_24BPP, 4, 4, true);
  TestBitmap indexed(BMF_8BPP, 4, 4, true);
  auto identity = kq::XlateObject::Identity();
  auto table = kq::XlateObject::Table({0, 0xFFFFFF});
  for (LONG i = 0; i < 3; ++i) writer_.DrawBitmap(rgb.so(), identity->Object(), RECTL{i * 10, 0, i * 10 + 4, 4}, RECTL{0, 0, 4, 4});
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.queuedImages.size(), 3u);
  writer_.DrawBitmap(indexed.so(), table->Object(), RECTL{0, 0, 4, 4}, RECTL{0, 0, 4, 4});
  const std::string content = Take();
  // The three queued images (objects 4 to 6), then the indexed one (7) on top.
  EXPECT_LT(content.find("/Im6 Do"), content.find("/Im7 Do"));
  EXPECT_EQ(writer_.pageImages, (std::vector<std::uint32_t>{4, 5, 6, 7}));
  EXPECT_TRUE(writer_.queuedImages.empty());
  EXPECT_EQ(doctest::Value(Dictionary(7), "/BitsPerComponent"), "8");

  // A parallelogram and a JPEG after a queued image likewise.
  writer_.DrawBitmap(rgb.so(), identity->Object(), RECTL{0, 0, 4, 4}, RECTL{0, 0, 4, 4});
  const POINTL corners[3] = {{0, 0}, {4, 0}, {0, 4}};
  writer_.DrawParallelogramImage(rgb.so(), nullptr, identity->Object(), corners, RECTL{0, 0, 4, 4});
  const std::string jpeg = RgbJpeg(4, 4);
  writer_.DrawBitmap(rgb.so(), identity->Object(), RECTL{0, 0, 4, 4}, RECTL{0, 0, 4, 4});
  SURFOBJ jpegSource = JpegSource(jpeg, 4, 4);
  writer_.DrawBitmap(&jpegSource, nullptr, RECTL{0, 0, 4, 4}, RECTL{0, 0, 4, 4});
  const std::string later = Take();
  EXPECT_LT(later.find("/Im8 Do"), later.find("/Im9 Do"));
  EXPECT_LT(later.find("/Im10 Do"), later.find("/Im11 Do"));
}

TEST_F(JpegAndParallelogram, ACancelledJobAndPngSourcesDrawNothing) {
  TestBitmap rgb(BMF_24BPP, 4, 4, true);
  auto identity = kq::XlateObject::Identity();
  SURFOBJ png = *rgb.so();
  png.iBitmapFormat = BMF_PNG;
  writer_.DrawBitmap(&png, identity->Object(), RECTL{0, 0, 4, 4}, RECTL{0, 0, 4, 4});
  const POINTL corners[3] = {{0, 0}, {4, 0}, {0, 4}};
  writer_.DrawParallelogramImage(&png, nullptr, identity->Object(), corners, RECTL{0, 0, 4, 4});
  writer_.cancelled = 1;
  writer_.DrawBitmap(rgb.so(), identity->Object(), RECTL{0, 0, 4, 4}, RECTL{0, 0, 4, 4});
  writer_.DrawParallelogramImage(rgb.so(), nullptr, identity->Object(), corners, RECTL{0, 0, 4, 4});
  EXPECT_EQ(Take(), "");
  EXPECT_TRUE(writer_.queuedImages.empty());
  EXPECT_EQ(writer_.lastObjectNumber, 3u);
}

}  // namespace
