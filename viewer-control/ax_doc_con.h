// The document container inside the control: its template, document, view, embedded item and child frame.
#pragma once

#include "win/classlib.h"

class CMainFrame;

class CAxDocConTemplate : public CSingleDocTemplate {
  DECLARE_DYNAMIC(CAxDocConTemplate)
 public:
  CAxDocConTemplate(UINT resourceId, const CRuntimeClass* documentClass, const CRuntimeClass* frameClass,
                    const CRuntimeClass* viewClass, CWnd* control);
  CFrameWnd* CreateNewFrame(CDocument* document, CFrameWnd* other) override;
  // Makes the document's one item an object of the outside document server, shown in place in the view and
  // loaded with the file. FALSE, with the control still usable, when any step fails.
  BOOL OpenFile(const kq::WString& path);
  // The frame's window is gone: the frame must not be used again.
  void OnFrameDestroyed(CMainFrame* frame);

  CMainFrame* m_pFrame = nullptr;
  CWnd* m_pCtrl;
};

class CAxDocConDoc : public COleDocument {
  DECLARE_DYNCREATE(CAxDocConDoc)
 public:
  CAxDocConDoc();
  BOOL OnNewDocument() override;
  BOOL SaveModified() override { return TRUE; }
  void Serialize() {}
};

class CAxDocConView : public CView {
  DECLARE_DYNCREATE(CAxDocConView)
 public:
  CAxDocConDoc* GetDocument() const { return static_cast<CAxDocConDoc*>(m_pDocument); }
  void OnInitialUpdate() override;
  void OnDraw(HDC dc) override;
  BOOL IsSelected(const CObject* /*item*/) const { return TRUE; }
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override { return CView::PreCreateWindow(cs); }
  BOOL OnPreparePrinting(CPrintInfo* info);
  void OnBeginPrinting(HDC, CPrintInfo*) {}
  void OnEndPrinting(HDC, CPrintInfo*) {}
  void OnPrint(HDC dc, CPrintInfo* info);

 protected:
  void OnDestroy() override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnSetFocus(CWnd* oldWindow) override { CView::OnSetFocus(oldWindow); }
  void OnLButtonDown(UINT flags, POINT point) override { CView::OnLButtonDown(flags, point); }
};

class CAxDocConCntrItem : public COleDocObjectItem {
  DECLARE_DYNAMIC(CAxDocConCntrItem)
 public:
  explicit CAxDocConCntrItem(CAxDocConDoc* container = nullptr) : COleDocObjectItem(container) {}
  // Creates the server's object for the item; the answer of its creation.
  HRESULT CreateNewItem(REFCLSID clsid, DWORD render);
  void OnChange(OLE_NOTIFICATION notification, DWORD param) override;
  BOOL OnChangeItemPosition(const RECT& position) override;
  void OnDeactivateUI(BOOL undoable) override;
  void OnActivate() override {}
  void OnInsertMenus(HMENU, void*) override {}
  void Serialize() override { COleDocObjectItem::Serialize(); }
};

class CMainFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CMainFrame)
 public:
  BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
  BOOL LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) override;
  // Fits the frame to the control's client area.
  void ResizeToParent();

  CWnd* m_pParent = nullptr;

 protected:
  int OnCreate(CREATESTRUCTW* cs) override;
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message) override {
    return CFrameWnd::OnSetCursor(window, hitTest, message);
  }
  void OnClose() override;
  void OnDestroy() override;

 private:
  CAxDocConTemplate* template_ = nullptr;
};
