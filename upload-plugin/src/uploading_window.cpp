// The "Uploading" window: shown on a thread of its own while the busy flag stands, it paints its animation every
// 100 ms and asks whether to cancel when the person closes it.
#include <memory>

#include "pictures.h"
#include "plugin_state.h"
#include "sarnoth/uploading_animation.h"
#include "win/ansi_text.h"
#include "win/synchapi.h"
#include "win/user.h"

namespace sarnoth {

namespace {

constexpr const WCHAR* kClassName = u"Z_LoadingWndClass";
constexpr DWORD kWindowStyle = 0x80CA0000;  // a popup with a frame, caption, system and minimise boxes
constexpr int kSize = UploadingAnimation::kSize;
constexpr DWORD kFrameMilliseconds = 100;
static_assert(kFrameCount == 12, "the animation holds twelve frames");

LRESULT UploadingWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOMMAND && LOWORD(wParam) == SC_CLOSE) {
    const std::string text = OwnString(kStringCancelQuestion, 100), caption = OwnString(kStringCaption, 20);
    if (MessageBoxA(window, text.c_str(), caption.c_str(), MB_YESNO) == IDYES) CancelUpload();
    return 1;  // the window goes when the upload has stopped, not here
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterWindowClass() {
  WNDCLASSEXW existing{sizeof(WNDCLASSEXW)};
  if (GetClassInfoExW(State().module, kClassName, &existing)) return;
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = UploadingWndProc;
  windowClass.hInstance = State().module;
  windowClass.hIcon = LoadIconW(State().module, MAKEINTRESOURCEW(kWindowIcon));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
}

// Centred on the screen that the window's context tells, its size kept.
void CenterWindowOnScreen(HWND window) {
  HDC dc = GetDC(window);
  const int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(window, dc);
  RECT frame{};
  GetWindowRect(window, &frame);
  SetWindowPos(window, HWND_TOP, (frame.left + width - frame.right) / 2, (frame.top + height - frame.bottom) / 2, 0,
               0, SWP_NOSIZE);
}

}  // namespace

UploadingAnimation::UploadingAnimation(HWND window)
    : window_(window), windowDc_(GetDC(window)), memoryDc_(CreateCompatibleDC(windowDc_)) {
  for (int i = 0; i < kFrameCount; ++i)
    frames_[i] = LoadBitmapW(State().module, MAKEINTRESOURCEW(static_cast<WORD>(kFirstFrameBitmap + i)));
  // Everything but the frame's square, which each frame covers whole.
  paintRegion_ = CreateRectRgn(0, 0, kSize, kSize);
  HRGN hole = CreateRectRgn(kFrameAt, kFrameAt, kFrameAt + kFrameSize, kFrameAt + kFrameSize);
  CombineRgn(paintRegion_, paintRegion_, hole, RGN_XOR);
  DeleteObject(reinterpret_cast<HGDIOBJ>(hole));
}

UploadingAnimation::~UploadingAnimation() {
  // The last frame is still selected, and a selected bitmap cannot be deleted.
  if (memoryBitmap_) SelectObject(memoryDc_, memoryBitmap_);
  for (HBITMAP frame : frames_)
    if (frame) DeleteObject(reinterpret_cast<HGDIOBJ>(frame));
  DeleteObject(reinterpret_cast<HGDIOBJ>(paintRegion_));
  DeleteDC(memoryDc_);
  ReleaseDC(window_, windowDc_);
}

void UploadingAnimation::Paint() {
  FillRgn(windowDc_, paintRegion_, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const RECT field{0, 0, kSize, kSize};
  FrameRect(windowDc_, &field, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const std::string text = OwnString(kStringPleaseWait, 100);
  SIZE extent{};
  GetTextExtentPoint32A(windowDc_, text.c_str(), static_cast<int>(text.size()), &extent);
  TextOutA(windowDc_, (kSize - extent.cx) / 2, kTextTop, text.c_str(), static_cast<int>(text.size()));
  frame_ = (frame_ + 1) % kFrameCount;
  // DrawFrameCentered: the 32 x 32 frame in the middle of the square.
  HGDIOBJ replaced = SelectObject(memoryDc_, reinterpret_cast<HGDIOBJ>(frames_[frame_]));
  if (!memoryBitmap_) memoryBitmap_ = replaced;
  BitBlt(windowDc_, kFrameAt, kFrameAt, kFrameSize, kFrameSize, memoryDc_, 0, 0, SRCCOPY);
}

DWORD UploadingWindowThread(LPVOID) {
  RegisterWindowClass();
  const kq::WString title = kq::WideOfAnsi(OwnString(kStringUploading, 100));
  HWND window = CreateWindowExW(0, kClassName, title.c_str(), kWindowStyle, 0, 0, kSize, kSize, GetDesktopWindow(),
                                nullptr, State().module, nullptr);
  if (!window) return 0;
  CenterWindowOnScreen(window);
  ShowWindow(window, SW_SHOW);

  auto animation = std::make_unique<UploadingAnimation>(window);
  while (State().busy && !State().windowDone) {
    animation->Paint();
    Sleep(kFrameMilliseconds);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  animation.reset();  // its context belongs to the window
  DestroyWindow(window);
  return 0;
}

void UnregisterUploadingWindowClass() { UnregisterClassW(kClassName, State().module); }

}  // namespace sarnoth
