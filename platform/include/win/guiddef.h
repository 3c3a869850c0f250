// The 16-byte globally unique identifier, in the platform's layout.
#pragma once

#include "win/base.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16);

