#include "lirriel_module.h"

#include "lirriel_ids.h"

namespace {

// The module object: its initialisation and exit are the base class's.
class CLirrielApp : public COleControlModule {
 public:
  BOOL InitInstance() override { return COleControlModule::InitInstance(); }
  int ExitInstance() override { return COleControlModule::ExitInstance(); }
};

CLirrielApp theApp;

constexpr AfxStringResource kStrings[] = {
    {IDS_LIRRIEL, u"Lirriel Control"},
    {IDS_LIRRIEL_PPG, u"Lirriel Property Page"},
    {IDS_LIRRIEL_PPG_CAPTION, u"General"},
};
const AfxResourceTable kResources(kStrings, std::size(kStrings));

}  // namespace

AfxTypeLibrary LirrielTypeLibrary() {
  return AfxTypeLibrary{LIBID_LIRRIELLib,
                        kLirrielVersionMajor,
                        kLirrielVersionMinor,
                        u"Lirriel ActiveX Control module",
                        {{DIID__DLirriel, u"_DLirriel"}, {DIID__DLirrielEvents, u"_DLirrielEvents"}}};
}

HRESULT LirrielRegisterServer(BOOL (*registerTypeLib)(const AfxTypeLibrary&)) {
  if (!registerTypeLib(LirrielTypeLibrary())) return SELFREG_E_TYPELIB;
  if (!COleObjectFactory::UpdateRegistryAll(TRUE)) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT LirrielUnregisterServer(BOOL (*unregisterTypeLib)(const GUID&, WORD, WORD)) {
  if (!unregisterTypeLib(LIBID_LIRRIELLib, kLirrielVersionMajor, kLirrielVersionMinor)) return SELFREG_E_TYPELIB;
  if (!COleObjectFactory::UpdateRegistryAll(FALSE)) return SELFREG_E_CLASS;
  return S_OK;
}
