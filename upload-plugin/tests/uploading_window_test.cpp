#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "../src/plugin_state.h"
#include "sarnoth/uploading_animation.h"
#include "win/dialog_templates.h"
#include "win/machine.h"
#include "win/paint.h"
#include "win/user.h"
#include "win/window_surface.h"

namespace {

using sarnoth::UploadingAnimation;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000;
constexpr int kSize = UploadingAnimation::kSize, kAt = UploadingAnimation::kFrameAt;

LRESULT Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The plug-in's module loaded (as its own copy, linked into the test) and a 320 x 320 window to paint.
class UploadingWindow : public ::testing::Test {
 protected:
  UploadingWindow() {
    DllMain(kModule, sarnoth::kProcessAttach, nullptr);
    WNDCLASSW cls{};
    cls.lpfnWndProc = Plain;
    cls.lpszClassName = u"UploadingTest";
    RegisterClassW(&cls);
    window_ = CreateWindowExW(0, u"UploadingTest", u"Uploading", WS_POPUP, 0, 0, kSize, kSize, nullptr, nullptr,
                              nullptr, nullptr);
  }
  ~UploadingWindow() override {
    DestroyWindow(window_);
    DllMain(kModule, sarnoth::kProcessDetach, nullptr);
  }

  kq::BitmapPixels Shown() const {
    kq::BitmapPixels pixels;
    EXPECT_TRUE(kq::ReadWindowPixels(window_, &pixels));
    return pixels;
  }
  static std::uint32_t At(const kq::BitmapPixels& p, int x, int y) {
    return p.pixels[static_cast<std::size_t>(y) * p.width + x];
  }
  // The 32 x 32 square at (144, 144).
  static std::vector<std::uint32_t> Square(const kq::BitmapPixels& p) {
    std::vector<std::uint32_t> square;
    for (int y = kAt; y < kAt + 32; ++y)
      for (int x = kAt; x < kAt + 32; ++x) square.push_back(At(p, x, y));
    return square;
  }
  static std::vector<std::uint32_t> Bitmap(WORD id) {
    const kq::PictureResource* picture = kq::FindBitmapResource(kModule, id);
    EXPECT_NE(picture, nullptr) << id;
    return picture ? std::vector<std::uint32_t>(picture->pixels.begin(), picture->pixels.end())
                   : std::vector<std::uint32_t>{};
  }

  static inline const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x5A0000);
  kq::TemporaryMachine machine_;
  kq::MachineScope scope_{machine_.Get()};
  HWND window_ = nullptr;
};

TEST_F(UploadingWindow, OneCycleShowsTheFieldItsFrameTheTextAndBitmap104) {
  ASSERT_NE(window_, nullptr);
  UploadingAnimation animation(window_);
  animation.Paint();
  const kq::BitmapPixels shown = Shown();

  // A black frame round a white field.
  for (const auto& [x, y] : {std::pair{0, 0}, {319, 0}, {0, 319}, {319, 319}, {160, 0}, {0, 160}, {319, 200}})
    EXPECT_EQ(At(shown, x, y), kBlack) << x << "," << y;
  for (const auto& [x, y] : {std::pair{1, 1}, {318, 318}, {160, 100}, {100, 160}, {143, 160}, {176, 160}})
    EXPECT_EQ(At(shown, x, y), kWhite) << x << "," << y;

  // The text's ink: from row 196 on, no higher than the font's cell, centred across the window.
  HDC dc = GetDC(window_);
  SIZE extent{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "Please Wait Processing Document", 31, &extent));
  ReleaseDC(window_, dc);
  int left = kSize, right = -1, top = kSize, bottom = -1;
  for (int y = 1; y < kSize - 1; ++y) {
    for (int x = 1; x < kSize - 1; ++x) {
      const bool inSquare = x >= kAt && x < kAt + 32 && y >= kAt && y < kAt + 32;
      if (inSquare || At(shown, x, y) == kWhite) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  EXPECT_GE(top, 196);
  EXPECT_LT(bottom, 196 + extent.cy);
  EXPECT_GT(right - left, extent.cx - 6) << "the whole line is inked";
  EXPECT_LE(std::abs((left + right + 1) - kSize), 4) << "centred: " << left << " to " << right;

  // The first frame shown is bitmap 104.
  EXPECT_EQ(animation.Frame(), 1);
  EXPECT_EQ(Square(shown), Bitmap(104));
}

TEST_F(UploadingWindow, EachCycleShowsTheNextFrameAndTheTwelfthIsBitmap103) {
  // The twelve frames differ, so that each shown square tells its bitmap.
  std::set<std::vector<std::uint32_t>> frames;
  for (WORD id = 103; id <= 114; ++id) frames.insert(Bitmap(id));
  EXPECT_EQ(frames.size(), 12u);

  const std::size_t before = kq::GdiObjectCount(*machine_);
  {
    UploadingAnimation animation(window_);
    for (int cycle = 1; cycle <= 13; ++cycle) {
      animation.Paint();
      const WORD expected = static_cast<WORD>(103 + cycle % 12);
      EXPECT_EQ(Square(Shown()), Bitmap(expected)) << "cycle " << cycle;
    }
  }
  EXPECT_EQ(kq::GdiObjectCount(*machine_), before) << "frames, contexts and the region are all freed";
}

TEST_F(UploadingWindow, WithoutAnUploadTheWindowComesAndGoesUnpaintedAndItsClassStays) {
  // The busy flag is tested before the first cycle: the window shows and goes again at once.
  sarnoth::State().busy = false;
  const std::size_t before = kq::GdiObjectCount(*machine_);
  EXPECT_EQ(sarnoth::UploadingWindowThread(nullptr), 0u);
  EXPECT_EQ(kq::GdiObjectCount(*machine_), before);
  WNDCLASSEXW cls{sizeof(WNDCLASSEXW)};
  ASSERT_TRUE(GetClassInfoExW(kModule, u"Z_LoadingWndClass", &cls));
  EXPECT_EQ(cls.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(cls.hIcon, LoadIconW(kModule, MAKEINTRESOURCEW(116)));
  EXPECT_NE(cls.hIcon, nullptr);
  EXPECT_EQ(cls.hCursor, LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(cls.hbrBackground), GetStockObject(WHITE_BRUSH));
  sarnoth::UnregisterUploadingWindowClass();
}

}  // namespace
