// A spinner of twelve dots on a ring: frame i shows dot i (clockwise from the top) in full colour and the eleven
// before it fading towards grey, so that the frames in turn make the dots run round. The upload picture is an arrow
// rising out of a tray.
#include "pictures.h"

#include <array>
#include <cmath>
#include <vector>

namespace sarnoth {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kInk = 0x1F5FAF;
constexpr std::uint32_t kFaded = 0xD8D8D8;
// The entry's picture lies on the colour the entry is registered with.
constexpr std::uint32_t kEntryField = 0x00FF00;

constexpr int kSamples = 4;  // per pixel and axis, for smooth edges
constexpr double kRing = 11;
constexpr double kDot = 2.6;

using Pixels = std::vector<std::uint32_t>;

std::uint32_t Mix(std::uint32_t from, std::uint32_t to, double t) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const double a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
    out |= static_cast<std::uint32_t>(std::lround(a + (b - a) * t)) << shift;
  }
  return out;
}

Pixels Frame(int head) {
  Pixels pixels(kFrameSize * kFrameSize, kWhite);
  const double centre = kFrameSize / 2.0;
  for (int dot = 0; dot < kFrameCount; ++dot) {
    const double angle = dot * 2 * M_PI / kFrameCount;
    const double cx = centre + kRing * std::sin(angle), cy = centre - kRing * std::cos(angle);
    const int age = (head - dot + kFrameCount) % kFrameCount;
    const std::uint32_t colour = Mix(kInk, kFaded, age / static_cast<double>(kFrameCount - 1));
    for (int y = static_cast<int>(cy - kDot) - 1; y <= static_cast<int>(cy + kDot) + 1; ++y) {
      for (int x = static_cast<int>(cx - kDot) - 1; x <= static_cast<int>(cx + kDot) + 1; ++x) {
        if (x < 0 || y < 0 || x >= kFrameSize || y >= kFrameSize) continue;
        int covered = 0;
        for (int sy = 0; sy < kSamples; ++sy) {
          for (int sx = 0; sx < kSamples; ++sx) {
            const double dx = x + (sx + 0.5) / kSamples - cx, dy = y + (sy + 0.5) / kSamples - cy;
            covered += dx * dx + dy * dy <= kDot * kDot;
          }
        }
        auto& pixel = pixels[static_cast<std::size_t>(y) * kFrameSize + x];
        if (covered) pixel = Mix(kWhite, colour, covered / static_cast<double>(kSamples * kSamples));
      }
    }
  }
  return pixels;
}

bool InUploadPicture(int x, int y) {
  const int fromMiddle = std::abs(2 * x - (kFrameSize - 1));  // twice the distance from the middle column
  const bool head = y >= 3 && y < 14 && fromMiddle <= 2 * (y - 3) + 1;
  const bool shaft = y >= 14 && y < 22 && fromMiddle <= 7;
  const bool trayBottom = y >= 25 && y < 28 && x >= 4 && x < 28;
  const bool traySides = y >= 19 && y < 28 && ((x >= 4 && x < 7) || (x >= 25 && x < 28));
  return head || shaft || trayBottom || traySides;
}

Pixels UploadPicture(std::uint32_t field) {
  Pixels pixels(kFrameSize * kFrameSize, field);
  for (int y = 0; y < kFrameSize; ++y)
    for (int x = 0; x < kFrameSize; ++x)
      if (InUploadPicture(x, y)) pixels[static_cast<std::size_t>(y) * kFrameSize + x] = kInk;
  return pixels;
}

struct Drawn {
  std::array<Pixels, kFrameCount + 1> bitmapPixels;
  Pixels iconPixels;
  std::array<kq::PictureResource, kFrameCount + 1> bitmaps;
  std::array<kq::PictureResource, 1> icons;

  Drawn() {
    for (int i = 0; i < kFrameCount; ++i) bitmapPixels[i] = Frame(i);
    bitmapPixels[kFrameCount] = UploadPicture(kEntryField);
    iconPixels = UploadPicture(kWhite);
    for (int i = 0; i <= kFrameCount; ++i)
      bitmaps[i] = {static_cast<WORD>(kFirstFrameBitmap + i), kFrameSize, kFrameSize, bitmapPixels[i]};
    icons[0] = {kWindowIcon, kFrameSize, kFrameSize, iconPixels};
  }
};

const Drawn& Pictures() {
  static const Drawn drawn;
  return drawn;
}

}  // namespace

std::span<const kq::PictureResource> Bitmaps() { return Pictures().bitmaps; }
std::span<const kq::PictureResource> Icons() { return Pictures().icons; }

}  // namespace sarnoth
