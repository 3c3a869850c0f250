// The system's version as the driver saw it when it was loaded. (The module handle is DriverModule(), from the
// progress dialog's header: the load address of the module that holds the driver.)
#pragma once

#include "win/base.h"

// Major version × 100 + minor version (501 = 5.1, 600 = 6.0); 0 until InitOsVersion has run.
extern DWORD OsVersionNumber;

// Sets OsVersionNumber from GetVersionExW; the library runs it once when it is loaded.
void InitOsVersion();
