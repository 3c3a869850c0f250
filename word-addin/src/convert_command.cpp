#include "dovecap/dovecap.h"

void CDovecap::OnConvertClick() {}
