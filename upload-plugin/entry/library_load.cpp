// The loader's side of libSarnoth.so: the module's entry runs when the library is loaded and unloaded, with the
// library's own base as its instance handle.
#include "../src/plugin_state.h"
#include "win/libloaderapi.h"

namespace {

HINSTANCE ThisModule() { return kq::ModuleOfAddress(reinterpret_cast<const void*>(&ThisModule)); }

__attribute__((constructor)) void OnLoad() { DllMain(ThisModule(), sarnoth::kProcessAttach, nullptr); }
__attribute__((destructor)) void OnUnload() { DllMain(ThisModule(), sarnoth::kProcessDetach, nullptr); }

}  // namespace
