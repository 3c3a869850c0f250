// The add-in's progress dialog and its thread.
#include "dovecap/convert_status.h"

#include <chrono>

#include "win/commctrl.h"
#include "win/libloaderapi.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

constexpr kq::DialogControl kControls[] = {
    {WC_STATIC, kConvertStatusInitialText, IDC_CONVERT_TEXT, SS_LEFT | WS_VISIBLE, 3, 3, 180, 8},
    {PROGRESS_CLASSW, nullptr, IDC_CONVERT_BAR, WS_VISIBLE | WS_BORDER, 3, 13, 185, 6},
    {WC_BUTTON, u"Hide", IDC_CONVERT_HIDE, BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 162, 21, 25, 9},
};
constexpr kq::DialogTemplate kTemplate{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                                       0,
                                       0,
                                       190,
                                       33,
                                       kConvertStatusTemplateCaption,
                                       u"Arial",
                                       10,
                                       kControls};
constexpr kq::DialogResource kDialogs[] = {{IDD_CONVERT_STATUS, &kTemplate}};

// The module's templates are registered while the module is loaded.
struct ModuleResourceRegistration {
  ModuleResourceRegistration() { kq::RegisterModuleResources(DovecapModule(), {kDialogs}); }
  ~ModuleResourceRegistration() { kq::UnregisterModuleResources(DovecapModule()); }
};
const ModuleResourceRegistration kRegistration;

void EndStatusDialog(HWND dialog) {
  EndDialog(dialog, 0);
  PostQuitMessage(0);
}

}  // namespace

HINSTANCE DovecapModule() { return kq::ModuleOfAddress(reinterpret_cast<const void*>(&DovecapModule)); }

const kq::DialogTemplate& ConvertStatusTemplate() { return kTemplate; }

std::atomic<HWND>& ConvertStatusWindow() {
  static std::atomic<HWND> window{nullptr};
  return window;
}

HWND CurrentConvertStatus() {
  const HWND window = ConvertStatusWindow().load();
  return window == kConvertStatusFailed ? nullptr : window;
}

INT_PTR ConvertStatusDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      RECT frame{};
      GetWindowRect(dialog, &frame);
      const int width = frame.right - frame.left, height = frame.bottom - frame.top;
      SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      SendDlgItemMessageW(dialog, IDC_CONVERT_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SetWindowTextW(dialog, kConvertStatusCaption);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_CONVERT_HIDE) EndStatusDialog(dialog);
      return 0;
    case kConvertStatusDone:
      EndStatusDialog(dialog);
      return 0;
    default:
      return 0;
  }
}

DWORD ConvertStatusThread(LPVOID) {
  const HWND dialog = CreateDialogParamW(DovecapModule(), MAKEINTRESOURCEW(IDD_CONVERT_STATUS), nullptr,
                                         ConvertStatusDlgProc, 0);
  if (!dialog) {
    ConvertStatusWindow() = kConvertStatusFailed;
    return 1;
  }
  ConvertStatusWindow() = dialog;
  ShowWindow(dialog, SW_SHOW);

  MSG message;
  BOOL got;
  // A failed get (-1) ends the loop: the platform's failures last, and skipping them would spin.
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // A later conversion may have published its own dialog meanwhile.
  HWND mine = dialog;
  ConvertStatusWindow().compare_exchange_strong(mine, nullptr);
  return 0;
}

HANDLE StartConvertStatus() {
  ConvertStatusWindow() = nullptr;
  return CreateThread(nullptr, 0, ConvertStatusThread, nullptr, 0, nullptr);
}

HWND WaitForConvertStatus(DWORD milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const HWND window = ConvertStatusWindow().load();
    if (window) return window == kConvertStatusFailed ? nullptr : window;
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    Sleep(5);
  }
}

void ReportConvertStatus(LPCWSTR text, int position) {
  const HWND dialog = CurrentConvertStatus();
  if (!dialog) return;
  // A control of a dialog that is gone is null, and a post to null would land in this thread's own queue.
  if (text) {
    if (const HWND label = GetDlgItem(dialog, IDC_CONVERT_TEXT))
      SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  if (position < 1 || position > 100) return;
  if (const HWND bar = GetDlgItem(dialog, IDC_CONVERT_BAR))
    PostMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void EndConvertStatus() {
  if (const HWND dialog = CurrentConvertStatus()) SendMessageW(dialog, kConvertStatusDone, 0, 0);
  ConvertStatusWindow() = nullptr;
}
