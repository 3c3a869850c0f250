// The class library that controls and document containers are written in: run-time classes with dynamic
// creation, exceptions, windows bound to objects, frames, views, documents and their templates, documents that
// hold embedded items (objects of other servers shown in place), and controls with their module, class factories,
// dispatch map and property exchange. The library is linked into each module; a module's state (its module object,
// class factories and resources) belongs to that module.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win/com_support.h"
#include "win/objbase.h"
#include "win/oleauto.h"
#include "win/oleidl.h"
#include "win/user.h"

struct HDC__;
using HDC = HDC__*;

// ---- Styles the library handles ----
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD FWS_PREFIXTITLE = 0x4000;
inline constexpr DWORD FWS_ADDTOTITLE = 0x8000;
inline constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;

// ---- Run-time classes ----
class CObject;
struct CRuntimeClass {
  const char* m_lpszClassName;
  CObject* (*m_pfnCreateObject)();
  const CRuntimeClass* m_pBaseClass;
  // A new object of the class, or null when the class has no dynamic creation.
  CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
  bool IsDerivedFrom(const CRuntimeClass* base) const;
};

class CObject {
 public:
  virtual ~CObject() = default;
  virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
  bool IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }
  static const CRuntimeClass classCObject;
};

#define RUNTIME_CLASS(cls) (&cls::class##cls)
#define DECLARE_DYNAMIC(cls)                 \
 public:                                     \
  static const CRuntimeClass class##cls;     \
  const CRuntimeClass* GetRuntimeClass() const override;
#define DECLARE_DYNCREATE(cls) \
  DECLARE_DYNAMIC(cls)         \
  static CObject* CreateObject();
#define IMPLEMENT_DYNAMIC(cls, base)                                             \
  const CRuntimeClass cls::class##cls{#cls, nullptr, RUNTIME_CLASS(base)};       \
  const CRuntimeClass* cls::GetRuntimeClass() const { return RUNTIME_CLASS(cls); }
#define IMPLEMENT_DYNCREATE(cls, base)                                              \
  CObject* cls::CreateObject() { return new cls; }                                  \
  const CRuntimeClass cls::class##cls{#cls, &cls::CreateObject, RUNTIME_CLASS(base)}; \
  const CRuntimeClass* cls::GetRuntimeClass() const { return RUNTIME_CLASS(cls); }

// ---- Exceptions: thrown by value, caught as const CException& ----
class CException : public CObject {
  DECLARE_DYNAMIC(CException)
};

class CFileException : public CException {
  DECLARE_DYNAMIC(CFileException)
 public:
  enum Cause { none, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied };
  explicit CFileException(int cause = none, LONG osError = -1) : m_cause(cause), m_lOsError(osError) {}
  int m_cause;
  LONG m_lOsError;
};

class COleException : public CException {
  DECLARE_DYNAMIC(COleException)
 public:
  explicit COleException(HRESULT sc) : m_sc(sc) {}
  HRESULT m_sc;
};

// A failure an automation method reports to its caller.
class COleDispatchException : public CException {
  DECLARE_DYNAMIC(COleDispatchException)
 public:
  COleDispatchException(WORD code, std::string description) : m_wCode(code), m_strDescription(std::move(description)) {}
  WORD m_wCode;
  std::string m_strDescription;
};

[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1);
[[noreturn]] void AfxThrowOleDispatchException(WORD code, const char* description);
[[noreturn]] void AfxThrowOleException(HRESULT sc);

// ---- Command targets and the wait cursor ----
class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  // The wait cursor shows while the module's count of begun waits is above zero.
  void BeginWaitCursor();
  void EndWaitCursor();
};

// A module: its object, its resources, its class factories.
class COleObjectFactory;
class CWinApp : public CCmdTarget {
  DECLARE_DYNAMIC(CWinApp)
 public:
  CWinApp();
  ~CWinApp() override;
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // Begun and not ended waits of the module.
  int m_nWaitCursorCount = 0;
};
// The module object of the calling module (null before it is constructed).
CWinApp* AfxGetApp();

// The module's string resources, registered by a static table in the module.
struct AfxStringResource {
  UINT id;
  const char16_t* text;
};
class AfxResourceTable {
 public:
  AfxResourceTable(const AfxStringResource* strings, std::size_t count);
};
// The module's string of that id; empty when it has none.
kq::WString AfxLoadString(UINT id);

// ---- Windows bound to objects ----
class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)
 public:
  CWnd() = default;
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  // The object bound to a window of this module's library, or null.
  static CWnd* FromHandlePermanent(HWND window);

  // Creates the window; the class comes from PreCreateWindow (the library's own class when none is named). The
  // object is bound to the window before WM_CREATE; `param` reaches OnCreate as lpCreateParams.
  virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id, LPVOID param = nullptr);
  virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
  virtual BOOL DestroyWindow();

  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  void UpdateWindow() {}
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
  }
  CWnd* GetParent() const { return FromHandlePermanent(::GetParent(m_hWnd)); }
  HWND GetParentHwnd() const { return ::GetParent(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  void Invalidate() {}

 protected:
  // The message map: each handled message reaches its handler; Default() gives the window's default handling.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default();
  virtual int OnCreate(CREATESTRUCTW* cs);
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnDestroy();
  virtual void OnClose();
  virtual BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
  virtual void OnSetFocus(CWnd* oldWindow);
  virtual void OnLButtonDown(UINT flags, POINT point);
  // The window is gone; the object is unbound, then PostNcDestroy runs (windows that own themselves delete
  // themselves there).
  virtual void OnNcDestroy();
  virtual void PostNcDestroy() {}

 private:
  friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  UINT currentMessage_ = 0;
  WPARAM currentWParam_ = 0;
  LPARAM currentLParam_ = 0;
};
LRESULT AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers a class of the library's window procedure with the style; its name, which stays the same for the same
// style.
LPCWSTR AfxRegisterWndClass(UINT classStyle);

// ---- Documents, views, frames and templates ----
using POSITION = std::size_t;  // 0: no position; otherwise one past an index

class CDocument;
class CView;
class CFrameWnd;
class CDocTemplate;

// What a frame needs to make its view.
struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  CDocTemplate* m_pNewDocTemplate = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};

class CDocument : public CCmdTarget {
  DECLARE_DYNAMIC(CDocument)
 public:
  ~CDocument() override;
  POSITION GetFirstViewPosition() const { return m_viewList.empty() ? 0 : 1; }
  CView* GetNextView(POSITION& position) const;
  void AddView(CView* view);
  void RemoveView(CView* view);
  void UpdateAllViews(CView* sender, LPARAM hint = 0, CObject* hintObject = nullptr);
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

  virtual BOOL OnNewDocument();
  virtual void DeleteContents() {}
  virtual BOOL SaveModified() { return TRUE; }
  virtual BOOL CanCloseFrame(CFrameWnd* frame);
  virtual void PreCloseFrame(CFrameWnd* /*frame*/) {}
  virtual void OnCloseDocument();
  virtual void OnChangedViewList();

  BOOL m_bAutoDelete = TRUE;
  CDocTemplate* m_pDocTemplate = nullptr;

 protected:
  std::vector<CView*> m_viewList;
};

class CView : public CWnd {
  DECLARE_DYNAMIC(CView)
 public:
  ~CView() override;
  CDocument* GetDocument() const { return m_pDocument; }
  virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
  virtual void OnUpdate(CView* /*sender*/, LPARAM /*hint*/, CObject* /*hintObject*/) { Invalidate(); }
  virtual void OnDraw(HDC dc) = 0;
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  // Printing: the library shows no print dialog, so preparing a print job does not succeed here.
  struct CPrintInfo* m_pPrintInfo = nullptr;

  CDocument* m_pDocument = nullptr;

 protected:
  int OnCreate(CREATESTRUCTW* cs) override;
  void PostNcDestroy() override;
};

struct CPrintInfo {
  BOOL m_bPreview = FALSE;
  BOOL m_bDocObject = FALSE;
  UINT m_nNumPreviewPages = 0;
};
// The standard print preparation: without a print dialog in this system it answers FALSE.
BOOL AfxDoPreparePrinting(CView* view, CPrintInfo* info);

class CFrameWnd : public CWnd {
  DECLARE_DYNAMIC(CFrameWnd)
 public:
  virtual BOOL LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context);
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  CView* GetActiveView() const { return m_pViewActive; }
  void SetActiveView(CView* view) { m_pViewActive = view; }
  CDocument* GetActiveDocument() const { return m_pViewActive ? m_pViewActive->GetDocument() : nullptr; }
  // Sends the first update to the frame's views and shows the frame.
  void InitialUpdateFrame(CDocument* document, BOOL makeVisible);
  void RecalcLayout();

  CView* m_pViewActive = nullptr;
  // Called first when the frame closes, when set.
  void (*m_lpfnCloseProc)(CFrameWnd*) = nullptr;

 protected:
  int OnCreate(CREATESTRUCTW* cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnClose() override;
  void PostNcDestroy() override;
  CView* CreateView(CCreateContext* context);
};

class CDocTemplate : public CCmdTarget {
  DECLARE_DYNAMIC(CDocTemplate)
 public:
  CDocTemplate(UINT resourceId, const CRuntimeClass* documentClass, const CRuntimeClass* frameClass,
               const CRuntimeClass* viewClass);
  virtual POSITION GetFirstDocPosition() const = 0;
  virtual CDocument* GetNextDoc(POSITION& position) const = 0;
  virtual void AddDocument(CDocument* document) { document->m_pDocTemplate = this; }
  virtual void RemoveDocument(CDocument* document) { document->m_pDocTemplate = nullptr; }
  virtual CDocument* CreateNewDocument();
  virtual CFrameWnd* CreateNewFrame(CDocument* document, CFrameWnd* other);
  virtual CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) = 0;

  UINT m_nIDResource;
  const CRuntimeClass* m_pDocClass;
  const CRuntimeClass* m_pFrameClass;
  const CRuntimeClass* m_pViewClass;
};

class CSingleDocTemplate : public CDocTemplate {
  DECLARE_DYNAMIC(CSingleDocTemplate)
 public:
  using CDocTemplate::CDocTemplate;
  ~CSingleDocTemplate() override;
  POSITION GetFirstDocPosition() const override { return m_pOnlyDoc ? 1 : 0; }
  CDocument* GetNextDoc(POSITION& position) const override;
  void AddDocument(CDocument* document) override;
  void RemoveDocument(CDocument* document) override;
  // A new empty document (the one document is reused when there is one) with a frame and a view when it has none.
  // Opening a file by path is not offered: null.
  CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) override;

  CDocument* m_pOnlyDoc = nullptr;
};

// ---- Documents of embedded items ----
class COleDocument;
class COleClientItem;

class COleDocument : public CDocument {
  DECLARE_DYNAMIC(COleDocument)
 public:
  ~COleDocument() override;
  // Items keep their storage in the document's compound file: one sub-storage per item, named by its number.
  void EnableCompoundFile(BOOL compound = TRUE) { m_bCompoundFile = compound; }
  POSITION GetStartPosition() const { return m_items.empty() ? 0 : 1; }
  COleClientItem* GetNextItem(POSITION& position) const;
  COleClientItem* GetNextClientItem(POSITION& position) const { return GetNextItem(position); }
  void AddItem(COleClientItem* item);
  void RemoveItem(COleClientItem* item);
  std::size_t ItemCount() const { return m_items.size(); }
  DWORD GetNewItemNumber() { return ++m_dwNextItemNumber; }
  // The item active in place in `view`, or null.
  COleClientItem* GetInPlaceActiveItem(CWnd* view) const;
  void DeleteContents() override;
  BOOL OnNewDocument() override;
  // The names of the sub-storages the items hold in the compound file.
  std::vector<std::string> StorageNames() const;

  BOOL m_bCompoundFile = FALSE;

 protected:
  std::vector<COleClientItem*> m_items;
  DWORD m_dwNextItemNumber = 0;
};

using OLE_NOTIFICATION = int;
enum { OLE_CHANGED = 0, OLE_SAVED = 1, OLE_CLOSED = 2, OLE_RENAMED = 3, OLE_CHANGED_STATE = 4 };

class COleClientItem : public CCmdTarget {
  DECLARE_DYNAMIC(COleClientItem)
 public:
  enum ItemState { emptyState, loadedState, openState, activeState, activeUIState };

  explicit COleClientItem(COleDocument* document = nullptr);
  ~COleClientItem() override;

  COleDocument* GetDocument() const { return m_pDocument; }
  // Releases the object and, with autoDelete, removes the item from its document and deletes it.
  void Delete(BOOL autoDelete = TRUE);
  void Release();
  // Runs a verb on the object, showing it in `view`; FALSE (reported to the person) when the object fails it.
  virtual BOOL DoVerb(LONG verb, CView* view, LPMSG message = nullptr);
  // The item's client site: IOleClientSite and IOleInPlaceSite of the container.
  IOleClientSite* GetClientSite();
  // Takes the item's storage in the document's compound file.
  void GetItemStorage();
  BOOL IsInPlaceActive() const { return m_nItemState == activeState || m_nItemState == activeUIState; }
  CView* GetActiveView() const { return m_pView; }
  ItemState GetItemState() const { return m_nItemState; }
  DWORD GetDrawAspect() const { return DVASPECT_CONTENT; }
  // Gives the in-place object its rectangles (the view's client area when none are given).
  void SetItemRects(LPCRECT position = nullptr, LPCRECT clip = nullptr);
  void Deactivate();
  void Close();

  virtual void OnChange(OLE_NOTIFICATION notification, DWORD param);
  virtual BOOL OnChangeItemPosition(const RECT& position);
  virtual void OnActivate() {}
  virtual void OnDeactivateUI(BOOL undoable);
  virtual void OnInsertMenus(HMENU /*shared*/, void* /*widths*/) {}
  virtual void Serialize() {}

  IOleObject* m_lpObject = nullptr;
  DWORD m_dwItemNumber = 0;
  std::string m_storageName;

 protected:
  COleDocument* m_pDocument = nullptr;
  CView* m_pView = nullptr;
  ItemState m_nItemState = emptyState;
  IOleInPlaceObject* m_lpInPlaceObject = nullptr;

 private:
  class Site;
  friend class Site;
  Site* site_ = nullptr;
};

// An item whose object is a document object, printed and activated as one.
class COleDocObjectItem : public COleClientItem {
  DECLARE_DYNAMIC(COleDocObjectItem)
 public:
  using COleClientItem::COleClientItem;
  // The document-object print preparation for the whole document: without a print dialog, FALSE.
  static BOOL OnPreparePrinting(CView* view, CPrintInfo* info, BOOL printAll = TRUE);
  static void OnPrint(CView* view, CPrintInfo* info, BOOL printAll = TRUE);
};

// ---- Controls ----
class CPropExchange {
 public:
  explicit CPropExchange(BOOL loading) : m_bLoading(loading) {}
  BOOL IsLoading() const { return m_bLoading; }
  DWORD GetVersion() const { return m_dwVersion; }
  BOOL m_bLoading;
  DWORD m_dwVersion = 0;
};

class COleControl;

// One member of a control's dispatch map: its name, its DISPID, and the call.
struct AfxDispatchEntry {
  const char16_t* name;
  DISPID dispid;
  std::function<HRESULT(COleControl*, DISPPARAMS*, VARIANT*)> call;
};

class COleControl : public CWnd {
  DECLARE_DYNAMIC(COleControl)
 public:
  COleControl();
  ~COleControl() override;

  // The control's IUnknown, IDispatch, IOleObject and IOleInPlaceObject.
  IUnknown* GetControllingUnknown();
  HRESULT InternalQueryInterface(REFIID iid, void** object);
  ULONG InternalAddRef();
  ULONG InternalRelease();
  void InitializeIIDs(const IID* dispatch, const IID* events);

  // Creates the control's window in the container's window, and paints it.
  BOOL CreateControlWindow(HWND parent, const RECT& position);

  // Paints the control; WM_PAINT draws into the window's own pixels with the client area as bounds.
  virtual void OnDraw(HDC dc, const RECT& bounds, const RECT& invalid) = 0;
  virtual void DoPropExchange(CPropExchange* px);
  virtual void OnResetState();
  virtual const CLSID& GetClassID() const = 0;
  virtual DWORD GetMiscStatus() const = 0;
  virtual kq::WString GetUserTypeName() const = 0;
  virtual std::vector<CLSID> GetPropPageIDs() const = 0;
  virtual const std::vector<AfxDispatchEntry>& GetDispatchMap() const = 0;
  // Shows the property pages (the "Properties" verb).
  virtual BOOL OnProperties();
  // Property exchange of the control's version: `convert` allows data of older versions.
  BOOL ExchangeVersion(CPropExchange* px, DWORD version, BOOL convert = TRUE);
  void InvalidateControl() {}

  IOleClientSite* m_pClientSite = nullptr;

 protected:
  int OnCreate(CREATESTRUCTW* cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  class Interfaces;
  std::unique_ptr<Interfaces> interfaces_;
  ULONG references_ = 1;
  bool initialised_ = false;
  IID dispatchIid_{};
  IID eventsIid_{};
  friend class Interfaces;
};

// A property page of a control: its dialog resource and caption string.
class COlePropertyPage : public CCmdTarget {
  DECLARE_DYNAMIC(COlePropertyPage)
 public:
  COlePropertyPage(UINT dialogId, UINT captionId) : m_nIDTemplate(dialogId), m_nIDCaption(captionId) {}
  // Exchanges the page's controls with the control's properties, then the library's own post-processing.
  virtual void DoDataExchange(struct CDataExchange* dx);
  UINT m_nIDTemplate;
  UINT m_nIDCaption;
};
struct CDataExchange {
  BOOL m_bSaveAndValidate = FALSE;
};
// The library's post-processing of a page's data exchange.
void DDP_PostProcessing(CDataExchange* dx);

class COleControlModule : public CWinApp {
  DECLARE_DYNAMIC(COleControlModule)
};

// A class factory made as a static object of its module: it creates objects of a run-time class and writes or
// removes the class's registry entries.
class COleObjectFactory : public CCmdTarget {
  DECLARE_DYNAMIC(COleObjectFactory)
 public:
  COleObjectFactory(const CLSID& clsid, const CRuntimeClass* cls, const char16_t* progId);
  ~COleObjectFactory() override;
  virtual BOOL UpdateRegistry(BOOL registering) = 0;
  // Every factory of the module, with "register" or "unregister"; FALSE when one failed.
  static BOOL UpdateRegistryAll(BOOL registering);
  // A new object of the class as `iid`.
  virtual HRESULT CreateInstance(REFIID iid, void** object);

  const CLSID m_clsid;
  const CRuntimeClass* m_pRuntimeClass;
  const char16_t* m_lpszProgID;

  // The factory's IClassFactory, made on first use.
  IClassFactory* ClassObject();

 private:
  class ClassObjectImpl;
  std::unique_ptr<ClassObjectImpl> classObject_;
};

// The module's exports over its factories.
HRESULT AfxDllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object);
HRESULT AfxDllCanUnloadNow();
// Objects of the module now alive; the module may unload when none are and no factory is locked.
LONG AfxGetObjectCount();

// Registration helpers. The path written is the module file's short path name.
inline constexpr UINT afxRegApartmentThreading = 0x2;
inline constexpr UINT afxRegInsertable = 0x1;
BOOL AfxOleRegisterControlClass(const CLSID& clsid, const char16_t* progId, UINT typeNameId, UINT bitmapId,
                                UINT flags, DWORD miscStatus, const GUID& typeLib, WORD major, WORD minor);
BOOL AfxOleRegisterPropertyPageClass(const CLSID& clsid, UINT typeNameId);
BOOL AfxOleUnregisterClass(const CLSID& clsid, const char16_t* progId);
// The module's type library: its name, interfaces, version.
struct AfxTypeLibrary {
  GUID libid;
  WORD major;
  WORD minor;
  const char16_t* name;
  std::vector<kq::TypeLibInterface> interfaces;
};
BOOL AfxOleRegisterTypeLib(const AfxTypeLibrary& library);
BOOL AfxOleUnregisterTypeLib(const GUID& libid, WORD major, WORD minor);
// The module file of the calling module, as a Windows path.
std::string AfxModuleFileName();
