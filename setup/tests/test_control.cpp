// A stand-in for the viewer control's self-registration: it writes and removes a control's class key and ProgID
// under HKEY_CLASSES_ROOT of the calling thread's machine. Built once with both entries, once with neither.
#include "win/registry.h"

#define KQ_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef KQ_WITH_REGISTRATION
namespace {
constexpr char16_t kClassKey[] = u"CLSID\\{05563215-225C-45EB-BB34-AFA47217B1DE}";
constexpr char16_t kProgId[] = u"LIRRIEL.LirrielCtrl.1";
}  // namespace

KQ_EXPORT HRESULT DllRegisterServer() {
  HKEY key = nullptr;
  for (const char16_t* path : {kClassKey, kProgId}) {
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0)
      return static_cast<HRESULT>(0x80040201);
    RegCloseKey(key);
  }
  return 0;
}

KQ_EXPORT HRESULT DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  return 0;
}
#else
KQ_EXPORT int SomethingElse() { return 0; }
#endif
