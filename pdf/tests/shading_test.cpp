#include "image_fixture.h"

namespace {

using Shading = ImagePageTest;

TRIVERTEX Vertex(LONG x, LONG y, USHORT r, USHORT g, USHORT b) { return TRIVERTEX{x, y, r, g, b, 0}; }

std::string Hex(const std::string& bytes) {
  std::string out;
  char buffer[4];
  for (unsigned char c : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X ", c);
    out += buffer;
  }
  return out;
}

TEST_F(Shading, AHorizontalRectangleBecomesTwoTrianglesOfItsCornersColours) {
  const TRIVERTEX v[] = {Vertex(0, 0, 0, 0, 0), Vertex(255, 100, 0xFF00, 0xFF00, 0xFF00)};
  const GRADIENT_RECT rect{0, 1};
  writer_.GradientFill(v, 2, &rect, 1, RECTL{0, 0, 255, 100}, GRADIENT_FILL_RECT_H);
  EXPECT_EQ(Hex(Data(4)), "00 00 00 00 00 00 00 00 FF 00 00 00 00 FF 00 FF FF FF 01 FF FF FF FF FF ");
  const std::string dict = Dictionary(4);
  EXPECT_EQ(doctest::Value(dict, "/Decode"), "[0 255 0 100 0 1 0 1 0 1]");
  EXPECT_EQ(doctest::Value(dict, "/ShadingType"), "4");
  EXPECT_EQ(doctest::Value(dict, "/ColorSpace"), "2 0 R");
  EXPECT_EQ(doctest::Value(dict, "/BitsPerFlag"), "8");
  EXPECT_EQ(writer_.pageShadings, std::vector<std::uint32_t>{4});
}

TEST_F(Shading, MeshesGiveTheirRecordsInOrder) {
  const TRIVERTEX v[] = {Vertex(0, 0, 0x80FF, 0, 0x1234), Vertex(100, 50, 0, 0xFF00, 0), Vertex(200, 100, 0xFF00, 0, 0)};
  struct Case {
    const char* name;
    ULONG mode;
    std::vector<ULONG> mesh;
    std::string records;
  } cases[] = {
      {"vertical", GRADIENT_FILL_RECT_V, {0, 1},
       "00 00 00 80 00 12 00 00 7F 00 FF 00 00 7F 00 80 00 12 01 7F 7F 00 FF 00 "},
      {"two rectangles", GRADIENT_FILL_RECT_H, {0, 1, 1, 2},
       "00 00 00 80 00 12 00 00 7F 80 00 12 00 7F 00 00 FF 00 01 7F 7F 00 FF 00 "
       "00 7F 7F 00 FF 00 00 7F FF 00 FF 00 00 FF 7F FF 00 00 01 FF FF FF 00 00 "},
      {"triangles", GRADIENT_FILL_TRIANGLE, {0, 1, 2, 2, 1, 0},
       "00 00 00 80 00 12 00 7F 7F 00 FF 00 00 FF FF FF 00 00 00 FF FF FF 00 00 00 7F 7F 00 FF 00 00 00 00 80 00 12 "},
      // A mesh element naming a vertex beyond the three given is skipped.
      {"an index out of range", GRADIENT_FILL_TRIANGLE, {0, 1, 3, 0, 1, 2},
       "00 00 00 80 00 12 00 7F 7F 00 FF 00 00 FF FF FF 00 00 "},
  };
  std::uint32_t number = 4;
  for (const Case& c : cases) {
    const ULONG count = static_cast<ULONG>(c.mesh.size() / (c.mode == GRADIENT_FILL_TRIANGLE ? 3 : 2));
    writer_.GradientFill(v, 3, c.mesh.data(), count, RECTL{0, 0, 200, 100}, c.mode);
    EXPECT_EQ(Hex(Data(number++)), c.records) << c.name;
  }
}

TEST_F(Shading, ALongMeshKeepsItsFlags) {
  std::vector<TRIVERTEX> v;
  std::vector<GRADIENT_RECT> rects;
  for (ULONG i = 0; i < 43; ++i) {
    v.push_back(Vertex(static_cast<LONG>(i), 0, 0, 0, 0));
    v.push_back(Vertex(static_cast<LONG>(i + 1), 10, 0, 0, 0));
    rects.push_back(GRADIENT_RECT{2 * i, 2 * i + 1});
  }
  writer_.GradientFill(v.data(), static_cast<ULONG>(v.size()), rects.data(), 43, RECTL{0, 0, 44, 10}, GRADIENT_FILL_RECT_H);
  const std::string data = Data(4);
  ASSERT_EQ(data.size(), 43u * 24);
  for (std::size_t i = 0; i < 43 * 4; ++i) ASSERT_EQ(data[6 * i], i % 4 == 3 ? 1 : 0) << i;
}

TEST_F(Shading, TheShadingIsPaintedOverItsExtentsAndEachCallAddsItsOwn) {
  const TRIVERTEX v[] = {Vertex(100, 100, 0, 0, 0), Vertex(300, 200, 0xFF00, 0, 0)};
  const GRADIENT_RECT rect{0, 1};
  writer_.lastObjectNumber = 11;
  PendText();
  writer_.GradientFill(v, 2, &rect, 1, RECTL{100, 100, 300, 200}, GRADIENT_FILL_RECT_H);
  writer_.GradientFill(v, 2, &rect, 1, RECTL{100, 100, 300, 200}, GRADIENT_FILL_RECT_V);
  EXPECT_EQ(Take(), "BT (pending) ET\nq 0.24 0 0 -0.24 24 768 cm  BX /Sh12 sh EX Q \n"
                    "q 0.24 0 0 -0.24 24 768 cm  BX /Sh13 sh EX Q \n");
  EXPECT_EQ(writer_.pageShadings, (std::vector<std::uint32_t>{12, 13}));
}

TEST_F(Shading, CallsWithNothingToPaintWriteNothing) {
  const TRIVERTEX v[] = {Vertex(0, 0, 0, 0, 0), Vertex(10, 10, 0xFF00, 0, 0)};
  const GRADIENT_RECT rect{0, 1};
  writer_.GradientFill(v, 2, &rect, 1, RECTL{0, 0, 10, 10}, 3);                      // unknown mode
  writer_.GradientFill(v, 2, &rect, 1, RECTL{0, 0, 0, 10}, GRADIENT_FILL_RECT_H);     // no width
  writer_.GradientFill(v, 2, &rect, 1, RECTL{0, 5, 10, 5}, GRADIENT_FILL_TRIANGLE);   // no height
  writer_.cancelled = 1;
  writer_.GradientFill(v, 2, &rect, 1, RECTL{0, 0, 10, 10}, GRADIENT_FILL_RECT_H);
  EXPECT_EQ(Take(), "");
  EXPECT_EQ(writer_.lastObjectNumber, 3u);
  writer_.cancelled = 0;
  // No mesh elements: an empty mesh is still written and painted.
  writer_.GradientFill(v, 2, &rect, 0, RECTL{0, 0, 10, 10}, GRADIENT_FILL_RECT_H);
  EXPECT_EQ(Data(4), "");
  EXPECT_EQ(writer_.pageShadings, std::vector<std::uint32_t>{4});
}

}  // namespace
