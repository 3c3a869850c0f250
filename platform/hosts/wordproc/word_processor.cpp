#include "wordproc/word_processor.h"

#include "objects.h"
#include "win/dispatch_object.h"
#include "win/registry.h"
#include "win/word_automation.h"

namespace kq::wordproc {

namespace {

void SetClassesRootText(const WString& path, const WString& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

}  // namespace

std::unique_ptr<WordProcessor> WordProcessor::Start(StartOptions options) {
  std::unique_ptr<WordProcessor> program(new WordProcessor());
  program->options_ = std::move(options);
  const WString clsid = GuidText(CLSID_WordApplication);
  SetClassesRootText(kWordApplicationProgId, u"Word Application");
  SetClassesRootText(WString(kWordApplicationProgId) + u"\\CLSID", clsid);
  SetClassesRootText(u"CLSID\\" + clsid, u"Word Application");
  SetClassesRootText(u"CLSID\\" + clsid + u"\\ProgID", kWordApplicationProgId);
  const StartOptions startOptions = program->options_;
  auto factory = ComPtr<IClassFactory>::Attach(new ClassFactory([startOptions](REFIID riid, void** object) {
    return MakeApplication(NewAppState(startOptions))->QueryInterface(riid, object);
  }));
  if (FAILED(CoRegisterClassObject(CLSID_WordApplication, factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                   &program->classCookie_)))
    return nullptr;
  return program;
}

WordProcessor::~WordProcessor() {
  if (classCookie_) CoRevokeClassObject(classCookie_);
}

ComPtr<IDispatch> WordProcessor::NewApplication() { return MakeApplication(NewAppState(options_)); }

}  // namespace kq::wordproc
