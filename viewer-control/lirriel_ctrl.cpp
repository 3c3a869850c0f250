#include "lirriel_ctrl.h"

#include "ax_doc_con.h"
#include "lirriel_ids.h"
#include "lirriel_module.h"
#include "lirriel_proppage.h"
#include "win/paint.h"
#include "win/wingdi.h"

IMPLEMENT_DYNCREATE(CLirrielCtrl, COleControl)

namespace {

class CLirrielCtrlFactory : public COleObjectFactory {
 public:
  CLirrielCtrlFactory() : COleObjectFactory(CLSID_Lirriel, RUNTIME_CLASS(CLirrielCtrl), kLirrielProgId) {}
  BOOL UpdateRegistry(BOOL registering) override {
    if (!registering) return AfxOleUnregisterClass(m_clsid, m_lpszProgID);
    return AfxOleRegisterControlClass(m_clsid, m_lpszProgID, IDS_LIRRIEL, IDB_LIRRIEL, afxRegApartmentThreading,
                                      kLirrielMiscStatus, LIBID_LIRRIELLib, kLirrielVersionMajor,
                                      kLirrielVersionMinor);
  }
};

CLirrielCtrlFactory factory;

// The string argument of a dispatch call, as UTF-16 text.
HRESULT TextArgument(DISPPARAMS* params, kq::WString& text) {
  if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  const VARIANT& arg = params->rgvarg[0];
  if (arg.vt == VT_BSTR) {
    text = arg.bstrVal ? kq::WString(arg.bstrVal, SysStringLen(arg.bstrVal)) : kq::WString();
    return S_OK;
  }
  VARIANT converted;
  VariantInit(&converted);
  const HRESULT hr = VariantChangeType(&converted, &arg, 0, VT_BSTR);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  text = converted.bstrVal ? kq::WString(converted.bstrVal, SysStringLen(converted.bstrVal)) : kq::WString();
  VariantClear(&converted);
  return S_OK;
}

const std::vector<AfxDispatchEntry> kDispatchMap = {
    {u"OpenFile", 1,
     [](COleControl* control, DISPPARAMS* params, VARIANT* result) {
       kq::WString path;
       if (const HRESULT hr = TextArgument(params, path); FAILED(hr)) return hr;
       const BOOL opened = static_cast<CLirrielCtrl*>(control)->OpenFile(path);
       if (result) {
         VariantInit(result);
         result->vt = VT_BOOL;
         result->boolVal = opened ? VARIANT_TRUE : VARIANT_FALSE;
       }
       return S_OK;
     }},
    {u"AboutBox", -552,
     [](COleControl* control, DISPPARAMS* params, VARIANT*) {
       if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
       static_cast<CLirrielCtrl*>(control)->AboutBox();
       return S_OK;
     }},
};

}  // namespace

CLirrielCtrl::CLirrielCtrl() { InitializeIIDs(&DIID__DLirriel, &DIID__DLirrielEvents); }

CLirrielCtrl::~CLirrielCtrl() { delete m_pDocTemplate; }

void CLirrielCtrl::OnDraw(HDC dc, const RECT& bounds, const RECT&) {
  // Seen only where the frame does not cover the control.
  FillRect(dc, &bounds, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Ellipse(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
}

void CLirrielCtrl::DoPropExchange(CPropExchange* px) {
  ExchangeVersion(px, MAKELONG(kLirrielVersionMinor, kLirrielVersionMajor), TRUE);
  COleControl::DoPropExchange(px);
}

void CLirrielCtrl::OnResetState() { COleControl::OnResetState(); }

const CLSID& CLirrielCtrl::GetClassID() const { return CLSID_Lirriel; }
DWORD CLirrielCtrl::GetMiscStatus() const { return kLirrielMiscStatus; }
kq::WString CLirrielCtrl::GetUserTypeName() const { return AfxLoadString(IDS_LIRRIEL); }
std::vector<CLSID> CLirrielCtrl::GetPropPageIDs() const { return {CLSID_LirrielPropPage}; }
const std::vector<AfxDispatchEntry>& CLirrielCtrl::GetDispatchMap() const { return kDispatchMap; }

int CLirrielCtrl::OnCreate(CREATESTRUCTW* cs) {
  if (COleControl::OnCreate(cs) == -1) return -1;
  if (!m_pDocTemplate) {
    m_pDocTemplate = new CAxDocConTemplate(IDR_CNTR_INPLACE, RUNTIME_CLASS(CAxDocConDoc), RUNTIME_CLASS(CMainFrame),
                                           RUNTIME_CLASS(CAxDocConView), this);
  } else if (m_pDocTemplate->m_pFrame) {
    return 0;
  }
  // A first window, or a window made again after the old one (and its frame) went: a frame for this one.
  m_pDocTemplate->OpenDocumentFile(nullptr, TRUE);
  if (CMainFrame* frame = m_pDocTemplate->m_pFrame) {
    frame->ShowWindow(SW_SHOW);
    frame->UpdateWindow();
  }
  return 0;
}

void CLirrielCtrl::OnSize(UINT type, int cx, int cy) {
  COleControl::OnSize(type, cx, cy);
  if (m_pDocTemplate && m_pDocTemplate->m_pFrame) m_pDocTemplate->m_pFrame->ResizeToParent();
}

BOOL CLirrielCtrl::OpenFile(const kq::WString& strFilePath) {
  if (!m_pDocTemplate) return FALSE;
  return m_pDocTemplate->OpenFile(strFilePath);
}

namespace {

INT_PTR AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void CLirrielCtrl::AboutBox() {
  DialogBoxParamW(LirrielModule(), MAKEINTRESOURCEW(IDD_ABOUTBOX_LIRRIEL), m_hWnd, AboutProc, 0);
}
