// A host that loads one module and exits, as a spooler or a browser that never unloads it does (or with "unload",
// unloading it first). Exits 0 when it got that far; a module that fails its own unloading takes it down.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  if (argc > 2 && std::strcmp(argv[2], "unload") == 0) dlclose(module);
  return 0;
}
