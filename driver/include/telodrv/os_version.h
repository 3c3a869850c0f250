// The version of the running system as the driver knows it: major x 100 + minor (501 for the version whose text
// output the engine also draws into the page bitmap, up to 600). Set once when the driver is loaded.
#pragma once

#include <cstdint>

extern std::uint32_t OsVersionNumber;

// Sets OsVersionNumber from GetVersionExW; 0 when the system does not say.
void InitOsVersion();
