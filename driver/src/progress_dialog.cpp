// The driver's progress dialog and its thread.
#include "telodrv/progress_dialog.h"

#include <memory>

#include "pdf/doc_writer.h"
#include "pdf/progress_protocol.h"
#include "telodrv/driver_texts.h"
#include "win/commctrl.h"
#include "win/handleapi.h"
#include "win/libloaderapi.h"
#include "win/processthreadsapi.h"
#include "win/synchapi.h"

namespace {

constexpr kq::DialogControl kProgressControls[] = {
    {WC_STATIC, kProgressInitialText, IDC_PROGRESS_TEXT, SS_LEFT | WS_VISIBLE, 5, 3, 173, 8},
    {PROGRESS_CLASSW, nullptr, IDC_PROGRESS_BAR, WS_VISIBLE, 5, 13, 175, 6},
    {WC_BUTTON, u"Hide", IDC_PROGRESS_HIDE, BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 150, 22, 29, 9},
};
constexpr kq::DialogTemplate kProgressTemplate{
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 187, 35, kProgressTemplateCaption,
    u"Arial", 10, kProgressControls};
constexpr kq::DialogResource kDialogs[] = {{IDD_PROGRESS, &kProgressTemplate}};

// The module's templates are registered while the module is loaded.
struct ModuleResourceRegistration {
  ModuleResourceRegistration() { kq::RegisterModuleResources(DriverModule(), {kDialogs}); }
  ~ModuleResourceRegistration() { kq::UnregisterModuleResources(DriverModule()); }
};
const ModuleResourceRegistration kRegistration;

void EndProgressDialog(HWND dialog) {
  EndDialog(dialog, 0);
  PostQuitMessage(0);
}

}  // namespace

HINSTANCE DriverModule() { return kq::ModuleOfAddress(reinterpret_cast<const void*>(&DriverModule)); }

const kq::DialogTemplate& ProgressDialogTemplate() { return kProgressTemplate; }

INT_PTR ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      RECT frame{};
      GetWindowRect(dialog, &frame);
      const int width = frame.right - frame.left, height = frame.bottom - frame.top;
      SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SetWindowTextW(dialog, kDriverCaption);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_PROGRESS_HIDE) EndProgressDialog(dialog);
      return 0;
    case WM_PROGRESS_DONE:
      EndProgressDialog(dialog);
      return 0;
    default:
      return 0;
  }
}

DWORD ProgressDialogThread(LPVOID parameter) {
  const std::unique_ptr<std::shared_ptr<ProgressThreadArgs>> held(
      static_cast<std::shared_ptr<ProgressThreadArgs>*>(parameter));
  ProgressThreadArgs& args = **held;
  // The writer waits for this in every case, also when no dialog comes.
  struct Signal {
    HANDLE ready;
    ~Signal() { SetEvent(ready); }
  } signal{args.ready};

  if (!args.interactive) {
    args.progressWindow = nullptr;
    return 0;
  }
  const HWND dialog =
      CreateDialogParamW(DriverModule(), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr, ProgressDialogProc, 0);
  if (!dialog) return 1;
  ShowWindow(dialog, SW_SHOW);
  args.progressWindow = dialog;
  SetEvent(args.ready);

  MSG message;
  BOOL got;
  // A failed GetMessageW (-1) ends the loop: it would fail again at once.
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
