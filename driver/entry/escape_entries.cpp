// The driver's escapes, the device-support query and brush realisation.
#include <cstring>

#include "entry_guard.h"
#include "win/winddi.h"

namespace {

// Private escapes: acknowledged, nothing in the system sends them. 6003 is accepted but not listed.
constexpr ULONG DRVESC_6001 = 6001;
constexpr ULONG DRVESC_6002 = 6002;
constexpr ULONG DRVESC_6003 = 6003;

// The size of the brush realisation the converters read back.
constexpr ULONG kRealizationSize = 4;

}  // namespace

extern "C" {

// No catch-all: nothing beneath it throws.
ULONG DrvEscape(SURFOBJ*, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG, PVOID) {
  switch (iEsc) {
    case QUERYESCSUPPORT: {
      // The asked escape is a 32-bit number; without all four bytes there is nothing to answer for.
      if (!pvIn || cjIn < sizeof(ULONG)) return 0;
      ULONG asked = 0;
      std::memcpy(&asked, pvIn, sizeof asked);
      return asked == DRVESC_6001 || asked == DRVESC_6002 ? 1 : 0;
    }
    case DRVESC_6001:
    case DRVESC_6002:
    case DRVESC_6003:
      return 1;
    default:
      return 0;
  }
}

BOOL DrvQueryDeviceSupport(SURFOBJ*, XLATEOBJ*, XFORMOBJ*, ULONG, ULONG, PVOID, ULONG, PVOID) { return FALSE; }

BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ*, SURFOBJ* psoPattern, SURFOBJ*, XLATEOBJ*, ULONG) {
  return GuardEntry("DrvRealizeBrush", FALSE, [&] {
    if (psoPattern && pbo) BRUSHOBJ_pvAllocRbrush(pbo, kRealizationSize);
    return TRUE;
  });
}

}  // extern "C"
