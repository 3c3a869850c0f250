// The loader's side of libSarnoth.so: the module's entry runs when the library is loaded and unloaded, with the
// library's own base as its instance handle.
#include <dlfcn.h>

#include "../src/plugin_state.h"

namespace {

HINSTANCE ThisModule() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<const void*>(&ThisModule), &info)) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void OnLoad() { DllMain(ThisModule(), sarnoth::kProcessAttach, nullptr); }
__attribute__((destructor)) void OnUnload() { DllMain(ThisModule(), sarnoth::kProcessDetach, nullptr); }

}  // namespace
