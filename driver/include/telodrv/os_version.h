// The system's version as the driver saw it when it was loaded: the drawing entries read it to decide whether the
// engine draws text into the page bitmap too.
#pragma once

#include "win/base.h"

// Major version × 100 + minor version (501 = 5.1, 600 = 6.0); 0 until InitOsVersion has run.
extern DWORD OsVersionNumber;

// Sets OsVersionNumber from GetVersionExW; the library runs it once when it is loaded.
void InitOsVersion();
