// The control: a child frame with a view and a one-item document inside its window, and its two methods.
#pragma once

#include "win/classlib.h"

class CAxDocConTemplate;

class CLirrielCtrl : public COleControl {
  DECLARE_DYNCREATE(CLirrielCtrl)
 public:
  CLirrielCtrl();
  ~CLirrielCtrl() override;

  void OnDraw(HDC dc, const RECT& bounds, const RECT& invalid) override;
  void DoPropExchange(CPropExchange* px) override;
  void OnResetState() override;
  const CLSID& GetClassID() const override;
  DWORD GetMiscStatus() const override;
  kq::WString GetUserTypeName() const override;
  std::vector<CLSID> GetPropPageIDs() const override;
  const std::vector<AfxDispatchEntry>& GetDispatchMap() const override;

  // Dispatch methods.
  BOOL OpenFile(const kq::WString& strFilePath);
  void AboutBox();

  CAxDocConTemplate* m_pDocTemplate = nullptr;

 protected:
  int OnCreate(CREATESTRUCTW* cs) override;
  void OnSize(UINT type, int cx, int cy) override;
};
