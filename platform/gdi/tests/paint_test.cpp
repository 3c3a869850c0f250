#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "win/clipboard.h"
#include "win/dialog_templates.h"
#include "win/machine.h"
#include "win/paint.h"
#include "win/user.h"
#include "win/window_surface.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000;

HGDIOBJ Obj(auto handle) { return reinterpret_cast<HGDIOBJ>(handle); }
HBRUSH Stock(int object) { return reinterpret_cast<HBRUSH>(GetStockObject(object)); }

LRESULT Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window of the test's class and its context; what was allocated is checked to be freed at the end.
class Painting : public ::testing::Test {
 protected:
  Painting() {
    WNDCLASSW cls{};
    cls.lpfnWndProc = Plain;
    cls.lpszClassName = u"PaintTest";
    RegisterClassW(&cls);
    before_ = kq::GdiObjectCount(*machine_);
  }
  ~Painting() override { EXPECT_EQ(kq::GdiObjectCount(*machine_), before_) << "GDI objects left behind"; }

  HWND Window(int width, int height) {
    return CreateWindowExW(0, u"PaintTest", u"paint", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr,
                           nullptr);
  }
  static kq::BitmapPixels Pixels(HWND window) {
    kq::BitmapPixels pixels;
    EXPECT_TRUE(kq::ReadWindowPixels(window, &pixels));
    return pixels;
  }
  static std::uint32_t At(const kq::BitmapPixels& p, int x, int y) {
    return p.pixels[static_cast<std::size_t>(y) * p.width + x];
  }
  // How many pixels have the colour.
  static std::size_t Count(const kq::BitmapPixels& p, std::uint32_t color) {
    return static_cast<std::size_t>(std::count(p.pixels.begin(), p.pixels.end(), color));
  }

  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  std::size_t before_ = 0;
};

TEST_F(Painting, AWindowsContextPaintsItsOwnPixelsWhichGoWithTheWindow) {
  HWND window = Window(40, 30);
  ASSERT_NE(window, nullptr);
  kq::BitmapPixels fresh = Pixels(window);
  EXPECT_EQ(fresh.width, 40);
  EXPECT_EQ(fresh.height, 30);
  EXPECT_EQ(Count(fresh, kWhite), 40u * 30u) << "a window starts white";

  HDC dc = GetDC(window);
  const RECT frame{0, 0, 40, 30};
  ASSERT_TRUE(FrameRect(dc, &frame, Stock(BLACK_BRUSH)));
  kq::BitmapPixels framed = Pixels(window);
  EXPECT_EQ(At(framed, 0, 0), kBlack);
  EXPECT_EQ(At(framed, 39, 29), kBlack) << "right and bottom edges are the last pixels inside";
  EXPECT_EQ(At(framed, 1, 1), kWhite);
  EXPECT_EQ(Count(framed, kBlack), 2u * 40u + 2u * 28u);

  // Two windows keep their pixels apart; a context of the screen paints nothing anybody sees.
  HWND other = Window(10, 10);
  HDC screen = GetDC(nullptr);
  EXPECT_TRUE(FrameRect(screen, &frame, Stock(BLACK_BRUSH)));
  EXPECT_EQ(Count(Pixels(other), kWhite), 100u);

  // A window too large for a bitmap has no pixels, and its context paints nothing.
  HWND huge = Window(200000, 200000);
  EXPECT_FALSE(kq::ReadWindowPixels(huge, nullptr));
  HDC hugeDc = GetDC(huge);
  EXPECT_TRUE(FrameRect(hugeDc, &frame, Stock(BLACK_BRUSH)));
  ReleaseDC(huge, hugeDc);
  DestroyWindow(huge);

  // A new size gives new pixels; a context taken before draws on unseen.
  ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 20, 20, SWP_NOMOVE | SWP_NOZORDER));
  EXPECT_EQ(Pixels(window).width, 20);
  EXPECT_EQ(Count(Pixels(window), kWhite), 400u);
  EXPECT_TRUE(FrameRect(dc, &frame, Stock(BLACK_BRUSH)));
  EXPECT_EQ(Count(Pixels(window), kWhite), 400u);

  // Once the window is gone, its old context still works and the person sees nothing.
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(kq::ReadWindowPixels(window, nullptr));
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_TRUE(FrameRect(dc, &frame, Stock(WHITE_BRUSH)));
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  DestroyWindow(other);
}

TEST_F(Painting, RegionsCombineAndFill) {
  // A = (0,0)-(4,4), B = (2,2)-(6,6): they share a 2 x 2 square.
  struct Case {
    int mode;
    int kind;
    std::size_t pixels;
    RECT box;
  } cases[] = {
      {RGN_AND, SIMPLEREGION, 4, {2, 2, 4, 4}},   {RGN_OR, COMPLEXREGION, 28, {0, 0, 6, 6}},
      {RGN_XOR, COMPLEXREGION, 24, {0, 0, 6, 6}}, {RGN_DIFF, COMPLEXREGION, 12, {0, 0, 4, 4}},
      {RGN_COPY, SIMPLEREGION, 16, {0, 0, 4, 4}},
  };
  HWND window = Window(8, 8);
  HDC dc = GetDC(window);
  for (const Case& c : cases) {
    HRGN a = CreateRectRgn(4, 4, 0, 0);  // corners in either order
    HRGN b = CreateRectRgn(2, 2, 6, 6);
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.kind) << c.mode;
    RECT box{};
    EXPECT_EQ(GetRgnBox(out, &box), c.kind);
    EXPECT_TRUE(box.left == c.box.left && box.top == c.box.top && box.right == c.box.right &&
                box.bottom == c.box.bottom)
        << c.mode;
    HRGN whole = CreateRectRgn(0, 0, 8, 8);
    ASSERT_TRUE(FillRgn(dc, whole, Stock(WHITE_BRUSH)));
    ASSERT_TRUE(FillRgn(dc, out, Stock(BLACK_BRUSH)));
    EXPECT_EQ(Count(Pixels(window), kBlack), c.pixels) << c.mode;
    if (c.mode == RGN_XOR) {
      EXPECT_EQ(At(Pixels(window), 2, 2), kWhite) << "the shared square is the hole";
      EXPECT_EQ(At(Pixels(window), 5, 5), kBlack);
    }
    for (HRGN r : {a, b, out, whole}) EXPECT_TRUE(DeleteObject(Obj(r)));
  }

  // The destination may be a source; bad modes and handles fail.
  HRGN square = CreateRectRgn(0, 0, 320, 320), hole = CreateRectRgn(144, 144, 176, 176);
  EXPECT_EQ(CombineRgn(square, square, hole, RGN_XOR), COMPLEXREGION);
  EXPECT_EQ(CombineRgn(square, square, hole, RGN_AND), NULLREGION) << "the hole is no longer in it";
  RECT box{1, 1, 1, 1};
  EXPECT_EQ(GetRgnBox(square, &box), NULLREGION);
  EXPECT_EQ(box.right, 0);
  EXPECT_EQ(CombineRgn(square, square, hole, 9), RGN_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CombineRgn(square, square, reinterpret_cast<HRGN>(dc), RGN_OR), RGN_ERROR);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FillRgn(dc, hole, reinterpret_cast<HBRUSH>(hole)));
  EXPECT_FALSE(FrameRect(dc, nullptr, Stock(BLACK_BRUSH)));
  EXPECT_TRUE(DeleteObject(Obj(square)));
  EXPECT_TRUE(DeleteObject(Obj(hole)));
  ReleaseDC(window, dc);
  DestroyWindow(window);
}

TEST_F(Painting, BitBltCopiesBetweenContextsWithinBothBitmaps) {
  // A 4 x 4 bitmap whose pixels are their own numbers.
  kq::BitmapPixels source{4, 4, {}};
  for (std::uint32_t i = 0; i < 16; ++i) source.pixels.push_back(0x010101 * (i + 1));
  HBITMAP bitmap = kq::CreateBitmapFromPixels(source);
  ASSERT_NE(bitmap, nullptr);
  HWND window = Window(6, 6);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, Obj(bitmap));

  struct Case {
    const char* name;
    int x, y, width, height, x1, y1;
    int probeX, probeY;  // a window pixel and the source pixel it must hold (-1: white)
    int sourceX, sourceY;
    std::size_t copied;
  } cases[] = {
      {"whole", 1, 1, 4, 4, 0, 0, 1, 1, 0, 0, 16},
      {"part", 0, 0, 2, 2, 2, 2, 1, 1, 3, 3, 4},
      {"past the window", 4, 4, 4, 4, 0, 0, 5, 5, 1, 1, 4},
      {"before the source", 0, 0, 3, 3, -1, -1, 1, 1, 0, 0, 4},
      {"past the source", 0, 0, 4, 4, 3, 0, 0, 3, 3, 3, 4},
      {"at the end of the range", INT32_MAX - 2, 0, 100, 4, 0, 0, 0, 0, -1, -1, 0},
      {"from the end of the range", 0, 0, 4, 4, INT32_MAX - 1, 0, 0, 0, -1, -1, 0},
      {"from the start of the range", 0, 0, 4, 4, INT32_MIN, INT32_MIN, 0, 0, -1, -1, 0},
  };
  for (const Case& c : cases) {
    HRGN whole = CreateRectRgn(0, 0, 6, 6);
    FillRgn(dc, whole, Stock(WHITE_BRUSH));
    DeleteObject(Obj(whole));
    ASSERT_TRUE(BitBlt(dc, c.x, c.y, c.width, c.height, memory, c.x1, c.y1, SRCCOPY)) << c.name;
    const kq::BitmapPixels shown = Pixels(window);
    EXPECT_EQ(At(shown, c.probeX, c.probeY),
              c.sourceX < 0 ? kWhite : source.pixels[static_cast<std::size_t>(c.sourceY) * 4 + c.sourceX])
        << c.name;
    EXPECT_EQ(36 - Count(shown, kWhite), c.copied) << c.name;
  }

  // A pattern past the end of the range paints nothing rather than wrapping onto the window.
  ASSERT_TRUE(BitBlt(dc, INT32_MAX - 47, 0, 100, 6, nullptr, 0, 0, BLACKNESS));
  EXPECT_EQ(Count(Pixels(window), kBlack), 0u);

  // Window to memory, an operation without a source, and the refusals.
  ASSERT_TRUE(BitBlt(dc, 0, 0, 6, 6, nullptr, 0, 0, BLACKNESS));
  ASSERT_TRUE(BitBlt(memory, 0, 0, 4, 4, dc, 0, 0, SRCCOPY));
  kq::BitmapPixels read;
  ASSERT_TRUE(kq::ReadBitmap(bitmap, &read));
  EXPECT_EQ(Count(read, kBlack), 16u);
  EXPECT_FALSE(BitBlt(dc, 0, 0, 4, 4, nullptr, 0, 0, SRCCOPY));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(bitmap), 0, 0, 4, 4, memory, 0, 0, SRCCOPY));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // A bitmap selected into a context stays until it is deselected.
  EXPECT_FALSE(DeleteObject(Obj(bitmap)));
  SelectObject(memory, old);
  // A window's context paints the window: no bitmap goes into it.
  SetLastError(0);
  EXPECT_EQ(SelectObject(dc, Obj(bitmap)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DeleteObject(Obj(bitmap)));
  DeleteDC(memory);
  ReleaseDC(window, dc);
  DestroyWindow(window);
}

TEST_F(Painting, TextIsInkedInsideItsExtent) {
  HWND window = Window(200, 40);
  HDC dc = GetDC(window);
  SIZE one{}, two{}, narrow{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, u"Wait", 4, &one));
  ASSERT_TRUE(GetTextExtentPoint32W(dc, u"WaitWait", 8, &two));
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "Wait", 4, &narrow));
  EXPECT_GT(one.cx, 10);
  EXPECT_GT(one.cy, 8);
  EXPECT_LE(std::abs(two.cx - 2 * one.cx), 1);
  EXPECT_EQ(two.cy, one.cy);
  EXPECT_TRUE(narrow.cx == one.cx && narrow.cy == one.cy);

  ASSERT_TRUE(TextOutA(dc, 30, 10, "Wait", 4));
  const kq::BitmapPixels shown = Pixels(window);
  std::size_t inside = 0, outside = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) {
      const bool ink = At(shown, x, y) != kWhite;
      const bool within = x >= 30 && x < 30 + one.cx && y >= 10 && y < 10 + one.cy;
      (within ? inside : outside) += ink;
    }
  }
  EXPECT_GT(inside, 20u);
  EXPECT_EQ(outside, 0u);
  EXPECT_TRUE(TextOutW(dc, 0, 0, u"", 0));
  // Text placed at the ends of the range is off the window.
  for (int y : {INT32_MAX, INT32_MIN}) EXPECT_TRUE(TextOutW(dc, 30, y, u"Wait", 4)) << y;
  EXPECT_EQ(Count(Pixels(window), kWhite) + inside, static_cast<std::size_t>(shown.width) * shown.height);

  EXPECT_FALSE(TextOutW(dc, 0, 0, u"x", -1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(GetTextExtentPoint32W(dc, u"x", 1, nullptr));
  EXPECT_FALSE(TextOutW(reinterpret_cast<HDC>(window), 0, 0, u"x", 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  ReleaseDC(window, dc);
  DestroyWindow(window);
}

TEST_F(Painting, DeviceCapsAnswerForTheScreen) {
  HWND window = Window(10, 10);
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  const struct {
    int index;
    int value;
  } cases[] = {{HORZRES, 1024}, {VERTRES, 768}, {BITSPIXEL, 32}, {PLANES, 1}, {LOGPIXELSY, 96}, {999, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(GetDeviceCaps(dc, c.index), c.value) << c.index;
    EXPECT_EQ(GetDeviceCaps(memory, c.index), c.value) << c.index;
  }
  EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 0);
  EXPECT_EQ(GetStockObject(99), nullptr);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  DestroyWindow(window);
}

const std::uint32_t kTwoByOne[] = {0xC0C0C0, 0x123456};
const kq::PictureResource kBitmaps[] = {{7, 2, 1, kTwoByOne}, {8, 2, 2, kTwoByOne}};
const kq::PictureResource kIcons[] = {{9, 2, 1, kTwoByOne}};

TEST_F(Painting, ModulesBitmapsAndIconsLoadFromTheirResources) {
  const auto module = reinterpret_cast<HINSTANCE>(0x7A0000);
  kq::RegisterModuleResources(module, {{}, {}, kBitmaps, kIcons});
  HBITMAP wide = LoadBitmapW(module, MAKEINTRESOURCEW(7));
  HBITMAP narrow = LoadBitmapA(module, MAKEINTRESOURCEA(7));
  ASSERT_TRUE(wide && narrow);
  EXPECT_NE(wide, narrow) << "each load is a bitmap of its own";
  kq::BitmapPixels pixels;
  ASSERT_TRUE(kq::ReadBitmap(narrow, &pixels));
  EXPECT_EQ(pixels, (kq::BitmapPixels{2, 1, {0xC0C0C0, 0x123456}})) << "the resource's colours, not mapped";
  EXPECT_TRUE(DeleteObject(Obj(wide)));
  EXPECT_TRUE(DeleteObject(Obj(narrow)));

  // Missing, short of pixels, or named: none.
  for (HBITMAP none : {LoadBitmapW(module, MAKEINTRESOURCEW(6)), LoadBitmapW(module, MAKEINTRESOURCEW(8)),
                       LoadBitmapA(module, "seven")}) {
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  }
  EXPECT_EQ(LoadBitmapW(reinterpret_cast<HINSTANCE>(0x7B0000), MAKEINTRESOURCEW(7)), nullptr);

  const HICON icon = LoadIconW(module, MAKEINTRESOURCEW(9));
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconW(module, MAKEINTRESOURCEW(9)), icon) << "icons are shared";
  EXPECT_EQ(LoadIconW(module, MAKEINTRESOURCEW(7)), nullptr) << "a bitmap is no icon";
  EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
  EXPECT_EQ(LoadCursorW(module, IDC_ARROW), nullptr);
  kq::UnregisterModuleResources(module);
}

}  // namespace
