// What runs when libteloui.so is loaded and unloaded: the module's DllMain with its load address as its handle.
// Only the shared library has it; the tests call TelouiDllMain themselves.
#include <dlfcn.h>

#include "teloui/teloui.h"

namespace {

HINSTANCE OwnModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModule), &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void OnLoad() { TelouiDllMain(OwnModule(), DLL_PROCESS_ATTACH, nullptr); }
__attribute__((destructor)) void OnUnload() { TelouiDllMain(OwnModule(), DLL_PROCESS_DETACH, nullptr); }

}  // namespace
