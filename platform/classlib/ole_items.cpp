// Documents of embedded items, and the items with their client and in-place sites.
#include <algorithm>
#include <cstdio>

#include "win/classlib.h"

IMPLEMENT_DYNAMIC(COleDocument, CDocument)
IMPLEMENT_DYNAMIC(COleClientItem, CCmdTarget)
IMPLEMENT_DYNAMIC(COleDocObjectItem, COleClientItem)

// ---- Documents ----

COleDocument::~COleDocument() { COleDocument::DeleteContents(); }

COleClientItem* COleDocument::GetNextItem(POSITION& position) const {
  if (position == 0 || position > m_items.size()) {
    position = 0;
    return nullptr;
  }
  COleClientItem* item = m_items[position - 1];
  position = position < m_items.size() ? position + 1 : 0;
  return item;
}

void COleDocument::AddItem(COleClientItem* item) { m_items.push_back(item); }

void COleDocument::RemoveItem(COleClientItem* item) {
  m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end());
}

COleClientItem* COleDocument::GetInPlaceActiveItem(CWnd* view) const {
  for (COleClientItem* item : m_items)
    if (item->IsInPlaceActive() && (!view || item->GetActiveView() == view)) return item;
  return nullptr;
}

void COleDocument::DeleteContents() {
  while (!m_items.empty()) m_items.front()->Delete(TRUE);
}

BOOL COleDocument::OnNewDocument() {
  if (!CDocument::OnNewDocument()) return FALSE;
  m_dwNextItemNumber = 0;
  return TRUE;
}

std::vector<std::string> COleDocument::StorageNames() const {
  std::vector<std::string> names;
  for (const COleClientItem* item : m_items)
    if (!item->m_storageName.empty()) names.push_back(item->m_storageName);
  return names;
}

// ---- The item's sites ----

class COleClientItem::Site final : public kq::OleSiteDefaults {
 public:
  explicit Site(COleClientItem& item) : item_(item) {}

  // The item owns its sites; references only count.
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }

  // IOleWindow, IOleInPlaceSite
  HRESULT GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = item_.m_pView ? item_.m_pView->m_hWnd : nullptr;
    return *window ? S_OK : E_FAIL;
  }
  HRESULT CanInPlaceActivate() override { return item_.m_pView ? S_OK : S_FALSE; }
  HRESULT OnInPlaceActivate() override {
    item_.m_nItemState = activeState;
    if (!item_.m_lpInPlaceObject && item_.m_lpObject)
      item_.m_lpObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&item_.m_lpInPlaceObject));
    item_.OnActivate();
    return S_OK;
  }
  HRESULT OnUIActivate() override {
    item_.m_nItemState = activeUIState;
    return S_OK;
  }
  HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position, RECT* clip,
                           OLEINPLACEFRAMEINFO*) override {
    if (frame) *frame = nullptr;
    if (document) *document = nullptr;
    RECT client{};
    if (item_.m_pView && item_.m_pView->m_hWnd) item_.m_pView->GetClientRect(&client);
    if (position) *position = client;
    if (clip) *clip = client;
    return S_OK;
  }
  HRESULT OnUIDeactivate(BOOL undoable) override {
    item_.OnDeactivateUI(undoable);
    return S_OK;
  }
  HRESULT OnInPlaceDeactivate() override {
    item_.m_nItemState = loadedState;
    if (item_.m_lpInPlaceObject) {
      item_.m_lpInPlaceObject->Release();
      item_.m_lpInPlaceObject = nullptr;
    }
    return S_OK;
  }
  HRESULT DeactivateAndUndo() override { return item_.m_lpInPlaceObject ? item_.m_lpInPlaceObject->InPlaceDeactivate() : S_OK; }
  HRESULT OnPosRectChange(LPCRECT position) override {
    if (!position) return E_POINTER;
    item_.OnChangeItemPosition(*position);
    return S_OK;
  }

 private:
  COleClientItem& item_;
  ULONG references_ = 0;
};

// ---- Items ----

COleClientItem::COleClientItem(COleDocument* document) : m_pDocument(document), site_(new Site(*this)) {
  if (m_pDocument) m_pDocument->AddItem(this);
}

COleClientItem::~COleClientItem() {
  Release();
  if (m_pDocument) m_pDocument->RemoveItem(this);
  delete site_;
}

IOleClientSite* COleClientItem::GetClientSite() { return static_cast<IOleClientSite*>(site_); }

void COleClientItem::GetItemStorage() {
  if (!m_pDocument) return;
  m_dwItemNumber = m_pDocument->GetNewItemNumber();
  if (m_pDocument->m_bCompoundFile) {
    char name[32];
    std::snprintf(name, sizeof name, "Embedding %lu", static_cast<unsigned long>(m_dwItemNumber));
    m_storageName = name;
  }
}

void COleClientItem::Release() {
  if (!m_lpObject) return;
  Close();
  IOleObject* object = m_lpObject;
  m_lpObject = nullptr;
  object->SetClientSite(nullptr);
  object->Release();
  m_nItemState = emptyState;
}

void COleClientItem::Close() {
  if (!m_lpObject) return;
  if (IsInPlaceActive()) Deactivate();
  m_lpObject->Close(0);
}

void COleClientItem::Deactivate() {
  if (m_lpInPlaceObject) m_lpInPlaceObject->InPlaceDeactivate();
  if (m_lpInPlaceObject) {
    m_lpInPlaceObject->Release();
    m_lpInPlaceObject = nullptr;
  }
  if (m_lpObject) m_nItemState = loadedState;
}

void COleClientItem::Delete(BOOL autoDelete) {
  Release();
  m_storageName.clear();
  if (autoDelete) delete this;
}

BOOL COleClientItem::DoVerb(LONG verb, CView* view, LPMSG message) {
  if (!m_lpObject) return FALSE;
  if (view) m_pView = view;
  RECT position{};
  if (m_pView && m_pView->m_hWnd) m_pView->GetClientRect(&position);
  const HRESULT hr = m_lpObject->DoVerb(verb, message, GetClientSite(), -1, m_pView ? m_pView->m_hWnd : nullptr,
                                        &position);
  if (FAILED(hr)) {
    char text[96];
    std::snprintf(text, sizeof text, "The embedded object could not carry out the action (0x%08X).",
                  static_cast<unsigned>(hr));
    MessageBoxA(m_pView ? m_pView->m_hWnd : nullptr, text, "Object", MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  return TRUE;
}

void COleClientItem::SetItemRects(LPCRECT position, LPCRECT clip) {
  if (!m_lpInPlaceObject) return;
  RECT client{};
  if (m_pView && m_pView->m_hWnd) m_pView->GetClientRect(&client);
  m_lpInPlaceObject->SetObjectRects(position ? position : &client, clip ? clip : &client);
}

void COleClientItem::OnChange(OLE_NOTIFICATION, DWORD) {
  if (m_pDocument) m_pDocument->UpdateAllViews(nullptr);
}

BOOL COleClientItem::OnChangeItemPosition(const RECT& position) {
  SetItemRects(&position);
  return TRUE;
}

void COleClientItem::OnDeactivateUI(BOOL) {
  if (m_nItemState == activeUIState) m_nItemState = activeState;
}

BOOL COleDocObjectItem::OnPreparePrinting(CView* view, CPrintInfo* info, BOOL) {
  return AfxDoPreparePrinting(view, info);
}

void COleDocObjectItem::OnPrint(CView*, CPrintInfo*, BOOL) {}
