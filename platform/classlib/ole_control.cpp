// Controls: their interfaces, the module's class factories and exports, and the registry entries of classes and
// type libraries.
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "win/classlib.h"
#include "win/wingdi.h"
#include "win/findfile.h"
#include "win/paths.h"
#include "win/registry.h"

IMPLEMENT_DYNAMIC(COleControl, CWnd)
IMPLEMENT_DYNAMIC(COleControlModule, CWinApp)
IMPLEMENT_DYNAMIC(COleObjectFactory, CCmdTarget)
IMPLEMENT_DYNAMIC(COlePropertyPage, CCmdTarget)

namespace {

std::atomic<LONG> gObjects{0};
std::atomic<LONG> gLocks{0};

std::vector<COleObjectFactory*>& Factories() {
  static std::vector<COleObjectFactory*> factories;
  return factories;
}

}  // namespace

LONG AfxGetObjectCount() { return gObjects.load(); }

// ---- The control's interfaces ----

class COleControl::Interfaces final : public IDispatch, public kq::OleObjectDefaults, public IOleInPlaceObject {
 public:
  explicit Interfaces(COleControl& control) : control_(control) {}

  HRESULT QueryInterface(REFIID iid, void** object) override { return control_.InternalQueryInterface(iid, object); }
  ULONG AddRef() override { return control_.InternalAddRef(); }
  ULONG Release() override { return control_.InternalRelease(); }

  // IDispatch over the control's dispatch map.
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const auto& map = control_.GetDispatchMap();
    auto it = std::find_if(map.begin(), map.end(),
                           [&](const AfxDispatchEntry& e) { return kq::EqualsIgnoreAsciiCase(e.name, names[0]); });
    if (it == map.end()) return DISP_E_UNKNOWNNAME;
    ids[0] = it->dispid;
    if (count > 1) result = DISP_E_UNKNOWNNAME;
    return result;
  }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT*) override {
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    const auto& map = control_.GetDispatchMap();
    auto it = std::find_if(map.begin(), map.end(), [&](const AfxDispatchEntry& e) { return e.dispid == member; });
    if (it == map.end()) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ULONG hold = AddRef();
    (void)hold;
    HRESULT hr = S_OK;
    try {
      hr = it->call(&control_, params ? params : &none, result);
    } catch (const COleDispatchException& e) {
      if (exception) {
        *exception = EXCEPINFO{};
        exception->wCode = e.m_wCode;
        exception->bstrDescription = SysAllocString(kq::WideFromUtf8(e.m_strDescription).c_str());
      }
      hr = DISP_E_EXCEPTION;
    } catch (const CException&) {
      hr = E_FAIL;
    }
    Release();
    return hr;
  }

  // IOleObject
  HRESULT SetClientSite(IOleClientSite* site) override {
    if (site) site->AddRef();
    if (control_.m_pClientSite) control_.m_pClientSite->Release();
    control_.m_pClientSite = site;
    // A control its container never initialised starts from its reset state.
    if (site && !control_.initialised_) {
      control_.initialised_ = true;
      control_.OnResetState();
    }
    return S_OK;
  }
  HRESULT GetClientSite(IOleClientSite** site) override {
    if (!site) return E_POINTER;
    *site = control_.m_pClientSite;
    if (*site) (*site)->AddRef();
    return S_OK;
  }
  HRESULT Close(DWORD) override { return InPlaceDeactivate(); }
  HRESULT DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT position) override {
    switch (verb) {
      case OLEIVERB_PROPERTIES:
        return control_.OnProperties() ? S_OK : E_FAIL;
      case OLEIVERB_HIDE:
        if (control_.m_hWnd) control_.ShowWindow(SW_HIDE);
        return S_OK;
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_OPEN:
      case OLEIVERB_UIACTIVATE:
      case OLEIVERB_INPLACEACTIVATE:
        break;
      default:
        return OLEOBJ_E_NOVERBS;
    }
    if (control_.m_hWnd) {
      control_.ShowWindow(SW_SHOW);
      return S_OK;
    }
    if (!parent) {
      kq::ComPtr<IOleInPlaceSite> inPlace;
      IOleClientSite* from = site ? site : control_.m_pClientSite;
      if (from && SUCCEEDED(from->QueryInterface(IID_IOleInPlaceSite, inPlace.PutVoid())) && inPlace)
        inPlace->GetWindow(&parent);
    }
    if (!parent) return E_INVALIDARG;
    RECT rect = position ? *position : RECT{0, 0, 0, 0};
    return control_.CreateControlWindow(parent, rect) ? S_OK : E_FAIL;
  }
  HRESULT GetUserClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = control_.GetClassID();
    return S_OK;
  }
  HRESULT GetUserType(DWORD, LPOLESTR* userType) override {
    if (!userType) return E_POINTER;
    const kq::WString name = control_.GetUserTypeName();
    *userType = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
    if (!*userType) return E_OUTOFMEMORY;
    std::copy(name.begin(), name.end(), *userType);
    (*userType)[name.size()] = 0;
    return S_OK;
  }
  HRESULT GetMiscStatus(DWORD, DWORD* status) override {
    if (!status) return E_POINTER;
    *status = control_.GetMiscStatus();
    return S_OK;
  }

  // IOleWindow, IOleInPlaceObject
  HRESULT GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = control_.m_hWnd;
    return *window ? S_OK : E_FAIL;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT InPlaceDeactivate() override {
    if (control_.m_hWnd) control_.DestroyWindow();
    return S_OK;
  }
  HRESULT UIDeactivate() override { return S_OK; }
  HRESULT SetObjectRects(LPCRECT position, LPCRECT) override {
    if (!position) return E_POINTER;
    if (control_.m_hWnd)
      control_.MoveWindow(position->left, position->top, position->right - position->left,
                          position->bottom - position->top);
    return S_OK;
  }
  HRESULT ReactivateAndUndo() override { return E_NOTIMPL; }

 private:
  COleControl& control_;
};

COleControl::COleControl() : interfaces_(std::make_unique<Interfaces>(*this)) { ++gObjects; }

COleControl::~COleControl() {
  if (m_pClientSite) m_pClientSite->Release();
  --gObjects;
}

void COleControl::InitializeIIDs(const IID* dispatch, const IID* events) {
  if (dispatch) dispatchIid_ = *dispatch;
  if (events) eventsIid_ = *events;
}

IUnknown* COleControl::GetControllingUnknown() { return static_cast<IDispatch*>(interfaces_.get()); }

HRESULT COleControl::InternalQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  Interfaces* self = interfaces_.get();
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == dispatchIid_) {
    *object = static_cast<IDispatch*>(self);
  } else if (iid == IID_IOleObject) {
    *object = static_cast<IOleObject*>(self);
  } else if (iid == IID_IOleInPlaceObject || iid == IID_IOleWindow) {
    *object = static_cast<IOleInPlaceObject*>(self);
  } else {
    return E_NOINTERFACE;
  }
  InternalAddRef();
  return S_OK;
}

ULONG COleControl::InternalAddRef() { return ++references_; }

ULONG COleControl::InternalRelease() {
  const ULONG left = --references_;
  if (left == 0) {
    // The control's destruction: its window goes first, then the object.
    if (m_hWnd) DestroyWindow();
    delete this;
  }
  return left;
}

BOOL COleControl::CreateControlWindow(HWND parent, const RECT& position) {
  CWnd parentWindow;
  parentWindow.m_hWnd = parent;
  const BOOL created = CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, position,
                                &parentWindow, 0);
  parentWindow.m_hWnd = nullptr;
  // A window that is shown is painted.
  if (created) SendMessageW(m_hWnd, WM_PAINT, 0, 0);
  return created;
}

LRESULT COleControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return CWnd::WindowProc(message, wParam, lParam);
  RECT bounds{};
  ::GetClientRect(m_hWnd, &bounds);
  if (HDC dc = GetDC(m_hWnd)) {
    OnDraw(dc, bounds, bounds);
    ReleaseDC(m_hWnd, dc);
  }
  return 0;
}

int COleControl::OnCreate(CREATESTRUCTW* cs) { return CWnd::OnCreate(cs); }
void COleControl::OnSize(UINT type, int cx, int cy) { CWnd::OnSize(type, cx, cy); }

void COleControl::DoPropExchange(CPropExchange*) {}

void COleControl::OnResetState() {
  CPropExchange reset(TRUE);
  DoPropExchange(&reset);
  InvalidateControl();
}

BOOL COleControl::ExchangeVersion(CPropExchange* px, DWORD version, BOOL) {
  // No data is persisted: loading takes the current version, saving writes it.
  if (px) px->m_dwVersion = version;
  return TRUE;
}

BOOL COleControl::OnProperties() {
  for (const CLSID& page : GetPropPageIDs()) {
    (void)page;
    const kq::WString caption = GetUserTypeName() + u" Properties";
    MessageBoxW(m_hWnd, AfxLoadString(200).c_str(), caption.c_str(), MB_OK);
  }
  return TRUE;
}

void COlePropertyPage::DoDataExchange(CDataExchange* dx) { DDP_PostProcessing(dx); }
void DDP_PostProcessing(CDataExchange*) {}

// ---- Class factories ----

class COleObjectFactory::ClassObjectImpl final : public IClassFactory {
 public:
  explicit ClassObjectImpl(COleObjectFactory& factory) : factory_(factory) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // The factory is a static object of its module.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return factory_.CreateInstance(iid, object);
  }
  HRESULT LockServer(BOOL lock) override {
    lock ? ++gLocks : --gLocks;
    return S_OK;
  }

 private:
  COleObjectFactory& factory_;
};

namespace {

// A property page as a component object: it answers IUnknown and lives as long as its references.
class PageObject final : public IUnknown {
 public:
  explicit PageObject(COlePropertyPage* page) : page_(page) { ++gObjects; }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown) return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete page_;
      --gObjects;
      delete this;
    }
    return left;
  }

 private:
  ~PageObject() = default;
  COlePropertyPage* page_;
  ULONG references_ = 1;
};

}  // namespace

COleObjectFactory::COleObjectFactory(const CLSID& clsid, const CRuntimeClass* cls, const char16_t* progId)
    : m_clsid(clsid), m_pRuntimeClass(cls), m_lpszProgID(progId) {
  Factories().push_back(this);
}

COleObjectFactory::~COleObjectFactory() {
  auto& list = Factories();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

IClassFactory* COleObjectFactory::ClassObject() {
  if (!classObject_) classObject_ = std::make_unique<ClassObjectImpl>(*this);
  return classObject_.get();
}

BOOL COleObjectFactory::UpdateRegistryAll(BOOL registering) {
  for (COleObjectFactory* factory : Factories())
    if (!factory->UpdateRegistry(registering)) return FALSE;
  return TRUE;
}

HRESULT COleObjectFactory::CreateInstance(REFIID iid, void** object) {
  CObject* made = m_pRuntimeClass ? m_pRuntimeClass->CreateObject() : nullptr;
  if (!made) return E_OUTOFMEMORY;
  if (auto* control = dynamic_cast<COleControl*>(made)) {
    const HRESULT hr = control->InternalQueryInterface(iid, object);
    control->InternalRelease();
    return hr;
  }
  if (auto* page = dynamic_cast<COlePropertyPage*>(made)) {
    auto* unknown = new PageObject(page);
    const HRESULT hr = unknown->QueryInterface(iid, object);
    unknown->Release();
    return hr;
  }
  delete made;
  return E_NOINTERFACE;
}

HRESULT AfxDllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (COleObjectFactory* factory : Factories()) {
    if (factory->m_clsid != clsid) continue;
    return factory->ClassObject()->QueryInterface(iid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT AfxDllCanUnloadNow() { return gObjects.load() == 0 && gLocks.load() == 0 ? S_OK : S_FALSE; }

// ---- Registry entries ----

namespace {

void ModuleAnchor() {}

bool SetValue(const kq::WString& key, LPCWSTR name, const kq::WString& value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LSTATUS r = RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(opened);
  return r == ERROR_SUCCESS;
}

// The module file's short path name, as registrations write it.
kq::WString ModuleShortPath() {
  const std::string path = AfxModuleFileName();
  std::vector<char> shortPath(path.size() + 1);
  DWORD length = GetShortPathNameA(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  return kq::WideFromUtf8(length > 0 && length < shortPath.size() ? std::string(shortPath.data(), length) : path);
}

}  // namespace

std::string AfxModuleFileName() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ModuleAnchor), &info) == 0 || !info.dli_fname) return {};
  return kq::Utf8FromWide(kq::WindowsPathFromPosix(info.dli_fname));
}

BOOL AfxOleRegisterControlClass(const CLSID& clsid, const char16_t* progId, UINT typeNameId, UINT bitmapId,
                                UINT flags, DWORD miscStatus, const GUID& typeLib, WORD major, WORD minor) {
  const kq::WString key = u"CLSID\\" + kq::GuidText(clsid);
  const kq::WString path = ModuleShortPath();
  const kq::WString typeName = AfxLoadString(typeNameId);
  char number[32];
  std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(miscStatus));
  char bitmap[32];
  std::snprintf(bitmap, sizeof bitmap, ", %u", bitmapId);
  char version[32];
  std::snprintf(version, sizeof version, "%u.%u", major, minor);
  bool ok = SetValue(key, nullptr, typeName) && SetValue(key + u"\\ProgID", nullptr, progId) &&
            SetValue(key + u"\\InprocServer32", nullptr, path) &&
            SetValue(key + u"\\ToolboxBitmap32", nullptr, path + kq::WideFromUtf8(bitmap)) &&
            SetValue(key + u"\\MiscStatus", nullptr, u"0") &&
            SetValue(key + u"\\MiscStatus\\1", nullptr, kq::WideFromUtf8(number)) &&
            SetValue(key + u"\\Control", nullptr, u"") && SetValue(key + u"\\TypeLib", nullptr, kq::GuidText(typeLib)) &&
            SetValue(key + u"\\Version", nullptr, kq::WideFromUtf8(version)) &&
            SetValue(progId, nullptr, typeName) && SetValue(kq::WString(progId) + u"\\CLSID", nullptr, kq::GuidText(clsid));
  if (ok && (flags & afxRegApartmentThreading))
    ok = SetValue(key + u"\\InprocServer32", u"ThreadingModel", u"Apartment");
  if (ok && (flags & afxRegInsertable))
    ok = SetValue(key + u"\\Insertable", nullptr, u"") && SetValue(kq::WString(progId) + u"\\Insertable", nullptr, u"");
  return ok;
}

BOOL AfxOleRegisterPropertyPageClass(const CLSID& clsid, UINT typeNameId) {
  const kq::WString key = u"CLSID\\" + kq::GuidText(clsid);
  return SetValue(key, nullptr, AfxLoadString(typeNameId)) && SetValue(key + u"\\InprocServer32", nullptr, ModuleShortPath());
}

BOOL AfxOleUnregisterClass(const CLSID& clsid, const char16_t* progId) {
  const kq::WString key = u"CLSID\\" + kq::GuidText(clsid);
  LSTATUS r = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  bool ok = r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
  if (progId) {
    r = RegDeleteTreeW(HKEY_CLASSES_ROOT, progId);
    ok = ok && (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND);
  }
  return ok;
}

BOOL AfxOleRegisterTypeLib(const AfxTypeLibrary& library) {
  kq::TypeLibRegistration registration;
  registration.libid = library.libid;
  registration.major = library.major;
  registration.minor = library.minor;
  registration.name = library.name;
  registration.path = ModuleShortPath();
  const auto cut = registration.path.find_last_of(u'\\');
  registration.helpDir = cut == kq::WString::npos ? kq::WString() : registration.path.substr(0, cut);
  registration.interfaces = library.interfaces;
  return SUCCEEDED(kq::RegisterTypeLibEntries(registration));
}

BOOL AfxOleUnregisterTypeLib(const GUID& libid, WORD major, WORD minor) {
  const HRESULT hr = UnRegisterTypeLib(libid, major, minor, 0, SYS_WIN32);
  return SUCCEEDED(hr) || hr == TYPE_E_LIBNOTREGISTERED;
}
