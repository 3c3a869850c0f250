// Documents, views, frames and the single-document template.
#include <algorithm>

#include "win/classlib.h"

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)
IMPLEMENT_DYNAMIC(CView, CWnd)
IMPLEMENT_DYNAMIC(CFrameWnd, CWnd)
IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

// ---- Documents ----

CDocument::~CDocument() {
  for (CView* view : m_viewList) view->m_pDocument = nullptr;
  if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

CView* CDocument::GetNextView(POSITION& position) const {
  if (position == 0 || position > m_viewList.size()) {
    position = 0;
    return nullptr;
  }
  CView* view = m_viewList[position - 1];
  position = position < m_viewList.size() ? position + 1 : 0;
  return view;
}

void CDocument::AddView(CView* view) {
  m_viewList.push_back(view);
  view->m_pDocument = this;
  OnChangedViewList();
}

void CDocument::RemoveView(CView* view) {
  m_viewList.erase(std::remove(m_viewList.begin(), m_viewList.end(), view), m_viewList.end());
  view->m_pDocument = nullptr;
  OnChangedViewList();
}

void CDocument::OnChangedViewList() {
  // A document that deletes itself goes with its last view.
  if (m_viewList.empty() && m_bAutoDelete) OnCloseDocument();
}

void CDocument::UpdateAllViews(CView* sender, LPARAM hint, CObject* hintObject) {
  for (CView* view : std::vector<CView*>(m_viewList))
    if (view != sender) view->OnUpdate(sender, hint, hintObject);
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  return TRUE;
}

BOOL CDocument::CanCloseFrame(CFrameWnd*) { return SaveModified(); }

void CDocument::OnCloseDocument() {
  // Closing the frames removes the views; the document must not go with the first of them.
  const BOOL autoDelete = m_bAutoDelete;
  m_bAutoDelete = FALSE;
  for (CView* view : std::vector<CView*>(m_viewList)) {
    CWnd* frame = view->GetParent();
    if (frame && frame->m_hWnd) frame->DestroyWindow();
  }
  m_bAutoDelete = autoDelete;
  DeleteContents();
  if (m_bAutoDelete) delete this;
}

// ---- Views ----

CView::~CView() {
  if (m_pDocument) m_pDocument->RemoveView(this);
}

BOOL CView::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(0);
  return TRUE;
}

int CView::OnCreate(CREATESTRUCTW* cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  auto* context = static_cast<CCreateContext*>(cs->lpCreateParams);
  if (context && context->m_pCurrentDoc) context->m_pCurrentDoc->AddView(this);
  return 0;
}

void CView::PostNcDestroy() { delete this; }

BOOL AfxDoPreparePrinting(CView*, CPrintInfo*) { return FALSE; }

// ---- Frames ----

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTW& cs) {
  if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(0);
  return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) {
  RECT rect{0, 0, 0, 0};
  if (parent && parent->m_hWnd) parent->GetClientRect(&rect);
  return CreateEx(0, nullptr, nullptr, style, rect, parent, resourceId, context);
}

CView* CFrameWnd::CreateView(CCreateContext* context) {
  if (!context || !context->m_pNewViewClass) return nullptr;
  auto* view = dynamic_cast<CView*>(context->m_pNewViewClass->CreateObject());
  if (!view) return nullptr;
  RECT client{};
  GetClientRect(&client);
  if (!view->CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, this, AFX_IDW_PANE_FIRST, context)) {
    delete view;
    return nullptr;
  }
  return view;
}

int CFrameWnd::OnCreate(CREATESTRUCTW* cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  auto* context = static_cast<CCreateContext*>(cs->lpCreateParams);
  if (context && context->m_pNewViewClass) {
    CView* view = CreateView(context);
    if (!view) return -1;
    SetActiveView(view);
  }
  return 0;
}

void CFrameWnd::RecalcLayout() {
  if (!m_pViewActive || !m_pViewActive->m_hWnd) return;
  RECT client{};
  GetClientRect(&client);
  m_pViewActive->MoveWindow(0, 0, client.right - client.left, client.bottom - client.top);
}

void CFrameWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  RecalcLayout();
}

void CFrameWnd::InitialUpdateFrame(CDocument* document, BOOL makeVisible) {
  if (document) {
    POSITION position = document->GetFirstViewPosition();
    while (position) {
      CView* view = document->GetNextView(position);
      if (view && view->GetParent() == this) view->OnInitialUpdate();
    }
  }
  if (makeVisible) ShowWindow(SW_SHOW);
}

void CFrameWnd::OnClose() {
  if (m_lpfnCloseProc) m_lpfnCloseProc(this);
  CDocument* document = GetActiveDocument();
  if (document && !document->CanCloseFrame(this)) return;
  if (document && document->m_bAutoDelete) {
    bool otherFrame = false;
    POSITION position = document->GetFirstViewPosition();
    while (position) {
      CView* view = document->GetNextView(position);
      if (view && view->GetParent() != this) otherFrame = true;
    }
    if (!otherFrame) {
      document->OnCloseDocument();
      return;
    }
  }
  if (document) document->PreCloseFrame(this);
  DestroyWindow();
}

void CFrameWnd::PostNcDestroy() { delete this; }

// ---- Templates ----

CDocTemplate::CDocTemplate(UINT resourceId, const CRuntimeClass* documentClass, const CRuntimeClass* frameClass,
                           const CRuntimeClass* viewClass)
    : m_nIDResource(resourceId), m_pDocClass(documentClass), m_pFrameClass(frameClass), m_pViewClass(viewClass) {}

CDocument* CDocTemplate::CreateNewDocument() {
  if (!m_pDocClass) return nullptr;
  auto* document = dynamic_cast<CDocument*>(m_pDocClass->CreateObject());
  if (document) AddDocument(document);
  return document;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* document, CFrameWnd* other) {
  if (!m_pFrameClass) return nullptr;
  auto* frame = dynamic_cast<CFrameWnd*>(m_pFrameClass->CreateObject());
  if (!frame) return nullptr;
  CCreateContext context;
  context.m_pCurrentFrame = other;
  context.m_pCurrentDoc = document;
  context.m_pNewViewClass = m_pViewClass;
  context.m_pNewDocTemplate = this;
  // A frame of its own on the screen; it shows when its first update is done.
  if (!frame->LoadFrame(m_nIDResource, 0, nullptr, &context)) return nullptr;
  return frame;
}

CSingleDocTemplate::~CSingleDocTemplate() {
  if (CDocument* document = m_pOnlyDoc) {
    document->m_pDocTemplate = nullptr;
    m_pOnlyDoc = nullptr;
    document->m_bAutoDelete = FALSE;
    document->OnCloseDocument();
    delete document;
  }
}

CDocument* CSingleDocTemplate::GetNextDoc(POSITION& position) const {
  position = 0;
  return m_pOnlyDoc;
}

void CSingleDocTemplate::AddDocument(CDocument* document) {
  CDocTemplate::AddDocument(document);
  m_pOnlyDoc = document;
}

void CSingleDocTemplate::RemoveDocument(CDocument* document) {
  CDocTemplate::RemoveDocument(document);
  if (m_pOnlyDoc == document) m_pOnlyDoc = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCWSTR path, BOOL makeVisible) {
  if (path) return nullptr;
  CDocument* document = m_pOnlyDoc;
  const bool created = document == nullptr;
  if (created) document = CreateNewDocument();
  if (!document) return nullptr;
  CFrameWnd* frame = nullptr;
  if (document->GetFirstViewPosition() == 0) {
    // The document must outlive a frame that fails half-way.
    const BOOL autoDelete = document->m_bAutoDelete;
    document->m_bAutoDelete = FALSE;
    frame = CreateNewFrame(document, nullptr);
    document->m_bAutoDelete = autoDelete;
    if (!frame) {
      if (created) delete document;
      return nullptr;
    }
  }
  if (!document->OnNewDocument()) {
    if (frame) frame->DestroyWindow();
    return nullptr;
  }
  if (frame) frame->InitialUpdateFrame(document, makeVisible);
  return document;
}
