// The exports of libLirriel.so.
#include "lirriel_module.h"

#define LIRRIEL_EXPORT extern "C" __attribute__((visibility("default")))

LIRRIEL_EXPORT HRESULT DllRegisterServer() { return LirrielRegisterServer(AfxOleRegisterTypeLib); }
LIRRIEL_EXPORT HRESULT DllUnregisterServer() { return LirrielUnregisterServer(AfxOleUnregisterTypeLib); }
LIRRIEL_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return AfxDllGetClassObject(clsid, iid, object);
}
LIRRIEL_EXPORT HRESULT DllCanUnloadNow() { return AfxDllCanUnloadNow(); }
