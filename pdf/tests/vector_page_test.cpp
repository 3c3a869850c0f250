// A page drawn by the vector converters, read back by independent readers: qpdf checks the file, and the page
// rendered by pdftoppm shows the filled shapes in their colours and the clip hiding what lies outside it.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "document_fixture.h"
#include "win/enginebrush.h"
#include "win/enginepath.h"

namespace {

using doctest::DocumentTest;

// A rendered page: 8-bit RGB pixels from a binary PPM.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;

  std::array<int, 3> At(int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
  }
};

std::optional<Picture> ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  Picture picture;
  in >> magic >> picture.width >> picture.height >> maxValue;
  if (magic != "P6" || maxValue != 255 || picture.width <= 0 || picture.height <= 0) return std::nullopt;
  in.get();
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  in.read(reinterpret_cast<char*>(picture.pixels.data()), static_cast<std::streamsize>(picture.pixels.size()));
  if (!in) return std::nullopt;
  return picture;
}

using VectorPage = DocumentTest;

TEST_F(VectorPage, ReadersShowTheShapesInTheirColoursAndTheClipHidesWhatItShould) {
  for (const char* tool : {"/usr/bin/qpdf", "/usr/bin/pdftoppm"})
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is not installed";

  ASSERT_TRUE(writer_.StartDocument(u"Shapes"));
  writer_.StartPage();
  // A red rectangle, one inch square from (1 in, 1 in).
  auto red = kq::BrushObject::Solid(0x0000FF);
  ASSERT_TRUE(writer_.FillRectangle(nullptr, RECTL{300, 300, 600, 600}, red->Object(), 0xF0F0));
  // A blue square from (3 in, 1 in), clipped to its left half.
  auto clip = kq::ClipObject::Rectangle(RECTL{900, 300, 1050, 600});
  kq::PathObject square;
  ASSERT_TRUE(square.MoveTo(900, 300));
  ASSERT_TRUE(square.LineTo(1200, 300));
  ASSERT_TRUE(square.LineTo(1200, 600));
  ASSERT_TRUE(square.LineTo(900, 600));
  square.CloseFigure();
  const RECTL bounds{900, 300, 1200, 600};
  writer_.EmitClip(nullptr, clip->Object(), &bounds);
  auto blue = kq::BrushObject::Solid(0xFF0000);
  writer_.StrokeFillPath(nullptr, square.Object(), nullptr, nullptr, blue->Object(), nullptr, nullptr,
                         R2_COPYPEN | (R2_COPYPEN << 8), FP_WINDINGMODE);
  // A green line below them, without a clip.
  writer_.EmitClip(nullptr, nullptr, nullptr);
  auto green = kq::BrushObject::Solid(0x00FF00);
  auto pen = kq::LineAttributes::Geometric(30, JOIN_MITER, ENDCAP_BUTT);
  kq::PathObject line;
  ASSERT_TRUE(line.MoveTo(300, 900));
  ASSERT_TRUE(line.LineTo(1200, 900));
  writer_.StrokeFillPath(nullptr, line.Object(), nullptr, green->Object(), nullptr, nullptr, pen.Object(),
                         R2_COPYPEN, 0);
  writer_.EndPage(nullptr);
  writer_.EndDocument();

  const std::string pdf = kq::HostPathFromWindows(kPath)->string();
  EXPECT_EQ(std::system(("/usr/bin/qpdf --check '" + pdf + "' >/dev/null 2>&1").c_str()), 0);
  // 30 pixels an inch: the page's pixel (x, y) is its device pixel (10x, 10y).
  const std::string base = pdf + "-page";
  ASSERT_EQ(std::system(("/usr/bin/pdftoppm -r 30 -singlefile '" + pdf + "' '" + base + "'").c_str()), 0);
  const auto picture = ReadPpm(base + ".ppm");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 255);
  EXPECT_EQ(picture->height, 330);
  using Rgb = std::array<int, 3>;
  const auto near = [](Rgb a, Rgb b) {
    for (int i = 0; i < 3; ++i)
      if (std::abs(a[i] - b[i]) > 8) return false;
    return true;
  };
  const struct {
    const char* what;
    int x, y;
    Rgb color;
  } probes[] = {
      {"inside the red rectangle", 45, 45, {255, 0, 0}},
      {"outside the red rectangle", 65, 45, {255, 255, 255}},
      {"the blue square inside the clip", 97, 45, {0, 0, 255}},
      {"the blue square outside the clip", 112, 45, {255, 255, 255}},
      {"the green line", 75, 90, {0, 255, 0}},
      {"beside the green line", 75, 96, {255, 255, 255}},
  };
  for (const auto& probe : probes) {
    const Rgb seen = picture->At(probe.x, probe.y);
    EXPECT_TRUE(near(seen, probe.color)) << probe.what << ": " << seen[0] << " " << seen[1] << " " << seen[2];
  }
}

}  // namespace
