// The system's version as the driver saw it when it was loaded (the drawing entries of telodrv_core read it). (The
// module handle is DriverModule(), from the progress dialog's header: the load address of the module that holds
// the driver.)
#pragma once

#include "telodrv/os_version.h"
