#include "ax_doc_con.h"

#include "lirriel_ids.h"
#include "win/findfile.h"

IMPLEMENT_DYNAMIC(CAxDocConTemplate, CSingleDocTemplate)
IMPLEMENT_DYNCREATE(CAxDocConDoc, COleDocument)
IMPLEMENT_DYNCREATE(CAxDocConView, CView)
IMPLEMENT_DYNAMIC(CAxDocConCntrItem, COleDocObjectItem)
IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

namespace {

constexpr DWORD kLoadMode = STGM_READ | STGM_SHARE_DENY_READ | STGM_TRANSACTED;
constexpr DWORD kFrameStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;

// A find-file query that is closed on every road out.
class FindQuery {
 public:
  explicit FindQuery(const kq::WString& path) {
    WIN32_FIND_DATAW data;
    handle_ = FindFirstFileW(path.c_str(), &data);
  }
  ~FindQuery() {
    if (Found()) FindClose(handle_);
  }
  FindQuery(const FindQuery&) = delete;
  FindQuery& operator=(const FindQuery&) = delete;
  bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A path the control takes: one file, named without wildcards, on a drive, within the path limit.
bool IsPlainFilePath(const kq::WString& path) {
  if (path.empty() || path.size() >= MAX_PATH) return false;
  if (path.find_first_of(u"*?") != kq::WString::npos) return false;
  const bool unc = path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/');
  return !unc;
}

// The begun wait ends on every road out.
class WaitCursor {
 public:
  explicit WaitCursor(CCmdTarget& target) : target_(target) { target_.BeginWaitCursor(); }
  ~WaitCursor() { target_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  CCmdTarget& target_;
};

}  // namespace

// ---- Template ----

CAxDocConTemplate::CAxDocConTemplate(UINT resourceId, const CRuntimeClass* documentClass,
                                     const CRuntimeClass* frameClass, const CRuntimeClass* viewClass, CWnd* control)
    : CSingleDocTemplate(resourceId, documentClass, frameClass, viewClass), m_pCtrl(control) {}

CFrameWnd* CAxDocConTemplate::CreateNewFrame(CDocument* document, CFrameWnd* other) {
  if (!m_pFrameClass) return nullptr;
  auto* frame = dynamic_cast<CMainFrame*>(m_pFrameClass->CreateObject());
  if (!frame) return nullptr;
  CCreateContext context;
  context.m_pNewViewClass = m_pViewClass;
  context.m_pCurrentDoc = document;
  context.m_pNewDocTemplate = this;
  context.m_pCurrentFrame = other;
  // A frame whose window was made and then failed deletes itself as its window goes.
  if (!frame->LoadFrame(m_nIDResource, kFrameStyle, m_pCtrl, &context)) return nullptr;
  m_pFrame = frame;
  return frame;
}

void CAxDocConTemplate::OnFrameDestroyed(CMainFrame* frame) {
  if (m_pFrame == frame) m_pFrame = nullptr;
}

BOOL CAxDocConTemplate::OpenFile(const kq::WString& path) {
  if (!IsPlainFilePath(path)) return FALSE;
  FindQuery query(path);
  if (!query.Found()) return FALSE;

  POSITION position = GetFirstDocPosition();
  auto* document = dynamic_cast<CAxDocConDoc*>(GetNextDoc(position));
  if (!document) return FALSE;
  POSITION viewPosition = document->GetFirstViewPosition();
  if (!viewPosition) return FALSE;
  CView* view = document->GetNextView(viewPosition);
  if (!view) return FALSE;

  while (document->GetStartPosition()) {
    POSITION first = document->GetStartPosition();
    document->GetNextItem(first)->Delete(TRUE);
  }
  if (!m_pFrame) return FALSE;

  WaitCursor wait(*this);
  CAxDocConCntrItem* item = nullptr;
  try {
    item = new CAxDocConCntrItem(document);
    item->CreateNewItem(CLSID_ViewerDocumentServer, OLERENDER_DRAW);
    if (!item->m_lpObject) {
      item->Delete(TRUE);
      return FALSE;
    }
    item->DoVerb(OLEIVERB_SHOW, view);

    kq::ComPtr<IPersistFile> persist;
    if (FAILED(item->m_lpObject->QueryInterface(IID_IPersistFile, persist.PutVoid())) || !persist)
      AfxThrowOleDispatchException(1001, "Item doesn't support IPersisFile interface.");
    const HRESULT loaded = persist->Load(path.c_str(), kLoadMode);
    persist.Reset();
    if (FAILED(loaded)) {
      document->UpdateAllViews(nullptr);
      AfxThrowFileException(CFileException::badPath);
    }

    item->DoVerb(OLEIVERB_SHOW, view);
    document->UpdateAllViews(nullptr);
  } catch (const CException&) {
    if (item) item->Delete(TRUE);
    return FALSE;
  }
  if (HWND control = m_pFrame->GetParentHwnd()) SendMessageW(control, WM_SIZE, 0, 0);
  return TRUE;
}

// ---- Document ----

CAxDocConDoc::CAxDocConDoc() { EnableCompoundFile(); }

BOOL CAxDocConDoc::OnNewDocument() { return COleDocument::OnNewDocument(); }

// ---- View ----

void CAxDocConView::OnInitialUpdate() {
  CView::OnInitialUpdate();
  CAxDocConDoc* document = GetDocument();
  if (!document) return;
  POSITION position = document->GetStartPosition();
  if (!position) return;
  COleClientItem* item = document->GetNextItem(position);
  if (item && item->IsKindOf(RUNTIME_CLASS(COleDocObjectItem))) item->DoVerb(OLEIVERB_SHOW, this);
}

void CAxDocConView::OnDraw(HDC) {}

void CAxDocConView::OnDestroy() {
  CView::OnDestroy();
  if (CAxDocConDoc* document = GetDocument()) {
    COleClientItem* item = document->GetInPlaceActiveItem(this);
    if (item && item->GetActiveView() == this) item->Deactivate();
  }
}

void CAxDocConView::OnSize(UINT type, int cx, int cy) {
  CView::OnSize(type, cx, cy);
  if (CAxDocConDoc* document = GetDocument())
    if (COleClientItem* item = document->GetInPlaceActiveItem(this)) item->SetItemRects();
}

BOOL CAxDocConView::OnPreparePrinting(CPrintInfo* info) {
  return AfxDoPreparePrinting(this, info) && COleDocObjectItem::OnPreparePrinting(this, info);
}

void CAxDocConView::OnPrint(HDC, CPrintInfo* info) {
  if (info && info->m_bDocObject) COleDocObjectItem::OnPrint(this, info);
}

// ---- Item ----

HRESULT CAxDocConCntrItem::CreateNewItem(REFCLSID clsid, DWORD) {
  GetItemStorage();
  IOleClientSite* site = GetClientSite();
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                      IID_IOleObject, reinterpret_cast<void**>(&m_lpObject));
  if (m_lpObject) m_lpObject->SetClientSite(site);
  return hr;
}

void CAxDocConCntrItem::OnChange(OLE_NOTIFICATION notification, DWORD param) {
  COleDocObjectItem::OnChange(notification, param);
  if (GetDocument()) GetDocument()->UpdateAllViews(nullptr);
}

BOOL CAxDocConCntrItem::OnChangeItemPosition(const RECT& position) {
  return COleDocObjectItem::OnChangeItemPosition(position) ? TRUE : FALSE;
}

void CAxDocConCntrItem::OnDeactivateUI(BOOL undoable) {
  COleDocObjectItem::OnDeactivateUI(undoable);
  DWORD status = 0;
  if (m_lpObject && FAILED(m_lpObject->GetMiscStatus(GetDrawAspect(), &status))) status = 0;
  if (status & OLEMISC_INSIDEOUT) DoVerb(OLEIVERB_HIDE, nullptr);
}

// ---- Frame ----

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(CS_GLOBALCLASS);
  if (cs.style & FWS_ADDTOTITLE) cs.style |= FWS_PREFIXTITLE;
  cs.hMenu = nullptr;
  cs.dwExStyle |= WS_EX_CLIENTEDGE;
  return TRUE;
}

BOOL CMainFrame::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) {
  if (context) template_ = dynamic_cast<CAxDocConTemplate*>(context->m_pNewDocTemplate);
  if (!CFrameWnd::LoadFrame(resourceId, style, parent, context)) return FALSE;
  m_pParent = parent;
  return TRUE;
}

int CMainFrame::OnCreate(CREATESTRUCTW* cs) { return CFrameWnd::OnCreate(cs) == -1 ? -1 : 0; }

void CMainFrame::ResizeToParent() {
  if (!m_pParent || !m_pParent->m_hWnd) return;
  RECT client{};
  m_pParent->GetClientRect(&client);
  MoveWindow(client.left, client.top, client.right - client.left, client.bottom - client.top, TRUE);
}

// The library's frame closing, which makes no test for outstanding component objects.
void CMainFrame::OnClose() { CFrameWnd::OnClose(); }

void CMainFrame::OnDestroy() {
  if (template_) template_->OnFrameDestroyed(this);
  CFrameWnd::OnDestroy();
}
