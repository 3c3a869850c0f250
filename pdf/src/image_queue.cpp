// The image queue of vector mode: 24-bit blit images wait until something must be painted after them, and a batch
// of kMergeBatch is drawn into one bitmap and written as a single image when merging is on.
#include <algorithm>
#include <cstring>

#include "image_placement.h"
#include "pdf/tokens.h"
#include "win/wingdi.h"

namespace {

// The rectangle within the page; empty when it misses it.
RECTL OnPage(const RECTL& rect, std::int32_t width, std::int32_t height) {
  RECTL r = Normalized(rect);
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, width);
  r.bottom = std::min<LONG>(r.bottom, height);
  if (r.left >= r.right || r.top >= r.bottom) return RECTL{};
  return r;
}

// The screen bitmap the images are drawn into, released whatever happens.
class MergeCanvas {
 public:
  MergeCanvas(int width, int height) {
    screen_ = GetDC(nullptr);
    memory_ = CreateCompatibleDC(screen_);
    bitmap_ = CreateCompatibleBitmap(screen_, width, height);
    brush_ = CreateSolidBrush(0xFFFFFF);
    pen_ = CreatePen(PS_SOLID, 1, 0xFFFFFF);
    if (!memory_ || !bitmap_ || !brush_ || !pen_) return;
    oldBitmap_ = SelectObject(memory_, reinterpret_cast<HGDIOBJ>(bitmap_));
    oldBrush_ = SelectObject(memory_, reinterpret_cast<HGDIOBJ>(brush_));
    oldPen_ = SelectObject(memory_, reinterpret_cast<HGDIOBJ>(pen_));
    ready_ = oldBitmap_ && oldBrush_ && oldPen_;
    if (ready_) Rectangle(memory_, 0, 0, width, height);
  }
  ~MergeCanvas() {
    if (memory_) {
      if (oldBitmap_) SelectObject(memory_, oldBitmap_);
      if (oldBrush_) SelectObject(memory_, oldBrush_);
      if (oldPen_) SelectObject(memory_, oldPen_);
    }
    if (bitmap_) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap_));
    if (brush_) DeleteObject(reinterpret_cast<HGDIOBJ>(brush_));
    if (pen_) DeleteObject(reinterpret_cast<HGDIOBJ>(pen_));
    if (memory_) DeleteDC(memory_);
    if (screen_) ReleaseDC(nullptr, screen_);
  }
  MergeCanvas(const MergeCanvas&) = delete;
  MergeCanvas& operator=(const MergeCanvas&) = delete;

  bool Ready() const { return ready_; }
  HDC Context() const { return memory_; }
  HBITMAP Bitmap() const { return bitmap_; }

 private:
  HDC screen_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HBRUSH brush_ = nullptr;
  HPEN pen_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr, oldBrush_ = nullptr, oldPen_ = nullptr;
  bool ready_ = false;
};

BITMAPINFO Header24(LONG width, LONG height, DWORD sizeImage) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = sizeImage;
  return info;
}

std::size_t DibRow(std::int32_t width) { return (3 * static_cast<std::size_t>(width) + 3) / 4 * 4; }

}  // namespace

void CPDF_DocWriter::FlushImageQueue() {
  const std::size_t n = queuedSrcRects.Count();
  bool merged = false;
  if (n >= kMergeBatch && mergeImages && contentStream) {
    // The union of the destinations on the page, each normalised first.
    std::vector<RECTL> onPage;
    for (const RECTL& r : queuedDestRects.Rects()) {
      const RECTL clipped = OnPage(r, pageWidthPx, pageHeightPx);
      if (clipped.left < clipped.right) onPage.push_back(clipped);
    }
    const RECTL u = BoundingBox(onPage);
    const auto pixels = static_cast<std::uint64_t>(u.right - u.left) * static_cast<std::uint64_t>(u.bottom - u.top);
    if (!onPage.empty() && pixels <= kMaxMergedPixels) {
      merged = DrawMergedImage(u);
    } else if (onPage.empty()) {
      merged = true;  // nothing of the batch reaches the page
    }
  }
  if (!merged && contentStream) {
    auto rect = queuedDestRects.Rects().begin();
    for (auto& image : queuedImages) PlaceImage(*image, *rect++, *contentStream);
  }
  queuedImages.clear();
  queuedSrcRects.Clear();
  queuedDestRects.Clear();
}

bool CPDF_DocWriter::DrawMergedImage(const RECTL& u) {
  const std::int32_t width = u.right - u.left, height = u.bottom - u.top;
  MergeCanvas canvas(width, height);
  if (!canvas.Ready()) return false;

  std::size_t index = 0;
  for (const auto& image : queuedImages) {
    const RECTL src = queuedSrcRects[index];
    const RECTL& dest = queuedDestRects[index++];
    const std::size_t row = DibRow(image->width);
    std::vector<std::uint8_t> dib(row * static_cast<std::size_t>(image->height));
    for (std::int32_t r = 0; r < image->height; ++r)
      std::memcpy(dib.data() + row * static_cast<std::size_t>(r),
                  image->pixels.data() + 3 * static_cast<std::size_t>(image->width) * static_cast<std::size_t>(r),
                  3 * static_cast<std::size_t>(image->width));
    const BITMAPINFO info = Header24(image->width, image->height, static_cast<DWORD>(dib.size()));
    StretchDIBits(canvas.Context(), dest.left - u.left, dest.top - u.top, dest.right - dest.left,
                  dest.bottom - dest.top, 0, 0, src.right - src.left, src.bottom - src.top, dib.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
  }

  BITMAPINFO info = Header24(width, height, 0);
  if (GetDIBits(canvas.Context(), canvas.Bitmap(), 0, static_cast<UINT>(height), nullptr, &info, DIB_RGB_COLORS) == 0)
    return false;
  std::vector<std::uint8_t> back(info.bmiHeader.biSizeImage);
  const std::size_t row = DibRow(width);
  if (back.size() < row * static_cast<std::size_t>(height) ||
      GetDIBits(canvas.Context(), canvas.Bitmap(), 0, static_cast<UINT>(height), back.data(), &info,
                DIB_RGB_COLORS) != height)
    return false;
  ImageRecord merged;
  merged.width = width;
  merged.height = height;
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
  merged.pixels.resize(rowBytes * static_cast<std::size_t>(height));
  for (std::int32_t r = 0; r < height; ++r)
    std::memcpy(merged.pixels.data() + rowBytes * static_cast<std::size_t>(r), back.data() + row * static_cast<std::size_t>(r),
                rowBytes);
  back = {};

  textWriter.EndText(*contentStream);
  // The clip: the destinations as they lie on the page, coalesced.
  RectList clip;
  for (const RECTL& r : queuedDestRects.Rects()) {
    const RECTL clipped = OnPage(r, pageWidthPx, pageHeightPx);
    if (clipped.left < clipped.right) clip.Add(clipped);
  }
  clip.Coalesce();
  std::string& out = *contentStream;
  out += "q\n";
  for (const RECTL& r : clip.Rects()) {
    double x0 = r.left, y0 = r.bottom, x1 = r.right, y1 = r.top;
    DeviceToPdf(x0, y0);
    DeviceToPdf(x1, y1);
    out += FormatG(x0) + " " + FormatG(y0) + " " + FormatG(x1 - x0) + " " + FormatG(y1 - y0) + " re\n";
  }
  out += "W n\n";
  merged.objectNumber = NewObjectNumber();
  pageImages.push_back(merged.objectNumber);
  double x0 = u.left, y0 = u.bottom, x1 = u.right, y1 = u.top;
  DeviceToPdf(x0, y0);
  DeviceToPdf(x1, y1);
  out += FormatG(x1 - x0) + " 0 0 " + FormatG(y1 - y0) + " " + FormatG(x0) + " " + FormatG(y0) + " cm\n";
  out += "/Im" + std::to_string(merged.objectNumber) + " Do Q\n";
  WriteImageObject(merged);
  return true;
}
