#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "win/machine.h"
#include "win/wingdi.h"

namespace {

class Gdi : public ::testing::Test {
 protected:
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
};

HGDIOBJ Obj(auto handle) { return reinterpret_cast<HGDIOBJ>(handle); }

BITMAPINFO Header(LONG width, LONG height, WORD bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A memory context holding a bitmap of the screen's format, and its rows read back as a top-down 24-bit DIB.
struct Canvas {
  Canvas(int width, int height) : w(width), h(height) {
    screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, width, height);
    old = SelectObject(dc, Obj(bitmap));
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(Obj(bitmap));
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
  // Blue, green, red of a pixel.
  std::array<BYTE, 3> At(int x, int y) {
    BITMAPINFO info = Header(w, -h, 24);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), nullptr, &info, DIB_RGB_COLORS), h);
    std::vector<BYTE> rows(info.bmiHeader.biSizeImage);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), rows.data(), &info, DIB_RGB_COLORS), h);
    const std::size_t stride = (3 * static_cast<std::size_t>(w) + 3) / 4 * 4;
    const BYTE* p = rows.data() + stride * y + 3 * x;
    return {p[0], p[1], p[2]};
  }
  int w, h;
  HDC screen = nullptr, dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

TEST_F(Gdi, ARectangleFillsWithTheBrushAndEdgesWithThePen) {
  Canvas canvas(10, 6);
  HBRUSH brush = CreateSolidBrush(0x0000FF);  // red
  HPEN pen = CreatePen(PS_SOLID, 1, 0xFF0000);  // blue
  HGDIOBJ oldBrush = SelectObject(canvas.dc, Obj(brush));
  HGDIOBJ oldPen = SelectObject(canvas.dc, Obj(pen));
  ASSERT_TRUE(oldBrush && oldPen);
  EXPECT_TRUE(Rectangle(canvas.dc, 1, 1, 9, 5));
  EXPECT_EQ(canvas.At(0, 0), (std::array<BYTE, 3>{0, 0, 0})) << "outside: the bitmap's own zeroes";
  EXPECT_EQ(canvas.At(1, 1), (std::array<BYTE, 3>{255, 0, 0})) << "the edge";
  EXPECT_EQ(canvas.At(8, 4), (std::array<BYTE, 3>{255, 0, 0}));
  EXPECT_EQ(canvas.At(4, 3), (std::array<BYTE, 3>{0, 0, 255})) << "inside";
  EXPECT_EQ(canvas.At(9, 5), (std::array<BYTE, 3>{0, 0, 0})) << "right and bottom are outside";
  // A selected object cannot be deleted; once deselected it can.
  EXPECT_FALSE(DeleteObject(Obj(brush)));
  SelectObject(canvas.dc, oldBrush);
  SelectObject(canvas.dc, oldPen);
  EXPECT_TRUE(DeleteObject(Obj(brush)));
  EXPECT_TRUE(DeleteObject(Obj(pen)));
  EXPECT_FALSE(DeleteObject(Obj(pen)));
}

TEST_F(Gdi, StretchDibitsDrawsTopDownBottomUpAndMirroredRows) {
  // Two rows of two pixels: blue-first bytes, rows of 8 bytes.
  const BYTE rows[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  struct Case {
    const char* name;
    LONG height;  // negative: top-down
    int destWidth;
    std::array<BYTE, 3> topLeft;
  } cases[] = {
      {"top-down", -2, 2, {1, 2, 3}},
      {"bottom-up", 2, 2, {7, 8, 9}},
      {"mirrored", -2, -2, {4, 5, 6}},
  };
  for (const Case& c : cases) {
    Canvas canvas(4, 4);
    const BITMAPINFO info = Header(2, c.height, 24);
    const int x = c.destWidth < 0 ? 2 : 0;
    EXPECT_EQ(StretchDIBits(canvas.dc, x, 0, c.destWidth, 2, 0, 0, 2, 2, rows, &info, DIB_RGB_COLORS, SRCCOPY), 2)
        << c.name;
    EXPECT_EQ(canvas.At(0, 0), c.topLeft) << c.name;
  }
  // Stretched twice over, and a source rectangle outside the DIB fails.
  Canvas canvas(4, 4);
  const BITMAPINFO info = Header(2, -2, 24);
  EXPECT_EQ(StretchDIBits(canvas.dc, 0, 0, 4, 4, 0, 0, 2, 2, rows, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(canvas.At(3, 3), (std::array<BYTE, 3>{10, 11, 12}));
  EXPECT_EQ(StretchDIBits(canvas.dc, 0, 0, 4, 4, 1, 0, 2, 2, rows, &info, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST_F(Gdi, BitmapsTooLargeAreRefusedAndHandlesBelongToTheirMachine) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(screen, 0, 10), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(screen, 100000, 100000), nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ASSERT_NE(dc, nullptr);
  {
    kq::TemporaryMachine other;
    kq::MachineScope otherScope(other.Get());
    EXPECT_FALSE(DeleteDC(dc)) << "another machine does not know it";
  }
  EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
