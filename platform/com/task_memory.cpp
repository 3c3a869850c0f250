#include <cstdlib>

#include "win/objbase.h"

namespace {
// Apartments are not modelled; the count only tells a thread's first initialisation from later ones.
thread_local int tInitialised = 0;
}  // namespace

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID, DWORD) { return tInitialised++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (tInitialised > 0) --tInitialised;
}

LPVOID CoTaskMemAlloc(SIZE_T bytes) { return std::malloc(bytes ? bytes : 1); }

LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T bytes) { return std::realloc(block, bytes ? bytes : 1); }

void CoTaskMemFree(LPVOID block) { std::free(block); }
