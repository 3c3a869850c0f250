// What runs when libteloui.so is loaded and unloaded: the module's DllMain with its load address as its handle.
// Only the shared library has it; the tests call TelouiDllMain themselves.
#include "teloui/teloui.h"
#include "win/libloaderapi.h"

namespace {

HINSTANCE OwnModule() { return kq::ModuleOfAddress(reinterpret_cast<const void*>(&OwnModule)); }

__attribute__((constructor)) void OnLoad() { TelouiDllMain(OwnModule(), DLL_PROCESS_ATTACH, nullptr); }
__attribute__((destructor)) void OnUnload() { TelouiDllMain(OwnModule(), DLL_PROCESS_DETACH, nullptr); }

}  // namespace
