// Images and gradients printed through the application side and the real libtelodrv.so, in vector and in
// transparent mode: qpdf checks each file, pdfimages lists its images, and the page as poppler and mupdf render it
// is compared with the engine's own rendering of the same ops into a 24-bit page (a reference driver that hooks no
// drawing). The sample's second page is the job: a JPEG passed through, a PNG, a logo with per-pixel alpha, a
// half-transparent rectangle, a colour-keyed image, an XOR blit, a parallelogram image and three kinds of gradient.
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "draw_ops.h"
#include "endtoend_fixture.h"
#include "win/appgdi.h"

namespace e2e {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kDpi = 300;
const std::filesystem::path kExamples = std::filesystem::path(KQ_SOURCE_DIR) / "examples";
const std::filesystem::path kReferenceDriver = std::filesystem::path(KQ_BINARY_DIR) / "tests" / "libkq_reference_driver.so";

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

std::optional<Image> ReadPpm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  Image image;
  in >> magic >> image.width >> image.height >> maxValue;
  if (magic != "P6" || maxValue != 255 || image.width <= 0 || image.height <= 0) return std::nullopt;
  in.get();
  image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
  if (!in) return std::nullopt;
  return image;
}

// Mean absolute difference per channel over a rectangle in points (the whole page without one).
std::array<double, 3> MeanDifference(const Image& a, const Image& b, std::optional<std::array<double, 4>> points) {
  const double scale = kDpi / 72.0;
  int x0 = 0, y0 = 0, x1 = std::min(a.width, b.width), y1 = std::min(a.height, b.height);
  if (points) {
    x0 = static_cast<int>((*points)[0] * scale), y0 = static_cast<int>((*points)[1] * scale);
    x1 = std::min(x1, static_cast<int>((*points)[2] * scale)), y1 = std::min(y1, static_cast<int>((*points)[3] * scale));
  }
  std::array<double, 3> sum{};
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < 3; ++c) {
        const auto at = [&](const Image& i) { return i.rgb[(static_cast<std::size_t>(y) * i.width + x) * 3 + c]; };
        sum[c] += std::abs(at(a) - at(b));
      }
  const double n = static_cast<double>(x1 - x0) * (y1 - y0);
  for (double& s : sum) s /= n;
  return sum;
}

struct Region {
  const char* name;
  std::array<double, 4> points;
  bool opaqueInVectorMode;  // vector mode paints it as the Parts say, without blend, key or raster operation
};

const Region kRegions[] = {
    {"JPEG photo", {72, 100, 312, 260}, false},       {"PNG photo", {330, 100, 540, 257}, false},
    {"logo with alpha", {82, 297, 178, 393}, true},   {"half-transparent red", {190, 310, 290, 380}, true},
    {"colour-keyed image", {340, 297, 436, 393}, true}, {"XOR blit", {444, 297, 540, 393}, true},
    {"parallelogram image", {110, 425, 285, 595}, false}, {"horizontal gradient", {72, 290, 300, 400}, true},
    {"vertical gradient", {330, 290, 540, 400}, true}, {"triangles of a rectangle", {330, 440, 540, 570}, false},
    {"triangle", {40, 600, 200, 700}, false},
};

class ImageEndToEnd : public EndToEndTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"qpdf", "pdfimages", "pdftoppm", "mutool"})
      if (RunCommand(std::string("command -v ") + tool).status != 0) GTEST_SKIP() << tool << " is not installed";
  }

  // The sample's page of images and gradients as a one-page Letter job at 300 dpi.
  static kqprint::PrintJob ImagesPage(bool transparent, int imageCompress) {
    std::ifstream in(kExamples / "sample.json");
    const Json sample = Json::parse(in);
    Json job = {{"document", "Images"},
                {"settings",
                 {{"PaperSize", 1}, {"DPI", kDpi}, {"GDIPunt", transparent ? 1 : 0}, {"ImageCompress", imageCompress},
                  {"OpenFile", 0}}},
                {"pages", Json::array({sample["pages"][1]})}};
    return kqprint::ParseJob(job, kExamples);
  }

  // The engine's own drawing of the job's first page into a 24-bit page of the same size.
  std::optional<Image> EngineRendering(const kqprint::PrintJob& job) {
    const auto target = out / "engine.ppm";
    kq::PrinterSettings settings;
    settings.driver = kReferenceDriver;
    settings.printerName = u"Reference";
    settings.port = kq::WideFromUtf8("2550x3300@300:" + target.string());
    auto dc = kq::DeviceContext::OpenPrinter(settings);
    if (!dc) {
      ADD_FAILURE() << "the reference driver did not open: " << GetLastError();
      return std::nullopt;
    }
    EXPECT_TRUE(dc->StartDocument(u"Reference"));
    EXPECT_TRUE(dc->StartPage());
    for (const auto& op : job.pages.at(0).ops) EXPECT_TRUE(op.drawing->Draw(*dc, kDpi / 72.0)) << op.op;
    EXPECT_TRUE(dc->EndDocument());
    return ReadPpm(out / "engine-1.ppm");
  }

  std::optional<Image> Rendered(const std::filesystem::path& pdf, bool mupdf) {
    const auto target = out / (pdf.stem().string() + (mupdf ? "-mupdf" : "-poppler"));
    const std::string command =
        mupdf ? "mutool draw -q -r " + std::to_string(kDpi) + " -o " + Quote(target.string() + ".ppm") + " " +
                    Quote(pdf.string()) + " 1"
              : "pdftoppm -r " + std::to_string(kDpi) + " -f 1 -l 1 -singlefile " + Quote(pdf.string()) + " " +
                    Quote(target.string());
    const CommandResult run = RunCommand(command);
    if (run.status != 0) {
      ADD_FAILURE() << run.output;
      return std::nullopt;
    }
    return ReadPpm(target.string() + ".ppm");
  }
};

TEST_F(ImageEndToEnd, PagesOfImagesAndGradientsLookAsTheEngineDrawsThem) {
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent mode" : "vector mode");
    const kqprint::PrintJob job = ImagesPage(transparent, transparent ? 1 : 0);
    const auto pdf = out / (transparent ? "transparent.pdf" : "vector.pdf");
    const auto outcome = Print(job, pdf);
    ASSERT_TRUE(outcome.printed) << outcome.failure << "\n" << JournalText();
    EXPECT_TRUE(Boxes().empty()) << JournalText();
    ExpectQpdfCheckPasses(pdf);

    const CommandResult list = RunCommand("pdfimages -list " + Quote(pdf.string()));
    ASSERT_EQ(list.status, 0) << list.output;
    // The JPEG goes through as it is in both modes, before the regions of the page bitmap.
    EXPECT_NE(list.output.find("   1     0 image     240   160  icc     3   8  jpeg"), std::string::npos) << list.output;
    if (!transparent) {
      // Without lossy compression every other image is Flate: the PNG, the logo, the one-pixel fill, the BMP twice
      // and the PNG on its parallelogram.
      for (const char* line : {"   1     1 image     160   120  icc     3   8  image", "   1     2 image      96    96  icc",
                               "   1     3 image       1     1  icc", "   1     4 image      64    64  icc",
                               "   1     6 image     160   120  icc     3   8  image"})
        EXPECT_NE(list.output.find(line), std::string::npos) << line << " in:\n" << list.output;
      EXPECT_EQ(list.output.find("   1     7 "), std::string::npos) << list.output;
    } else {
      // The rest are regions cut from the page bitmap, written as DCT at 300 dpi.
      EXPECT_NE(list.output.find("   1     1 image"), std::string::npos) << list.output;
      EXPECT_NE(list.output.find("jpeg   no         8  0   300   300"), std::string::npos) << list.output;
    }

    const auto engine = EngineRendering(job);
    ASSERT_TRUE(engine);
    for (bool mupdf : {false, true}) {
      const auto page = Rendered(pdf, mupdf);
      ASSERT_TRUE(page);
      ASSERT_EQ(page->width, engine->width);
      ASSERT_EQ(page->height, engine->height);
      const char* reader = mupdf ? "mupdf" : "poppler";
      const auto whole = MeanDifference(*page, *engine, std::nullopt);
      std::cout << (transparent ? "transparent" : "vector") << " " << reader << " page: " << whole[0] << " "
                << whole[1] << " " << whole[2] << "\n";
      for (const Region& region : kRegions) {
        const auto d = MeanDifference(*page, *engine, region.points);
        std::cout << "  " << region.name << ": " << d[0] << " " << d[1] << " " << d[2] << "\n";
        // Resampling of images and edges, and the DCT of the regions in transparent mode, stay within a few levels
        // on average; vector mode paints blends, keys and raster operations opaque, which is checked elsewhere.
        if (transparent || !region.opaqueInVectorMode) {
          for (double channel : d) EXPECT_LT(channel, 12.0) << reader << ", " << region.name;
        }
      }
      // Over the whole page (mostly white paper and text) both readers agree with the engine closely where every
      // drawing is honoured, that is in transparent mode.
      if (transparent) {
        for (double channel : whole) EXPECT_LT(channel, 2.0) << reader;
      }
    }
  }
}

// Raster output drawn over a photo keeps the photo beneath it, and wide strokes with a raster operation keep their
// width: a JPEG, a 3-pt white XOR line across it and a 40% red fill over its corner, then an 8-pt XOR line and an
// 8-pt XOR path on the paper. Each region is compared with the engine's rendering in both readers and both modes.
TEST_F(ImageEndToEnd, RasterOutputOverAPhotoAndWideXorStrokesKeepWhatIsDrawn) {
  const Json ops = Json::array({
      {{"op", "image"}, {"file", "photo.jpg"}, {"rect", {72, 100, 312, 260}}},
      {{"op", "line"}, {"from", {60, 180}}, {"to", {330, 180}}, {"stroke", {{"color", "#ffffff"}, {"width", 3}}},
       {"mix", "xorpen"}},
      {{"op", "alpha"}, {"fill", "#ff0000"}, {"rect", {250, 220, 350, 300}}, {"opacity", 0.4}},
      {{"op", "line"}, {"from", {72, 400}}, {"to", {400, 400}}, {"stroke", {{"color", "#ffffff"}, {"width", 8}}},
       {"mix", "xorpen"}},
      {{"op", "path"}, {"d", "M 72 450 L 300 450 L 300 550"}, {"stroke", {{"color", "#ffffff"}, {"width", 8}}},
       {"mix", "xorpen"}},
  });
  const Region regions[] = {
      {"photo beside the raster output", {72, 100, 240, 170}, false},
      {"XOR line across the photo", {72, 176, 312, 184}, false},
      {"XOR line beyond the photo", {60, 176, 72, 184}, false},
      {"red fill over the photo's corner", {250, 220, 312, 260}, false},
      {"red fill on the paper", {312, 260, 350, 300}, false},
      {"8-pt XOR line", {68, 394, 404, 406}, false},
      {"8-pt XOR path", {68, 444, 306, 554}, false},
  };
  // The photo printed alone, in transparent mode, as poppler shows it: the page above must show the same photo.
  const Json alone = {{"document", "Photo"},
                      {"settings", {{"PaperSize", 1}, {"DPI", kDpi}, {"GDIPunt", 1}, {"OpenFile", 0}}},
                      {"pages", Json::array({{{"ops", Json::array({ops[0]})}}})}};
  const auto alonePdf = out / "photo-alone.pdf";
  ASSERT_TRUE(Print(kqprint::ParseJob(alone, kExamples), alonePdf).printed) << JournalText();
  const auto photoAlone = Rendered(alonePdf, false);
  ASSERT_TRUE(photoAlone);

  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent mode" : "vector mode");
    const Json job = {{"document", "Over a photo"},
                      {"settings", {{"PaperSize", 1}, {"DPI", kDpi}, {"GDIPunt", transparent ? 1 : 0}, {"OpenFile", 0}}},
                      {"pages", Json::array({{{"ops", ops}}})}};
    const kqprint::PrintJob parsed = kqprint::ParseJob(job, kExamples);
    const auto pdf = out / (transparent ? "over-transparent.pdf" : "over-vector.pdf");
    const auto outcome = Print(parsed, pdf);
    ASSERT_TRUE(outcome.printed) << outcome.failure << "\n" << JournalText();
    ExpectQpdfCheckPasses(pdf);
    const auto engine = EngineRendering(parsed);
    ASSERT_TRUE(engine);
    for (bool mupdf : {false, true}) {
      const auto page = Rendered(pdf, mupdf);
      ASSERT_TRUE(page);
      const char* reader = mupdf ? "mupdf" : "poppler";
      std::cout << (transparent ? "transparent" : "vector") << " " << reader << "\n";
      for (const Region& region : regions) {
        const auto d = MeanDifference(*page, *engine, region.points);
        std::cout << "  " << region.name << ": " << d[0] << " " << d[1] << " " << d[2] << "\n";
        // Vector mode writes nothing for an XOR stroke and paints the fill opaque; transparent mode honours all.
        if (transparent) {
          for (double channel : d) EXPECT_LT(channel, 12.0) << reader << ", " << region.name;
        }
      }
      if (!mupdf) {
        const auto d = MeanDifference(*page, *photoAlone, regions[0].points);
        std::cout << "  photo against the photo printed alone: " << d[0] << " " << d[1] << " " << d[2] << "\n";
        for (double channel : d) EXPECT_LT(channel, 4.0);
      }
    }
  }
}

TEST_F(ImageEndToEnd, SixteenBitImagesKeepTheirColours) {
  // A 5-6-5 BMP of 2 x 1 pixels, red and green, drawn over an inch.
  std::vector<unsigned char> bmp(70 + 4, 0);
  const auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put(10, 66, 4), put(14, 40, 4), put(18, 2, 4), put(22, 1, 4), put(26, 1, 2), put(28, 16, 2), put(30, 3, 4);
  put(54, 0xF800, 4), put(58, 0x07E0, 4), put(62, 0x001F, 4), put(66, 0xF800, 2), put(68, 0x07E0, 2);
  std::ofstream(out / "565.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()),
                                                          static_cast<std::streamsize>(bmp.size()));
  for (bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent mode" : "vector mode");
    const Json job = {{"document", "Sixteen"},
                      {"settings", {{"PaperSize", 1}, {"DPI", kDpi}, {"GDIPunt", transparent ? 1 : 0}, {"ImageCompress", 0},
                                    {"OpenFile", 0}}},
                      {"pages", Json::array({{{"ops", Json::array({{{"op", "image"}, {"file", "565.bmp"},
                                                                     {"rect", {72, 72, 216, 144}}}})}}})}};
    const auto pdf = out / (transparent ? "sixteen-t.pdf" : "sixteen-v.pdf");
    const auto outcome = Print(kqprint::ParseJob(job, out), pdf);
    ASSERT_TRUE(outcome.printed) << outcome.failure;
    ExpectQpdfCheckPasses(pdf);
    const auto page = Rendered(pdf, false);
    ASSERT_TRUE(page);
    const auto at = [&](int x, int y) {
      const unsigned char* p = &page->rgb[(static_cast<std::size_t>(y) * page->width + x) * 3];
      return std::array<int, 3>{p[0], p[1], p[2]};
    };
    // An inch from the left and top edge of the page, at 300 dpi; each pixel of the image is an inch wide.
    for (const auto& [x, expected] : {std::pair{400, std::array<int, 3>{255, 0, 0}}, std::pair{700, std::array<int, 3>{0, 255, 0}}}) {
      const auto got = at(x, 400);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], expected[c], 8) << x;
    }
  }
}

}  // namespace
}  // namespace e2e
