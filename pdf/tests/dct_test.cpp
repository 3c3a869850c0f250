#include <cstdio>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include <csetjmp>
#include <random>
#include <vector>

#include "../src/dct_internal.h"
#include "pdf/encoders.h"

namespace {

struct Decoded {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  std::vector<std::uint8_t> pixels;
};

struct DecodeError {
  jpeg_error_mgr base;
  std::jmp_buf exit;
};

void DecodeErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<DecodeError*>(cinfo->err)->exit, 1); }

// Decodes a JPEG with libjpeg, as an independent reader would.
void DecodeInto(const std::string& jpeg, jpeg_decompress_struct& cinfo, DecodeError& error, Decoded& result) {
  cinfo.err = jpeg_std_error(&error.base);
  error.base.error_exit = DecodeErrorExit;
  if (setjmp(error.exit)) {
    jpeg_destroy_decompress(&cinfo);
    return;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  result.width = static_cast<int>(cinfo.output_width);
  result.height = static_cast<int>(cinfo.output_height);
  result.components = cinfo.output_components;
  result.pixels.resize(static_cast<std::size_t>(result.width) * result.height * result.components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = result.pixels.data() + static_cast<std::size_t>(cinfo.output_scanline) * result.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  result.ok = true;
}

Decoded Decode(const std::string& jpeg) {
  Decoded result;
  jpeg_decompress_struct cinfo{};
  DecodeError error{};
  DecodeInto(jpeg, cinfo, error, result);
  return result;
}

std::vector<std::uint8_t> Noise(int width, int height) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  for (auto& p : pixels) p = static_cast<std::uint8_t>(random());
  return pixels;
}

DctImage Image(const std::vector<std::uint8_t>& pixels, int width, int height) {
  return DctImage{pixels.data(), static_cast<std::int32_t>(pixels.size()), width, height};
}

bool HasMarker(const std::string& jpeg, unsigned char marker) {
  return jpeg.find(std::string{'\xFF', static_cast<char>(marker)}) != std::string::npos;
}

TEST(Dct, OutputDecodesToTheImagesSizeAndComponents) {
  struct Size {
    int width, height;
  };
  // 1 x 1 and 4 x 4 make JPEGs far larger than their pixels; 640 x 480 a large one.
  for (const Size size : {Size{1, 1}, Size{4, 4}, Size{17, 3}, Size{3, 200}, Size{640, 480}}) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    const auto pixels = Noise(size.width, size.height);
    const auto jpeg = DctEncode(Image(pixels, size.width, size.height));
    ASSERT_TRUE(jpeg);
    ASSERT_GE(jpeg->size(), 4u);
    EXPECT_EQ(jpeg->substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(jpeg->substr(jpeg->size() - 2), "\xFF\xD9");
    EXPECT_TRUE(HasMarker(*jpeg, 0xDB)) << "quantisation tables";
    EXPECT_TRUE(HasMarker(*jpeg, 0xC4)) << "Huffman tables";
    EXPECT_TRUE(HasMarker(*jpeg, 0xC0)) << "baseline frame";
    const Decoded decoded = Decode(*jpeg);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, size.width);
    EXPECT_EQ(decoded.height, size.height);
    EXPECT_EQ(decoded.components, 3);
  }
}

TEST(Dct, AFlatColourComesBackClose) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < 32 * 32; ++i) pixels.insert(pixels.end(), {200, 100, 50});
  const Decoded decoded = Decode(*DctEncode(Image(pixels, 32, 32)));
  ASSERT_TRUE(decoded.ok);
  for (std::size_t i = 0; i < decoded.pixels.size(); ++i)
    ASSERT_NEAR(decoded.pixels[i], pixels[i], 3) << "byte " << i;
}

TEST(Dct, TheDestinationGrowsInsteadOfStopping) {
  // A JPEG larger than its pixels and far larger than the first room: the destination doubles until it fits.
  const auto pixels = Noise(4, 4);
  const auto grown = EncodeJpeg(Image(pixels, 4, 4), 16);
  ASSERT_TRUE(grown);
  EXPECT_GT(grown->size(), pixels.size() + 16);
  EXPECT_EQ(*grown, *DctEncode(Image(pixels, 4, 4)));
  const auto large = Noise(300, 200);
  EXPECT_EQ(*EncodeJpeg(Image(large, 300, 200), 1), *DctEncode(Image(large, 300, 200)));
}

TEST(Dct, WhatLibjpegCannotTakeGivesNoJpeg) {
  const auto pixels = Noise(8, 8);
  struct Case {
    const char* label;
    DctImage image;
  };
  const Case cases[] = {
      {"no pixels", DctImage{nullptr, 192, 8, 8}},
      {"zero width", DctImage{pixels.data(), 192, 0, 8}},
      {"negative height", DctImage{pixels.data(), 192, 8, -8}},
      {"fewer bytes than the size needs", DctImage{pixels.data(), 191, 8, 8}},
      {"negative byte count", DctImage{pixels.data(), -1, 8, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_FALSE(DctEncode(c.image));
  }
  // libjpeg itself refuses these through its error exit, which must not return.
  const std::vector<std::uint8_t> line(70000 * 3, 128);
  EXPECT_FALSE(DctEncode(Image(line, 70000, 1)));
  EXPECT_FALSE(DctEncode(Image(line, 1, 65501)));
  EXPECT_TRUE(DctEncode(Image(line, 65500, 1)));
}

}  // namespace
