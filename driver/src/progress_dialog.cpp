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

}  // namespace

HINSTANCE DriverModule() { return kq::ModuleOfAddress(reinterpret_cast<const void*>(&DriverModule)); }

const kq::DialogTemplate& ProgressDialogTemplate() { return kProgressTemplate; }

INT_PTR ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return ProgressDialogMessage(dialog, message, wParam, IDC_PROGRESS_HIDE, kDriverCaption);
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

  RunProgressDialogLoop(dialog);
  return 0;
}
