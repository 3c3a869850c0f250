// The "Uploading" window: shown on a thread of its own while the busy flag stands, it wakes every 100 ms and asks
// whether to cancel when the person closes it.
#include "plugin_state.h"
#include "win/ansi_text.h"
#include "win/synchapi.h"
#include "win/user.h"

namespace sarnoth {

namespace {

constexpr const WCHAR* kClassName = u"Z_LoadingWndClass";
constexpr DWORD kWindowStyle = 0x80CA0000;  // a popup with a frame, caption, system and minimise boxes
constexpr int kSize = 320;
constexpr DWORD kFrameMilliseconds = 100;

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
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
}

// Centred on the screen, its size kept.
void CenterWindowOnScreen(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  SetWindowPos(window, HWND_TOP, (frame.left + width - frame.right) / 2, (frame.top + height - frame.bottom) / 2, 0,
               0, SWP_NOSIZE);
}

}  // namespace

DWORD UploadingWindowThread(LPVOID) {
  RegisterWindowClass();
  const kq::WString title = kq::WideOfAnsi(OwnString(kStringUploading, 100));
  HWND window = CreateWindowExW(0, kClassName, title.c_str(), kWindowStyle, 0, 0, kSize, kSize, GetDesktopWindow(),
                                nullptr, State().module, nullptr);
  if (!window) return 0;
  CenterWindowOnScreen(window);
  ShowWindow(window, SW_SHOW);

  // The animation's frames are not painted yet (the window system has no device contexts for windows); the
  // window keeps its pace and answers its messages.
  while (State().busy && !State().windowDone) {
    Sleep(kFrameMilliseconds);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  DestroyWindow(window);
  return 0;
}

void UnregisterUploadingWindowClass() { UnregisterClassW(kClassName, State().module); }

}  // namespace sarnoth
