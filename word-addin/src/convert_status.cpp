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
  return ProgressDialogMessage(dialog, message, wParam, IDC_CONVERT_HIDE, kConvertStatusCaption);
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

  RunProgressDialogLoop(dialog);
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
  if (const HWND dialog = CurrentConvertStatus()) SendProgressReport(dialog, text, position);
}

void EndConvertStatus() {
  if (const HWND dialog = CurrentConvertStatus()) SendMessageW(dialog, kConvertStatusDone, 0, 0);
  ConvertStatusWindow() = nullptr;
}
