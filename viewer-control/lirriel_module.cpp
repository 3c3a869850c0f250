#include "lirriel_module.h"

#include <array>
#include <cstdint>

#include "lirriel_ids.h"
#include "win/dialog_templates.h"
#include "win/libloaderapi.h"

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

// About dialog 1: the control's icon, its name and version, and OK.
constexpr kq::DialogControl kAboutControls[] = {
    {WC_STATIC, u"#1", 0xFFFF, WS_VISIBLE | SS_ICON, 10, 10, 20, 20},
    {WC_STATIC, u"Lirriel Control, Version 1.0", 0xFFFF, WS_VISIBLE | SS_LEFT, 40, 10, 119, 8},
    {WC_BUTTON, u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 176, 7, 32, 14},
};
constexpr kq::DialogTemplate kAboutBox{DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                       0,
                                       0,
                                       217,
                                       55,
                                       u"About Lirriel Control",
                                       u"MS Sans Serif",
                                       8,
                                       kAboutControls};
constexpr kq::DialogResource kDialogs[] = {{static_cast<WORD>(IDD_ABOUTBOX_LIRRIEL), &kAboutBox}};

// Icon 1, 32 x 32: a dark blue disc on white.
constexpr int kIconSize = 32;
constexpr std::array<std::uint32_t, kIconSize * kIconSize> IconPixels() {
  std::array<std::uint32_t, kIconSize * kIconSize> pixels{};
  for (int y = 0; y < kIconSize; ++y)
    for (int x = 0; x < kIconSize; ++x) {
      const int dx = 2 * x + 1 - kIconSize, dy = 2 * y + 1 - kIconSize;
      pixels[static_cast<std::size_t>(y * kIconSize + x)] =
          dx * dx + dy * dy <= (kIconSize - 4) * (kIconSize - 4) ? 0x1F3A7A : 0xFFFFFF;
    }
  return pixels;
}
constexpr auto kIconPixels = IconPixels();
const kq::PictureResource kIcons[] = {{1, kIconSize, kIconSize, kIconPixels}};

// The dialog and the icon, registered while the module is loaded.
struct ModuleResourceRegistration {
  ModuleResourceRegistration() { kq::RegisterModuleResources(LirrielModule(), {kDialogs, {}, {}, kIcons}); }
  ~ModuleResourceRegistration() { kq::UnregisterModuleResources(LirrielModule()); }
};
const ModuleResourceRegistration kRegistration;

}  // namespace

HINSTANCE LirrielModule() { return kq::ModuleOfAddress(reinterpret_cast<const void*>(&LirrielModule)); }

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
