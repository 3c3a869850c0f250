#include <array>

#include "image_fixture.h"
#include "pdf/encoders.h"

namespace {

using Images = ImagePageTest;

// A pixel value of the source from its position: different for every pixel of a small bitmap.
ULONG Pattern(LONG x, LONG y) { return static_cast<ULONG>(x * 37 + y * 101 + 11); }

struct FormatCase {
  const char* name;
  ULONG format;
  ULONG bits;
  kq::PaletteInfo palette;  // the source's colours (indexed: the table)
  // The RGB colour (0x00BBGGRR) the source value stands for; unused for indexed sources.
  std::function<ULONG(ULONG)> rgb;
};

std::vector<FormatCase> FormatCases() {
  kq::PaletteInfo two = Mode(PAL_INDEXED);
  two.colors = {0x000000, 0xFFFFFF};
  kq::PaletteInfo sixteen = Mode(PAL_INDEXED);
  for (ULONG i = 0; i < 16; ++i) sixteen.colors.push_back(i * 0x0F0F0F);
  kq::PaletteInfo many = Mode(PAL_INDEXED);
  for (ULONG i = 0; i < 200; ++i) many.colors.push_back((i * 0x010305) & 0xFFFFFF);
  const auto five = [](ULONG v) { return (v * 255 + 15) / 31; };
  const auto six = [](ULONG v) { return (v * 255 + 31) / 63; };
  return {
      {"1 bit", BMF_1BPP, 1, two, nullptr},
      {"4 bits", BMF_4BPP, 4, sixteen, nullptr},
      {"8 bits", BMF_8BPP, 8, many, nullptr},
      {"16 bits 5-5-5", BMF_16BPP, 16, Bitfields(0x7C00, 0x03E0, 0x001F),
       [five](ULONG v) { return five((v >> 10) & 31) | five((v >> 5) & 31) << 8 | five(v & 31) << 16; }},
      {"16 bits 5-6-5", BMF_16BPP, 16, Bitfields(0xF800, 0x07E0, 0x001F),
       [five, six](ULONG v) { return five((v >> 11) & 31) | six((v >> 5) & 63) << 8 | five(v & 31) << 16; }},
      // Blue, green, red in memory: the value is 0x00RRGGBB.
      {"24 bits", BMF_24BPP, 24, Mode(PAL_BGR),
       [](ULONG v) { return ((v >> 16) & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16; }},
      {"32 bits", BMF_32BPP, 32, Mode(PAL_BGR),
       [](ULONG v) { return ((v >> 16) & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16; }},
  };
}

TEST_F(Images, EverySourceFormatTopDownAndBottomUpGivesTheRectanglesPixels) {
  const RECTL src{5, 2, 16, 7};  // an odd width from an odd column
  for (const FormatCase& c : FormatCases()) {
    for (bool topDown : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (topDown ? " top-down" : " bottom-up"));
      TestBitmap bitmap(c.format, 19, 9, topDown);
      const ULONG limit = c.bits <= 8 ? static_cast<ULONG>(c.palette.colors.size()) : (c.bits == 16 ? 0x10000 : 0x1000000);
      const auto value = [&](LONG x, LONG y) { return (Pattern(x, y) * 2654435761u >> 8) % limit; };
      bitmap.Fill(c.bits, value);
      std::unique_ptr<kq::XlateObject> xlate = c.bits <= 8 ? kq::XlateObject::Table(c.palette.colors)
                                                           : kq::XlateObject::Between(c.palette, Mode(PAL_RGB));
      const auto image = ImageFromSurface(bitmap.so(), xlate->Object(), src);
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->width, 11);
      EXPECT_EQ(image->height, 5);
      if (c.bits <= 8) {
        EXPECT_EQ(image->bits, c.bits);
        EXPECT_EQ(image->palette, c.palette.colors);
        const std::size_t row = (c.bits * 11 + 7) / 8;
        ASSERT_EQ(image->pixels.size(), row * 5);
        for (LONG y = 0; y < 5; ++y)
          for (LONG x = 0; x < 11; ++x) {
            const std::uint8_t* r = image->pixels.data() + row * y;
            const ULONG got = c.bits == 8 ? r[x] : c.bits == 4 ? (r[x / 2] >> (x % 2 ? 0 : 4)) & 0xF : (r[x / 8] >> (7 - x % 8)) & 1;
            ASSERT_EQ(got, value(src.left + x, src.top + y)) << x << "," << y;
          }
        // Bits past the last pixel of a row stay clear.
        if (c.bits < 8) {
          EXPECT_EQ(image->pixels[row - 1] & (0xFF >> ((c.bits * 11) % 8)), 0);
        }
      } else {
        EXPECT_EQ(image->bits, 24u);
        EXPECT_TRUE(image->palette.empty());
        ASSERT_EQ(image->pixels.size(), 3u * 11 * 5);
        for (LONG y = 0; y < 5; ++y)
          for (LONG x = 0; x < 11; ++x) {
            const std::uint8_t* p = image->pixels.data() + 3 * (11 * y + x);
            const ULONG expected = c.rgb(value(src.left + x, src.top + y));
            ASSERT_EQ(ULONG{p[0]} | ULONG{p[1]} << 8 | ULONG{p[2]} << 16, expected) << x << "," << y;
          }
      }
    }
  }
}

TEST_F(Images, SourcesTheWriterCannotReadGiveNoImage) {
  TestBitmap eight(BMF_8BPP, 10, 10, true);
  TestBitmap rgb(BMF_24BPP, 10, 10, true);
  auto table = kq::XlateObject::Table({0, 0xFFFFFF});
  std::vector<ULONG> tooMany(257, 0);
  auto huge = kq::XlateObject::Table(tooMany);
  auto none = kq::XlateObject::Table({});
  auto identity = kq::XlateObject::Identity();
  SURFOBJ noBits = *rgb.so();
  noBits.pvScan0 = nullptr;
  SURFOBJ rle = *eight.so();
  rle.iBitmapFormat = BMF_8RLE;
  struct Case {
    const char* name;
    SURFOBJ* source;
    XLATEOBJ* xlate;
    RECTL rect;
  } cases[] = {
      {"no bits", &noBits, identity->Object(), {0, 0, 5, 5}},
      {"run-length format", &rle, table->Object(), {0, 0, 5, 5}},
      {"empty rectangle", rgb.so(), identity->Object(), {3, 3, 3, 8}},
      {"inverted rectangle", rgb.so(), identity->Object(), {5, 5, 2, 8}},
      {"right of the bitmap", rgb.so(), identity->Object(), {5, 0, 11, 5}},
      {"above the bitmap", rgb.so(), identity->Object(), {0, -1, 5, 5}},
      {"indexed without a table", eight.so(), identity->Object(), {0, 0, 5, 5}},
      {"indexed without a translation", eight.so(), nullptr, {0, 0, 5, 5}},
      {"a palette of no colours", eight.so(), none->Object(), {0, 0, 5, 5}},
      {"a palette past 2^bits", eight.so(), huge->Object(), {0, 0, 5, 5}},
  };
  for (const Case& c : cases) EXPECT_EQ(ImageFromSurface(c.source, c.xlate, c.rect), nullptr) << c.name;
  EXPECT_EQ(ImageFromSurface(nullptr, table->Object(), RECTL{0, 0, 1, 1}), nullptr);
}

ImageRecord Rgb(std::int32_t width, std::int32_t height, const std::function<std::uint8_t(std::size_t)>& byte) {
  ImageRecord image;
  image.width = width;
  image.height = height;
  image.pixels.resize(3u * width * height);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = byte(i);
  return image;
}

TEST_F(Images, TheImageObjectNamesItsColourSpaceAndTakesTheSmallerEncoding) {
  // Indexed: the palette inline, never DCT; two bytes that Flate cannot shrink stay raw.
  writer_.imageCompression = 1;
  ImageRecord indexed;
  indexed.width = 9;
  indexed.height = 1;
  indexed.bits = 1;
  indexed.palette = {0x000000, 0xFFFFFF};
  indexed.pixels = {0xAA, 0x80};
  indexed.objectNumber = ++writer_.lastObjectNumber;
  writer_.WriteImageObject(indexed);
  EXPECT_EQ(Dictionary(4), "4 0 obj\n<<\n/BitsPerComponent 1 \n/ColorSpace [/Indexed 2 0 R 1 <000000FFFFFF> ] \n"
                           "/Height 1 \n/Length " +
                               std::to_string(doctest::StreamData(Object(4)).size()) + " \n/Subtype /Image \n"
                               "/Type /XObject \n/Width 9 \n");
  EXPECT_EQ(Data(4), std::string("\xAA\x80", 2));

  struct Case {
    const char* name;
    DWORD compression;
    ImageRecord image;
  };
  std::uint32_t seed = 1;
  const auto noise = [&seed](std::size_t) { return static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16); };
  std::vector<Case> cases;
  cases.push_back({"flat colour, Flate", 0, Rgb(64, 64, [](std::size_t i) { return static_cast<std::uint8_t>(i % 3 * 80); })});
  cases.push_back({"three pixels Flate cannot shrink: raw", 0, Rgb(3, 1, noise)});
  cases.push_back({"noise, lossy", 1, Rgb(64, 64, noise)});
  cases.push_back({"flat colour, lossy", 1, Rgb(64, 64, [](std::size_t i) { return static_cast<std::uint8_t>(i % 3 * 80); })});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    writer_.imageCompression = c.compression;
    c.image.objectNumber = ++writer_.lastObjectNumber;
    writer_.WriteImageObject(c.image);
    const std::string dict = Dictionary(c.image.objectNumber);
    EXPECT_NE(dict.find("/BitsPerComponent 8 \n/ColorSpace 2 0 R \n"), std::string::npos) << dict;
    const std::string raw(c.image.pixels.begin(), c.image.pixels.end());
    if (!c.compression) {
      const std::string flate = *FlateEncode(raw.data(), raw.size());
      if (flate.size() < raw.size()) {
        EXPECT_EQ(doctest::Value(dict, "/Filter"), "/FlateDecode");
      } else {
        EXPECT_EQ(dict.find("/Filter"), std::string::npos);
      }
      EXPECT_EQ(Data(c.image.objectNumber), raw);
      continue;
    }
    const std::string jpeg = *DctEncode(DctImage{c.image.pixels.data(), static_cast<std::int32_t>(raw.size()), 64, 64});
    const std::string flate = *FlateEncode(jpeg.data(), jpeg.size());
    // Flate over the JPEG only when it saves more than 20 bytes.
    EXPECT_EQ(doctest::Value(dict, "/Filter"), flate.size() + 20 < jpeg.size() ? "[/FlateDecode /DCTDecode]" : "/DCTDecode");
    EXPECT_EQ(Data(c.image.objectNumber), jpeg);
  }
}

TEST_F(Images, APlacedImagePaintsOverItsRectangleAndJoinsThePagesImages) {
  ImageRecord image = Rgb(2, 2, [](std::size_t) { return 0; });
  writer_.lastObjectNumber = 11;
  PendText();
  writer_.PlaceImage(image, RECTL{100, 200, 400, 500}, *writer_.contentStream);
  EXPECT_EQ(Take(), "BT (pending) ET\nq 72 0 0 72 24 672 cm /Im12 Do Q\n");
  EXPECT_EQ(image.objectNumber, 12u);
  EXPECT_EQ(writer_.pageImages, std::vector<std::uint32_t>{12});
  EXPECT_NE(Object(12).find("/Subtype /Image"), std::string::npos);
  // Right left of left mirrors.
  writer_.PlaceImage(image, RECTL{400, 200, 100, 500}, *writer_.contentStream);
  EXPECT_EQ(Take(), "q -72 0 0 72 96 672 cm /Im13 Do Q\n");
}
}  // namespace
