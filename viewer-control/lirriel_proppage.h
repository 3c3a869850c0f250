// The control's property page: dialog 200 with the caption "General"; no control is bound to a property.
#pragma once

#include "win/classlib.h"

class CLirrielPropPage : public COlePropertyPage {
  DECLARE_DYNCREATE(CLirrielPropPage)
 public:
  CLirrielPropPage();
  void DoDataExchange(CDataExchange* dx) override;
};
