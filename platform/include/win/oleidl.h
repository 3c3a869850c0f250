// Embedding and in-place activation: the object and its client site, the in-place object and site, and files
// loaded into an object (IPersistFile). Containers and servers of the platform speak these to each other.
#pragma once

#include "win/gditypes.h"
#include "win/objbase.h"
#include "win/user.h"

struct IMoniker;
struct IDataObject;
struct IEnumOLEVERB;
struct IAdviseSink;
struct IEnumSTATDATA;
struct IOleContainer;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;
struct LOGPALETTE;

using LPSIZEL = SIZEL*;
using LPCRECT = const RECT*;

inline constexpr IID IID_IOleObject{0x00000112, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceObject{
    0x00000113, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleWindow{0x00000114, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleClientSite{0x00000118, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceSite{
    0x00000119, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersist{0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistFile{0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---- Verbs, drawing aspects, rendering and status ----
inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_OPEN = -2;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
inline constexpr LONG OLEIVERB_PROPERTIES = -7;
inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD OLERENDER_NONE = 0;
inline constexpr DWORD OLERENDER_DRAW = 1;
inline constexpr DWORD OLEMISC_RECOMPOSEONRESIZE = 0x1;
inline constexpr DWORD OLEMISC_CANTLINKINSIDE = 0x10;
inline constexpr DWORD OLEMISC_INSIDEOUT = 0x80;
inline constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
inline constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;
inline constexpr HRESULT OLE_E_NOTRUNNING = MakeHresult(0x80040005);
inline constexpr HRESULT OLEOBJ_E_NOVERBS = MakeHresult(0x80040180);

// ---- Storage modes ----
inline constexpr DWORD STGM_READ = 0x0;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x30;
inline constexpr DWORD STGM_TRANSACTED = 0x10000;
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeHresult(0x80030002);
inline constexpr HRESULT STG_E_PATHNOTFOUND = MakeHresult(0x80030003);
inline constexpr HRESULT STG_E_INVALIDNAME = MakeHresult(0x800300FC);

struct IOleClientSite : IUnknown {
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
  virtual HRESULT GetContainer(IOleContainer** container) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL show) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;

 protected:
  ~IOleClientSite() = default;
};

struct IOleObject : IUnknown {
  virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
  virtual HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) = 0;
  virtual HRESULT Close(DWORD saveOption) = 0;
  virtual HRESULT SetMoniker(DWORD which, IMoniker* moniker) = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
  virtual HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) = 0;
  virtual HRESULT GetClipboardData(DWORD reserved, IDataObject** data) = 0;
  // Runs a verb; for activation in place the object asks `site` for IOleInPlaceSite and lives in `parent`.
  virtual HRESULT DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent,
                         LPCRECT position) = 0;
  virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT IsUpToDate() = 0;
  virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
  virtual HRESULT GetUserType(DWORD form, LPOLESTR* userType) = 0;
  virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
  virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
  virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT Unadvise(DWORD connection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** advise) = 0;
  virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
  virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;

 protected:
  ~IOleObject() = default;
};

struct IOleWindow : IUnknown {
  virtual HRESULT GetWindow(HWND* window) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;

 protected:
  ~IOleWindow() = default;
};

struct IOleInPlaceObject : IOleWindow {
  virtual HRESULT InPlaceDeactivate() = 0;
  virtual HRESULT UIDeactivate() = 0;
  virtual HRESULT SetObjectRects(LPCRECT position, LPCRECT clip) = 0;
  virtual HRESULT ReactivateAndUndo() = 0;

 protected:
  ~IOleInPlaceObject() = default;
};

struct OLEINPLACEFRAMEINFO;

struct IOleInPlaceSite : IOleWindow {
  virtual HRESULT CanInPlaceActivate() = 0;
  virtual HRESULT OnInPlaceActivate() = 0;
  virtual HRESULT OnUIActivate() = 0;
  virtual HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                   RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) = 0;
  virtual HRESULT Scroll(SIZEL scroll) = 0;
  virtual HRESULT OnUIDeactivate(BOOL undoable) = 0;
  virtual HRESULT OnInPlaceDeactivate() = 0;
  virtual HRESULT DiscardUndoState() = 0;
  virtual HRESULT DeactivateAndUndo() = 0;
  virtual HRESULT OnPosRectChange(LPCRECT position) = 0;

 protected:
  ~IOleInPlaceSite() = default;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistFile : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(LPCOLESTR fileName, DWORD mode) = 0;
  virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;
  virtual HRESULT SaveCompleted(LPCOLESTR fileName) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* fileName) = 0;

 protected:
  ~IPersistFile() = default;
};

namespace kq {

// The members of IOleObject that most objects do not act on, answered as an object without them answers: no
// monikers, data, verbs list or advise connections; no colour scheme; extents accepted and reported as empty.
class OleObjectDefaults : public IOleObject {
 public:
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject** data) override {
    if (data) *data = nullptr;
    return E_NOTIMPL;
  }
  HRESULT EnumVerbs(IEnumOLEVERB** verbs) override {
    if (verbs) *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
  }
  HRESULT Update() override { return S_OK; }
  HRESULT IsUpToDate() override { return S_OK; }
  HRESULT SetExtent(DWORD, SIZEL*) override { return S_OK; }
  HRESULT GetExtent(DWORD, SIZEL* size) override {
    if (!size) return E_POINTER;
    *size = SIZEL{0, 0};
    return S_OK;
  }
  HRESULT Advise(IAdviseSink*, DWORD* connection) override {
    if (connection) *connection = 0;
    return E_NOTIMPL;
  }
  HRESULT Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumAdvise(IEnumSTATDATA** advise) override {
    if (advise) *advise = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

 protected:
  ~OleObjectDefaults() = default;
};

// A container's client and in-place site with the members a simple container does not act on: it saves and shows
// nothing on request, has no moniker or container object, no undo state and no scrolling. QueryInterface answers
// both interfaces; references are the derived site's.
class OleSiteDefaults : public IOleClientSite, public IOleInPlaceSite {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) {
      *object = static_cast<IOleInPlaceSite*>(this);
    } else {
      return E_NOINTERFACE;
    }
    static_cast<IOleClientSite*>(this)->AddRef();
    return S_OK;
  }
  HRESULT SaveObject() override { return S_OK; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT Scroll(SIZEL) override { return E_NOTIMPL; }
  HRESULT DiscardUndoState() override { return S_OK; }

 protected:
  ~OleSiteDefaults() = default;
};

}  // namespace kq
