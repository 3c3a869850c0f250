// The driver's function table as DrvEnableDriver hands it to the engine: 28 pairs of a DDI index and an entry, in
// the driver's order.
#pragma once

#include <array>

#include "win/winddi.h"

inline constexpr ULONG kDriverDdiVersion = DDI_DRIVER_VERSION_NT5;  // 0x30000
inline constexpr std::size_t kDriverEntryCount = 28;

extern const std::array<DRVFN, kDriverEntryCount> kDriverFunctions;
