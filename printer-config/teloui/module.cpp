#include <dlfcn.h>

#include <atomic>

#include "page_resources.h"
#include "teloui/teloui.h"
#include "win/dialog_templates.h"

namespace {

std::atomic<HINSTANCE> module{nullptr};

}  // namespace

BOOL TelouiDllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
    kq::RegisterModuleResources(instance, PageResources());
  } else if (reason == DLL_PROCESS_DETACH) {
    kq::UnregisterModuleResources(instance);
  }
  return TRUE;
}

HINSTANCE TelouiModule() { return module; }

extern "C" {

BOOL DevQueryPrintEx(PVOID) { return TRUE; }

BOOL DrvPrinterEvent(LPWSTR, INT, DWORD, LPARAM) { return TRUE; }
}
