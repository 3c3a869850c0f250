#include "lirriel_proppage.h"

#include "lirriel_ids.h"

IMPLEMENT_DYNCREATE(CLirrielPropPage, COlePropertyPage)

namespace {

class CLirrielPropPageFactory : public COleObjectFactory {
 public:
  CLirrielPropPageFactory()
      : COleObjectFactory(CLSID_LirrielPropPage, RUNTIME_CLASS(CLirrielPropPage), kLirrielPropPageProgId) {}
  BOOL UpdateRegistry(BOOL registering) override {
    if (!registering) return AfxOleUnregisterClass(m_clsid, nullptr);
    return AfxOleRegisterPropertyPageClass(m_clsid, IDS_LIRRIEL_PPG);
  }
};

CLirrielPropPageFactory factory;

}  // namespace

CLirrielPropPage::CLirrielPropPage() : COlePropertyPage(IDD_PROPPAGE_LIRRIEL, IDS_LIRRIEL_PPG_CAPTION) {}

void CLirrielPropPage::DoDataExchange(CDataExchange* dx) { DDP_PostProcessing(dx); }
