#include <cstddef>
#include <cstdio>

#include "image_fixture.h"
#include "pdf/encoders.h"

// After the platform's headers: it defines TRUE and FALSE as macros.
#include <jpeglib.h>
namespace {

using JpegAndParallelogram = ImagePageTest;

// A greyscale JPEG file (one component) of a small ramp.
std::string GreyJpeg() {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 8;
  cinfo.image_height = 4;
  cinfo.input_components = 1;
  cinfo.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  unsigned char row[8];
  for (int i = 0; i < 8; ++i) row[i] = static_cast<unsigned char>(i * 32);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row;
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
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
