// What the document writer hands to the progress thread: where to publish the dialog's window, and whether
// progress messages are sent at all (not for batch jobs).
#pragma once

#include "win/base.h"

struct ProgressThreadArgs {
  HWND* progressWindow = nullptr;
  DWORD interactive = 1;
};
